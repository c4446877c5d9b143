// demo_driver: clicks through the installer as a person would, for the demo on a machine without
// a display. Prints what the person would read, UTF-8, and saves pictures of the window.
//   demo_driver INSTALLER.exe PICTURE-FOLDER
// INSTALLER.exe may be a setup file made by `instinfo pack`: the window is then the one of the
// installer that the setup starts.

#include "base/text_encoding.h"
#include "driver/driver.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include <fcntl.h>
#include <io.h>

namespace fs = std::filesystem;
namespace drv = tamrick::driver;
using namespace std::chrono_literals;

namespace {

void Print(const std::wstring& label, const std::wstring& text) {
    const std::string utf8 = tamrick::ToUtf8(label + text + L"\n");
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

// The next message box of the process, other than one that is closing.
HWND NextMessageBox(DWORD pid, HWND previous) {
    for (int i = 0; i < 1200; ++i) {
        for (HWND w : drv::VisibleTopLevelWindows(pid)) {
            if (w != previous && drv::WindowClass(w) == L"#32770") {
                return w;
            }
        }
        Sleep(50);
    }
    return nullptr;
}

void Picture(HWND window, const fs::path& file) {
    drv::MoveMouseTo({0, 0}); // no tooltip over the window
    drv::SaveBmp(drv::CaptureWindow(window), file);
}

// The installer's window, of the program started or of the installer that it starts.
std::optional<HWND> InstallerWindow(const drv::Process& process) {
    for (int i = 0; i < 400 && process.running(); ++i) {
        const HWND window = FindWindowW(L"TamrickInstallerWindow", nullptr);
        if (window != nullptr && IsWindowVisible(window)) {
            return window;
        }
        Sleep(50);
    }
    return std::nullopt;
}

int Run(const fs::path& program, const fs::path& pictures) {
    const drv::Process started = drv::Process::Launch(program, program.parent_path());
    const auto window = InstallerWindow(started);
    if (!window) {
        const auto box = drv::WaitForMessageBox(started.pid(), 1s);
        Print(L"the installer opened no window", box ? L": " + drv::WindowText(*box) : L"");
        return 1;
    }
    // The message boxes are the installer's; what was started ends when it does.
    DWORD installer = 0;
    GetWindowThreadProcessId(*window, &installer);
    Print(L"window: ", drv::WindowText(*window));
    Picture(*window, pictures / "1-window.bmp");

    drv::PressButton(*window, 1001);
    const HWND confirm = NextMessageBox(installer, nullptr);
    if (confirm == nullptr) {
        Print(L"no confirmation appeared", L"");
        return 1;
    }
    const drv::IconReader icons = drv::IconReader::Calibrate();
    Print(L"confirmation: ", drv::ReadMessageBox(confirm, icons).text);
    drv::PressButton(confirm, IDOK);

    // The pause has begun once the run has disabled the button.
    drv::WaitUntil([&] { return !drv::FindChild(*window, L"Button")->enabled; });
    Print(L"button during the pause: ", drv::FindChild(*window, L"Button")->text);
    Picture(*window, pictures / "2-pause.bmp");

    const HWND done = NextMessageBox(installer, confirm);
    if (done == nullptr) {
        Print(L"the run showed no final message", L"");
        return 1;
    }
    const drv::MessageBoxInfo info = drv::ReadMessageBox(done, icons);
    Print(L"button at the end: ", drv::FindChild(*window, L"Button")->text);
    drv::SaveBmp(drv::CaptureWindow(done), pictures / "3-message.bmp");
    Print(L"final message (" + fs::path(drv::ToString(info.icon)).wstring() + L"): ", info.text);
    drv::PressButton(done, IDOK);
    const auto code = started.WaitForExit();
    Print(L"the installer ended", code ? L"" : L" (not: it is still running)");
    return code ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc != 3) {
        std::fputs("usage: demo_driver INSTALLER.exe PICTURE-FOLDER\n", stderr);
        return 2;
    }
    try {
        return Run(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "demo_driver: %s\n", e.what());
        return 1;
    }
}
