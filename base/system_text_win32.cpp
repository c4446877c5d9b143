#include "system_text.h"

#include <cwctype>
#include <memory>

#include <windows.h>

namespace tamrick {

std::wstring SystemMessageText(std::uint32_t code) {
    struct LocalFreeDeleter {
        void operator()(wchar_t* text) const noexcept { ::LocalFree(text); }
    };
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const std::unique_ptr<wchar_t, LocalFreeDeleter> owner{buffer};
    std::wstring text = length != 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.back()))) {
        text.pop_back();
    }
    return text;
}

} // namespace tamrick
