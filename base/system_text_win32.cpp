#include "system_text.h"

#include "base/handles.h"
#include "base/trim.h"

namespace tamrick {

std::wstring SystemErrorText(std::uint32_t code) {
    UniqueLocal<wchar_t*> buffer;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
    // The system's texts end in a line break.
    std::wstring text(length != 0 && buffer
                          ? TrimEnd(std::wstring_view(buffer.get(), length), kAsciiWhiteSpace)
                          : std::wstring_view());
    if (text.empty()) {
        text = L"系统错误 0x00000000";
        for (std::size_t digit = text.size(); code != 0; code >>= 4) {
            text[--digit] = L"0123456789ABCDEF"[code & 0xF];
        }
    }
    return text;
}

} // namespace tamrick
