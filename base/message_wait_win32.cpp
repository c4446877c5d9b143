#include "message_wait.h"

#include <optional>

namespace tamrick {

void PauseWithMessages(std::chrono::milliseconds duration, const MessagePump& pump) {
    // Elapsed time in unsigned arithmetic stays right across the tick count's wrap.
    const auto total = static_cast<DWORD>(duration.count());
    const DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < total; elapsed = GetTickCount() - start) {
        MsgWaitForMultipleObjectsEx(0, nullptr, total - elapsed, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        pump();
    }
}

void WaitWithMessages(HANDLE done, const MessagePump& pump) {
    for (;;) {
        const DWORD woken =
            MsgWaitForMultipleObjectsEx(1, &done, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0) {
            return;
        }
        if (woken == WAIT_FAILED) {
            WaitForSingleObject(done, INFINITE);
            return;
        }
        pump();
    }
}

void DispatchWaitingMessages(const MessageFilter& filter) {
    std::optional<int> quit;
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = static_cast<int>(message.wParam);
            continue;
        }
        if (filter && filter(message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (quit) {
        PostQuitMessage(*quit);
    }
}

} // namespace tamrick
