#pragma once
// Small text helpers for the packager's messages.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace tamrick {

// Blanks that a packager can't tell from each other in an editor: space, tab, ideographic space.
inline constexpr std::wstring_view kBlanks = L" \t\u3000";
bool IsBlank(wchar_t c);
std::wstring_view TrimBlanks(std::wstring_view text);
std::wstring WithoutBlanks(std::wstring_view text);

// Where the blanks of a text are, for a message: "a trailing space", "an inner tab", ...
std::wstring BlankHint(std::wstring_view text);

// The text in double quotes, with tabs and other control characters made visible.
std::wstring Quote(std::wstring_view text);

// The candidate that `text` most likely meant: equal once blanks are removed, or within two
// edits (letters swapped count as one); empty when none is that close.
std::wstring_view Nearest(std::wstring_view text, std::span<const std::wstring_view> known);

// "1 error", "2 warnings".
std::string Counted(std::size_t n, const char* noun);

} // namespace tamrick
