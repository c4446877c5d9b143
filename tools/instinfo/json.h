#pragma once
// Just enough JSON for the packager's tool: UTF-8 output, strings escaped.

#include <string>
#include <string_view>

namespace tamrick::json {

// A JSON string literal, quotes included.
std::string String(std::wstring_view text);

} // namespace tamrick::json
