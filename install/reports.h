#pragma once
// The texts of the two abort reports. Showing them and ending the program is the window's work.

#include <string>

namespace tamrick {

// A file that the installation needs does not exist.
std::wstring MissingFileReport(const std::wstring& path);
// A host folder does not exist: CorelDRAW X3 may not be installed correctly.
std::wstring BadFolderReport(const std::wstring& path);

} // namespace tamrick
