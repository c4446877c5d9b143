#include "text_case.h"

#include <cstdint>
#include <cwctype>

#include <locale.h>
#include <wctype.h>

namespace tamrick {

std::wstring ToLowerText(std::wstring_view text) {
    // The C locale knows only ASCII letters; C.UTF-8 has the Unicode tables. Made once, never
    // changed, and never freed: it lives as long as the program.
    static const locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    std::wstring out(text);
    for (auto& c : out) {
        if (static_cast<std::uint32_t>(c) < 0x80 || unicode == nullptr) {
            c = AsciiLower(c);
        } else {
            c = static_cast<wchar_t>(::towlower_l(static_cast<wint_t>(c), unicode));
        }
    }
    return out;
}

} // namespace tamrick
