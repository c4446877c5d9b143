#pragma once
// A silent run (/S): the installation without a window or a message box of any kind.

#include "description/model.h"
#include "install/run.h"

namespace tamrick {

// Runs the same steps as the install button (forced close, pause, host, file items) with a face
// that shows nothing: the confirmation is answered OK, and every message goes only to `observer`
// (the log), which the run tells them. Waits keep the thread's messages flowing. With a record,
// the run is recorded and a failure undone. The outcome.
RunOutcome RunSilently(const SharedState& state, RunObserver& observer, RunRecord* record);

} // namespace tamrick
