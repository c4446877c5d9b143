#pragma once
// The forced close of the host: every process with the host's image name, by force, started
// and not waited for.

#include "install/run.h"

#include <memory>
#include <string>

namespace tamrick {

// Runs the system's taskkill (or the one at `taskkillPath`, a full path) hidden. Where that
// program is missing, a worker thread of this process ends the host's processes instead.
std::unique_ptr<HostCloser> MakeTaskkillCloser(std::wstring taskkillPath = {});

} // namespace tamrick
