#pragma once
// Start-up helpers that need no platform.

#include <string>
#include <string_view>

namespace tamrick {

// The folder of an executable, ending in exactly one separator.
std::wstring AppFolderFromExecutable(std::wstring_view executablePath, wchar_t separator);

// The name of the single-instance lock for an executable path that the caller has already
// brought to one case: one lock per executable, so two add-on folders don't block each other.
std::wstring InstanceLockName(std::wstring_view foldedExecutablePath);

} // namespace tamrick
