#pragma once
// End-to-end test driver: does what a person sees and does with a program's windows.
// Everything works across processes (the driven program is never linked in), so it runs
// the same against the real installer under Wine as on Windows.

#include "base/handles.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tamrick::driver {

using std::chrono::milliseconds;

// How long the waits below give a program by default; generous, since a cold Wine prefix
// is slow, and never reached when the program behaves.
inline constexpr milliseconds kDefaultTimeout{20000};

// A started program. Ending the object kills the process if it still runs, so a failing
// test never leaves a program behind for the next one.
class Process {
  public:
    // Starts exe with the given working folder; arguments are appended to the quoted exe.
    static Process Launch(const std::filesystem::path& exe,
                          const std::filesystem::path& working_folder,
                          const std::wstring& arguments = {});
    // The same, with its first thread not yet running: nothing it does is missed by a watch set
    // up before Resume().
    static Process LaunchSuspended(const std::filesystem::path& exe,
                                   const std::filesystem::path& working_folder,
                                   const std::wstring& arguments = {});
    void Resume() const;

    Process(Process&&) noexcept = default;
    Process& operator=(Process&&) noexcept;
    ~Process();

    DWORD pid() const noexcept { return pid_; }
    HANDLE handle() const noexcept { return process_.get(); }
    bool running() const;
    // The exit code once the process has ended within the timeout, else nothing.
    std::optional<DWORD> WaitForExit(milliseconds timeout = kDefaultTimeout) const;
    void Kill() const;

  private:
    Process(UniqueHandle process, UniqueHandle thread, DWORD pid)
        : process_(std::move(process)), thread_(std::move(thread)), pid_(pid) {}
    static Process Start(const std::filesystem::path& exe,
                         const std::filesystem::path& working_folder, const std::wstring& arguments,
                         DWORD flags);
    UniqueHandle process_;
    UniqueHandle thread_;
    DWORD pid_ = 0;
};

// --- Finding windows -------------------------------------------------------------------

// Polls until the condition holds; false when it still doesn't at the timeout. For the event a
// test waits for, in place of a pause that only guesses how long it takes.
bool WaitUntil(const std::function<bool()>& condition, milliseconds timeout = kDefaultTimeout);

std::vector<HWND> VisibleTopLevelWindows(DWORD pid);
// The first visible top-level window of the process, polling until the timeout.
std::optional<HWND> WaitForWindow(DWORD pid, milliseconds timeout = kDefaultTimeout);
// The first visible top-level window of the process with the given class (e.g. L"#32770").
std::optional<HWND> WaitForWindowOfClass(DWORD pid, const std::wstring& class_name,
                                         milliseconds timeout = kDefaultTimeout);
// A message box (dialog class #32770) of the process.
std::optional<HWND> WaitForMessageBox(DWORD pid, milliseconds timeout = kDefaultTimeout);
// Waits until the window's thread has handled everything sent to it so far: it is back in its
// message loop. Its painting may still be pending (paint messages come after sent ones), and
// what it painted may not have reached the screen yet: see CaptureSettled. False when it
// stayed busy.
bool WaitForIdle(HWND window, milliseconds timeout = kDefaultTimeout);

// Everything one process shows or makes, from the moment the watch starts until it stops: each
// window it creates, through an event hook (so that even a window that lives for a moment is
// seen), and each of its top-level windows seen visible, polled every few milliseconds. For
// checking that a program shows nothing at all.
class WindowWatch {
  public:
    struct Seen {
        std::wstring class_name; // empty for a window gone before it could be read
        std::wstring text;
        DWORD pid = 0;
        std::wstring program;   // the file name of the process's program, e.g. L"TamrickSetup.exe"
        bool top_level = false; // a child of the desktop, where a person could see it
        bool message_only = false; // under HWND_MESSAGE: never shown
        bool visible = false;
    };

    // Watches the process `pid`, or with 0 every process (for a program and what it starts).
    explicit WindowWatch(DWORD pid);
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;
    ~WindowWatch();

    // Stops watching; every window seen, once each (the visible state as it was at its most).
    std::vector<Seen> Stop();

    // What the watching thread keeps (in driver.cpp).
    struct State;

  private:
    std::unique_ptr<State> state_;
};

// --- Reading windows -------------------------------------------------------------------

std::wstring WindowText(HWND window);
std::wstring WindowClass(HWND window);
// The client area in screen coordinates.
RECT ClientRectOnScreen(HWND window);
// The window's frame in screen coordinates.
RECT WindowRectOnScreen(HWND window);
// A rectangle in the window's client coordinates (as a layout is designed).
RECT RectInClient(HWND window, const RECT& screen_rect);

struct Control {
    HWND hwnd = nullptr;
    int id = 0;
    std::wstring class_name;
    std::wstring text;
    RECT rect{}; // screen coordinates
    bool enabled = false;
    bool visible = false;
    LONG style = 0;
};
// The direct child windows, in z-order.
std::vector<Control> ChildControls(HWND window);
// The first child of that class (case-insensitive, e.g. L"Button"), if any.
std::optional<Control> FindChild(HWND window, const std::wstring& class_name);

enum class IconKind { None, Error, Warning, Information, Question };
const char* ToString(IconKind kind);

struct ButtonInfo {
    int id = 0;
    std::wstring text;
};

struct MessageBoxInfo {
    std::wstring title;
    std::wstring text;
    std::vector<ButtonInfo> buttons;
    IconKind icon = IconKind::None;
};

// Tells a message box's icon by its pixels on screen: icon handles can't be read from
// another process under Wine. Calibrate once per test program; it shows a message box of
// each kind itself and remembers what each icon looks like. Both read the icon once the
// screen shows the box's own drawing of it (see CaptureSettled), and throw
// std::runtime_error when it doesn't get there in time, or when two kinds look the same.
class IconReader {
  public:
    static IconReader Calibrate();
    IconKind Read(HWND message_box) const;

  private:
    struct Sample {
        IconKind kind;
        std::vector<std::uint32_t> pixels;
    };
    std::vector<Sample> samples_;
};

MessageBoxInfo ReadMessageBox(HWND message_box, const IconReader& icons);

// Shows a message box (MessageBoxW with these arguments) in a process of its own, as a driven
// program shows one, hands it to handle, which returns the button to press, presses it and
// returns what MessageBoxW returned; the process is ended also when handle throws. A box of the
// test's own process would share its connection to the display with the reading thread, and
// two threads of a process meeting there can deadlock under Wine (docs/development.md, the driver).
int ShowMessageBox(const std::wstring& text, const std::wstring& title, UINT flags,
                   const std::function<int(HWND)>& handle);

// --- Acting on windows ------------------------------------------------------------------

// Presses a button of a dialog or window as a click would (BM_CLICK on the control).
void PressButton(HWND parent, int button_id);
// Moves the mouse to a point of the window's client area and clicks the left button there.
void ClickAt(HWND window, POINT client_point);
// Moves the mouse to a point on the screen (e.g. off a window, before a screenshot).
void MoveMouseTo(POINT screen_point);
// The window's close request, as from the close button or the system menu (SC_CLOSE).
void RequestClose(HWND window);
// A close request as another program or the system sends it (WM_CLOSE).
void PostCloseMessage(HWND window);
// Brings the window to the front and presses a key; with alt, Alt is held meanwhile.
void PressKey(HWND window, WORD virtual_key, bool alt = false);
inline void PressEnter(HWND window) {
    PressKey(window, VK_RETURN);
}
inline void PressAltF4(HWND window) {
    PressKey(window, VK_F4, true);
}

// --- Pictures ----------------------------------------------------------------------------

// A 32-bit top-down picture, 0x00RRGGBB per pixel.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};
// What the screen shows in that rectangle (screen coordinates) right now.
Capture CaptureScreen(const RECT& screen_rect);
// What the screen shows in that rectangle once it shows the window's own drawing. Under Wine a
// window paints into memory of its own process, which reaches the screen only when its thread
// next waits for messages; until then the screen still shows what was there before (another
// window, the desktop, the window half drawn). So this waits until neither the window nor
// anything in it is left to paint, and then until two captures agree with the window's thread
// having answered in between. Throws std::runtime_error when that doesn't happen in time.
Capture CaptureSettled(HWND window, const RECT& screen_rect,
                       milliseconds timeout = kDefaultTimeout);
// The whole window, frame included, settled as above.
Capture CaptureWindow(HWND window);
// Writes a 24-bit BMP; throws std::runtime_error when it can't be written.
void SaveBmp(const Capture& capture, const std::filesystem::path& path);

// --- Test folders --------------------------------------------------------------------------

// Writes bytes to a file, replacing it; throws std::runtime_error on failure.
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
// The folder of the running test program.
std::filesystem::path OwnFolder();
// A path of the build tree given as a Unix path (on the command line or by the build) as Wine
// sees it: on drive Z:.
std::filesystem::path FromUnixPath(const std::filesystem::path& unix_path);

} // namespace tamrick::driver
