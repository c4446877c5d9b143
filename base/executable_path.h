#pragma once
// The running program's own path, however long.

#include <string>

namespace tamrick {

// Empty when the system can't say.
std::wstring ExecutablePath();

} // namespace tamrick
