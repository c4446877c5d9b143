#pragma once
// The host's calls on a thread of their own. A host that is slow to start, or a call that waits
// for one of the host's dialogs, blocks that thread only, while the caller's thread waits in a
// way of its own choosing: the window keeps painting and can be closed.

#include "install/host/host.h"

#include <windows.h>

#include <functional>
#include <memory>

namespace tamrick {

// Returns once `done` is signalled, whatever it does meanwhile.
using HostCallWait = std::function<void(HANDLE done)>;

// Every operation of `host` runs on one thread in COM's multithreaded apartment, which needs no
// message loop (a busy host's refusals come back there as results), while the caller waits
// through `wait`. The host is released and destroyed on that thread. Destroyed while a call is
// pending, which happens only when the program is being ended from inside `wait`, the returned
// object does not wait for the call: the thread lets the host go once the call returns, and the
// pending operation throws once `wait` returns.
std::unique_ptr<Host> MakeHostOnThread(std::unique_ptr<Host> host, HostCallWait wait);

} // namespace tamrick
