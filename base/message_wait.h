#pragma once
// Waiting on a thread that has windows (or COM's hidden ones) without stopping its messages: the
// thread wakes for every message and hands it on, so windows keep painting and a close request
// gets through at once.

#include <windows.h>

#include <chrono>
#include <functional>

namespace tamrick {

// Hands every waiting message on; the caller decides how (dialog keys, dropping input).
using MessagePump = std::function<void()>;

// Waits `duration`, pumping what arrives meanwhile.
void PauseWithMessages(std::chrono::milliseconds duration, const MessagePump& pump);

// Waits until `done` is signalled, however long that takes, pumping what arrives meanwhile.
void WaitWithMessages(HANDLE done, const MessagePump& pump);

// Looks at a message before it is dispatched: true when it took the message (or drops it).
using MessageFilter = std::function<bool(MSG&)>;

// Dispatches every waiting message of the thread that `filter`, when given, does not take. A
// quit message is not ours to take: it is posted again for the loop that ends on it.
void DispatchWaitingMessages(const MessageFilter& filter = nullptr);

} // namespace tamrick
