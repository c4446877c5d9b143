#include "text_encoding.h"

#include <climits>

#include <windows.h>

namespace tamrick {

bool AppendCodePage(unsigned codePage, std::string_view bytes, std::wstring& out,
                    InvalidBytes invalid) {
    // Windows before Vista takes invalid UTF-8 in silence; ours is strict on all of them.
    if (codePage == CP_UTF8) {
        if (invalid == InvalidBytes::Refuse && !IsValidUtf8(bytes)) {
            return false;
        }
        AppendUtf8(bytes, out);
        return true;
    }
    if (bytes.empty()) {
        return true;
    }
    const DWORD flags = invalid == InvalidBytes::Refuse ? MB_ERR_INVALID_CHARS : 0;
    const int inLength = bytes.size() <= INT_MAX ? static_cast<int>(bytes.size()) : 0;
    const int need =
        inLength == 0 ? 0
                      : ::MultiByteToWideChar(codePage, flags, bytes.data(), inLength, nullptr, 0);
    if (need > 0) {
        const std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(need));
        ::MultiByteToWideChar(codePage, flags, bytes.data(), inLength, out.data() + at, need);
        return true;
    }
    if (invalid == InvalidBytes::Refuse) {
        return false;
    }
    // A code page this Windows lacks: ASCII still reads, everything else is visibly replaced.
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(b < 0x80 ? static_cast<wchar_t>(b) : kReplacementCharacter);
    }
    return true;
}

} // namespace tamrick
