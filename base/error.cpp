#include "error.h"

#include "base/decimal.h"

#include <new>

namespace tamrick {

Error CurrentExceptionAsError() noexcept {
    // The descriptions are short enough to need no memory of their own.
    try {
        throw;
    } catch (const Error& e) {
        try {
            return e;
        } catch (...) {
            return Error(kErrOutOfMemory, L"内存不足");
        }
    } catch (const std::bad_alloc&) {
        return Error(kErrOutOfMemory, L"内存不足");
    } catch (...) {
        return Error(kErrInternal, L"内部错误");
    }
}

std::wstring UnhandledErrorText(std::int32_t number, std::wstring_view description) {
    return L"运行时错误 '" + DecimalText(number) + L"':\r\n\r\n" + std::wstring(description);
}

} // namespace tamrick
