#pragma once
// Case folding of ASCII letters alone, for names that are ASCII by definition (switches,
// version names, device names): the same in every language, with no call to the system.

#include <algorithm>
#include <string_view>

namespace tamrick {

constexpr wchar_t AsciiUpper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - (L'a' - L'A')) : c;
}

constexpr bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return AsciiUpper(x) == AsciiUpper(y); });
}

} // namespace tamrick
