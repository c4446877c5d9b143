#pragma once
// The run's file operations on the Win32 file API.

#include "install/run.h"

#include <memory>

namespace tamrick {

// Existence is a plain attribute test. Only the answers that say "nothing there" (no such file,
// folder, drive or share, a name that can't exist, a drive without media) count as absent; any
// other failure, such as access denied, is an Error, so that the user is told what really
// stopped the run instead of being sent to look for a file that may well be there. Failures
// carry the classic numbers of file errors and the system's text (base/system_error.h).
std::unique_ptr<FileSystemOps> MakeWin32FileSystem();

// Whether a system error says that nothing is at a path, as above.
bool MeansNothingThere(unsigned long error);

} // namespace tamrick
