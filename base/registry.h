#pragma once
// Reading the registry, in a view of one's choosing.

#include <windows.h>

#include <optional>
#include <string>

namespace tamrick {

// The default value of a key, where it is a string; `view` is 0 (the program's own view),
// KEY_WOW64_64KEY or KEY_WOW64_32KEY. std::nullopt where the key or a string value is missing.
std::optional<std::wstring> RegistryDefaultString(HKEY root, const std::wstring& path,
                                                  REGSAM view = 0);

} // namespace tamrick
