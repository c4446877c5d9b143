#pragma once
// frmMain, the installer's only window: its title, the banner picFlags (a picture with a
// tooltip and a hand cursor that opens the maker's web page), and the install button
// cmdInstall. Every way out of the program, once the window exists, goes through ShutDown.

#include "base/exit_codes.h"
#include "base/handles.h"
#include "description/model.h"
#include "install/host/com_support.h"
#include "install/run.h"
#include "install/run_log.h"
#include "log/log.h"
#include "record/recorded_run_win32.h"
#include "window/picture.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace tamrick {

// The DPI the layout is designed at.
inline constexpr UINT kDesignDpi = 96;

// The window is also what the installation run talks to: its button, its pause and its
// message boxes.
class frmMain final : public RunWindow {
    // First of all: COM is there before the installation's members and goes after them.
    ComApartment apartment_;

  public:
    // Creates the window, hidden, with the title as designed and the design-time banner. When
    // that fails half-way, nothing of it is left. The run's steps and the program's end go to
    // `log`, which outlives the window.
    frmMain(SharedState state, ProgramLog& log);
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;
    ~frmMain() override = default;

    HWND hwnd() const noexcept { return window_.get(); }
    // Lets the window handle its dialog keys (Enter presses the install button, Tab moves
    // the focus). The message loop calls it for every message before dispatching it; true
    // when the message was handled.
    bool HandleDialogMessage(MSG& message) const;

    // The installation's members; empty until a run creates them, released by ShutDown.
    std::unique_ptr<Host> HostApp;
    std::unique_ptr<FileSystemOps> FileSystem;
    // With an add-on id: the run's record. A run that ShutDown cuts short is undone there.
    std::unique_ptr<RecordedRun> Recorded;

    void cmdInstall_Click();
    [[noreturn]] void ReportMissingFile(const std::wstring& path) override;
    [[noreturn]] void ReportBadFolder(const std::wstring& path, int major) override;
    // Sets the title from SetupTitle, the banner's hand cursor, and the banner file in place
    // of the design-time banner when one is there. Throws Error for a banner file that is not
    // a picture.
    void Form_Load();
    // Ends the program with that way out's exit code, after the log's last record.
    [[noreturn]] void ShutDown(Ending ending);
    void Form_Unload(std::int16_t& cancel);
    void picFlags_Click();

    // The run's view of the window.
    bool Confirm(const std::wstring& text) override;
    void DisableButton() override;
    void SetCaption(const std::wstring& caption) override;
    void PauseWithEvents(std::chrono::milliseconds duration) override;
    void ShowMessage(const std::wstring& text, MessageKind kind) override;

  private:
    // Hands every waiting message on, as the message loop would; without `clientInput`, clicks
    // and keys meant for the window itself are dropped.
    void PumpPendingMessages(bool clientInput);
    // Waits for the host's creation or one of its calls, which may take as long as the host
    // likes: the window keeps painting and a close request ends the program, but no click or
    // key reaches it.
    void WaitForHost(HANDLE done);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
    void CreateControls();
    // Sizes, places and sets the font of everything for the window's current DPI.
    void Layout(const RECT* suggested);

    SharedState state_;
    ProgramLog& log_;
    RunLog runLog_{log_};
    UINT dpi_ = kDesignDpi;
    UniqueFont font_;
    UniqueBitmap picture_;
    HCURSOR handCursor_ = nullptr; // a shared resource cursor: the system owns it
    bool running_ = false;
    // The controls go with the window.
    HWND cmdInstall_ = nullptr;
    HWND picFlags_ = nullptr;
    HWND tooltip_ = nullptr;
    // Last: the window goes first, while the font and picture that it shows are still there.
    UniqueWindow window_;
};

// Inside a catch block: the text of the report of an error that nothing handled.
std::wstring UnhandledErrorReport() noexcept;

// Creates frmMain, runs Form_Load and shows the window, modeless and centred on the screen.
// The window lives as long as the returned object. Throws Error when Form_Load fails; the
// window is then never shown.
std::unique_ptr<frmMain> ShowInstallerWindow(const SharedState& state, ProgramLog& log);

} // namespace tamrick
