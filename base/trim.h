#pragma once
// Trimming: what the program's text formats ignore at either end of a field.

#include <string_view>

namespace tamrick {

// Spaces only unless told otherwise: in the description a tab next to a value is part of it.
inline constexpr std::wstring_view kSpaces = L" ";
// Every ASCII white space, for formats of our own that are read in any editor.
inline constexpr std::wstring_view kAsciiWhiteSpace = L" \t\r\n\v\f";

constexpr std::wstring_view Trim(std::wstring_view text, std::wstring_view what = kSpaces) {
    const auto first = text.find_first_not_of(what);
    if (first == std::wstring_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(what) - first + 1);
}

constexpr std::wstring_view TrimEnd(std::wstring_view text, std::wstring_view what = kSpaces) {
    const auto last = text.find_last_not_of(what);
    return text.substr(0, last == std::wstring_view::npos ? 0 : last + 1);
}

} // namespace tamrick
