#pragma once
// Case folding that does not depend on the user's language, as file names and keys need.

#include <string>
#include <string_view>

namespace tamrick {

std::wstring ToUpperInvariant(std::wstring_view text);
std::wstring ToLowerInvariant(std::wstring_view text);

} // namespace tamrick
