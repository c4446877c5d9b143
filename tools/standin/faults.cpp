// The faults of a real host that the stand-in can play: busy, slow to start, hung in a dialog,
// or crashing inside a call.

#include "standin.h"

#include <algorithm>

namespace standin {

Server::Server(Config settings, std::wstring logPath)
    : config(std::move(settings)), log{std::move(logPath), config.version},
      threadId(GetCurrentThreadId()), busyStarted_(config.busyMs > 0 && config.busyMember.empty()),
      busySince_(GetTickCount()) {}

bool Server::TurnsAway(const std::wstring& member) const {
    if (config.busyMs == 0)
        return false;
    if (!busyStarted_ && !member.empty() && member == config.busyMember) {
        busyStarted_ = true;
        busySince_ = GetTickCount();
    }
    // Tick differences stay right across the counter's wrap.
    return busyStarted_ && GetTickCount() - busySince_ < config.busyMs;
}

void Server::HangOrCrash(const std::wstring& member) const {
    const auto configured = [&](const std::vector<std::wstring>& members) {
        return std::find(members.begin(), members.end(), member) != members.end();
    };
    if (configured(config.crashes))
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(EXCEPTION_ACCESS_VIOLATION));
    if (configured(config.hangs)) {
        // A modal loop, as a real dialog's: COM calls and a quit request still get through.
        const std::wstring name = L"CorelDRAW " + tamrick::HostVersionDisplayName(config.version);
        const std::wstring text =
            name + L" (stand-in) holds the call to " + member + L" until this dialog is answered.";
        MessageBoxW(nullptr, text.c_str(), name.c_str(), MB_OK | MB_ICONINFORMATION);
    }
}

bool WaitUnlessQuit(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (DWORD waited = 0; waited < milliseconds; waited = GetTickCount() - start) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - waited, QS_ALLINPUT);
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                return false;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

} // namespace standin
