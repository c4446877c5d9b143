#pragma once
// Just enough JSON for the packager's tool: UTF-8 output, strings escaped.

#include <span>
#include <string>
#include <string_view>

namespace tamrick::json {

// A JSON string literal, quotes included.
std::string String(std::wstring_view text);

// A version of CorelDRAW: {"major": 17, "name": "X7"}; and an array of them.
std::string HostVersion(int major);
std::string HostVersions(std::span<const int> majors);

} // namespace tamrick::json
