#include "unpack_folder_win32.h"

namespace tamrick::setup {

// Without FILE_SHARE_DELETE nobody else can open the folder to rename or remove it.
FolderHold::FolderHold(const std::wstring& folder) noexcept
    : handle_(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS, nullptr)) {
    if (!handle_) {
        error_ = GetLastError();
    }
}

} // namespace tamrick::setup
