#pragma once
// The run's file operations on the Win32 file API, and the error that a failed Win32 call
// becomes.

#include "base/error.h"
#include "install/run.h"

#include <cstdint>
#include <memory>

namespace tamrick {

// Existence is a plain attribute test. Only the answers that say "nothing there" (no such file,
// folder, drive or share, a name that can't exist, a drive without media) count as absent; any
// other failure, such as access denied, is an Error, so that the user is told what really
// stopped the run instead of being sent to look for a file that may well be there.
std::unique_ptr<FileSystemOps> MakeWin32FileSystem();

// The usual file errors keep their classic numbers (53 file not found, 76 path not found,
// 70 permission denied, 61 disk full, 58 file already exists); any other code is reported as
// its HRESULT, so no file error is ever 0 or 429. The description is the system's own text.
Error Win32Error(std::uint32_t code);

} // namespace tamrick
