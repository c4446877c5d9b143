// The program's entry: one instance per executable, the program folder, the description, and
// the window when the description has file items.

#include "app_folder.h"
#include "base/error.h"
#include "base/executable_path.h"
#include "base/handles.h"
#include "base/system_error.h"
#include "base/system_library.h"
#include "description/model.h"
#include "description/reader.h"
#include "instance_lock.h"
#include "window/frm_main.h"

#include <memory>
#include <string>

namespace tamrick {
namespace {

void ShowCritical(const std::wstring& text) {
    ::MessageBoxW(nullptr, text.c_str(), kProgramTitle, MB_OK | MB_ICONERROR);
}

// The window when it was shown and the program goes on; nothing when the program ends.
std::unique_ptr<frmMain> Main(SharedState& state, UniqueHandle& instanceLock) {
    const std::wstring executablePath = ExecutablePath();
    if (executablePath.empty()) {
        throw ErrorFromLastError();
    }
    // Held for the life of the process; the system drops it when the process ends.
    instanceLock = AcquireInstanceLock(executablePath);
    if (!instanceLock) {
        return nullptr;
    }
    state.AppFolder = AppFolderFromExecutable(executablePath, L'\\');
    if (!LoadInstallInfo(state, ShowCritical)) {
        return nullptr;
    }
    return ShowInstallerWindow(state);
}

int RunMessageLoop(const frmMain& form) {
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Dialog keys first: Enter presses the install button.
        if (form.HandleDialogMessage(msg)) {
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace
} // namespace tamrick

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
    using namespace tamrick;
    // Before anything loads a DLL: nothing beside the program may be taken for a system DLL.
    RestrictDllSearch();
    // The common controls import msimg32 as a delayed import, which Wine at least resolves with
    // the program's folder first. Loaded from the system folder now, it is found loaded then.
    LoadSystemLibrary(L"msimg32.dll");
    SharedState state;
    UniqueHandle instanceLock;
    try {
        const std::unique_ptr<frmMain> form = Main(state, instanceLock);
        if (!form) {
            return 0;
        }
        return RunMessageLoop(*form);
    } catch (...) {
        // Nothing in start-up handles its own errors: the user sees number and description.
        ReportUnhandledError(nullptr);
        return 1;
    }
}
