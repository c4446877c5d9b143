#include "instance_lock.h"

#include "base/text_case.h"
#include "startup/app_folder.h"

namespace tamrick {

UniqueHandle AcquireInstanceLock(const std::wstring& executablePath, std::wstring_view kind) {
    const std::wstring name = InstanceLockName(ToLowerText(executablePath)) + std::wstring(kind);
    UniqueHandle lock(::CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!lock || ::GetLastError() == ERROR_ALREADY_EXISTS) {
        return {};
    }
    return lock;
}

} // namespace tamrick
