#pragma once
// The texts of the two abort reports, and of the message for a CorelDRAW that isn't there.
// Showing them and ending the program is the window's work.

#include "description/host_versions.h"

#include <span>
#include <string>

namespace tamrick {

// A file that the installation needs does not exist.
std::wstring MissingFileReport(const std::wstring& path);
// A folder of that version of CorelDRAW does not exist: it may not be installed correctly.
std::wstring BadFolderReport(const std::wstring& path, int major = kX3Major);
// None of these versions of CorelDRAW is installed, or the one found can't be started.
std::wstring NoHostMessage(std::span<const int> majors);

} // namespace tamrick
