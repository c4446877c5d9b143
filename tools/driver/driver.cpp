#include "driver.h"

#include "base/executable_path.h"
#include "base/text_case.h"
#include "base/text_encoding.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <map>
#include <stdexcept>
#include <thread>

namespace tamrick::driver {
namespace {

using Clock = std::chrono::steady_clock;
constexpr milliseconds kPollInterval{50};
// A program that doesn't answer a message within this is busy (e.g. in its install pause).
constexpr UINT kSendTimeoutMs = 2000;

std::runtime_error Failure(const std::string& what) {
    return std::runtime_error(what + " failed (error " + std::to_string(GetLastError()) + ")");
}

// Polls until the function gives a value or the timeout passes.
template <typename F> auto Poll(milliseconds timeout, F&& attempt) -> decltype(attempt()) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (auto found = attempt()) {
            return found;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

// The selection of an object into a DC, undone on scope exit.
class Selection {
  public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() { SelectObject(dc_, old_); }

  private:
    HDC dc_;
    HGDIOBJ old_;
};

bool IsIconStatic(HWND child) {
    if (!EqualsIgnoringAsciiCase(WindowClass(child), L"static")) {
        return false;
    }
    const auto type = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE)) & SS_TYPEMASK;
    return type == SS_ICON;
}

std::optional<Control> IconControl(HWND message_box) {
    for (auto& control : ChildControls(message_box)) {
        if (IsIconStatic(control.hwnd) && control.visible) {
            return control;
        }
    }
    return std::nullopt;
}

// Whether the icon control was given an icon. The handle means nothing in this process, but
// whether there is one does: a box without an icon keeps the control, empty, beside its text.
bool HoldsIcon(HWND icon_control) {
    DWORD_PTR icon = 0;
    if (!SendMessageTimeoutW(icon_control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &icon)) {
        throw Failure("STM_GETICON");
    }
    return icon != 0;
}

bool IsUniform(const std::vector<std::uint32_t>& pixels) {
    return std::adjacent_find(pixels.begin(), pixels.end(), std::not_equal_to<>()) == pixels.end();
}

// The update region lives in the window manager, so this answers for windows of other
// processes too.
bool HasUpdateRegion(HWND window) {
    return GetUpdateRect(window, nullptr, FALSE) != FALSE;
}

BOOL CALLBACK FindChildLeftToPaint(HWND child, LPARAM found) {
    if (IsWindowVisible(child) && HasUpdateRegion(child)) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

// Whether the window or a visible window inside it (at any depth) has yet to paint.
bool LeftToPaint(HWND window) {
    bool found = HasUpdateRegion(window);
    if (!found) {
        EnumChildWindows(window, FindChildLeftToPaint, reinterpret_cast<LPARAM>(&found));
    }
    return found;
}

// Whether the window's thread handles a message sent now within the send timeout.
bool Answers(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) !=
           0;
}

// What the screen shows in the rectangle once it shows the window's own drawing and accept
// takes it (see CaptureSettled). The window's thread hands what it painted to the screen after
// it has answered a message, before it waits for the next one. Each capture counted here is
// taken a poll interval after such an answer, so an early one means the thread was held up for
// that whole interval; two that agree would take that happening twice running.
Capture Settle(HWND window, const RECT& screen_rect, milliseconds timeout,
               const std::function<bool(const Capture&)>& accept) {
    std::optional<Capture> previous;
    bool answered = false;
    auto settled = Poll(timeout, [&]() -> std::optional<Capture> {
        if (LeftToPaint(window)) {
            previous.reset();
            answered = false;
            return std::nullopt;
        }
        if (answered) {
            Capture now = CaptureScreen(screen_rect);
            if (previous && previous->pixels == now.pixels && accept(now)) {
                return now;
            }
            previous = std::move(now);
        }
        answered = Answers(window);
        if (!answered) {
            previous.reset();
        }
        return std::nullopt;
    });
    if (!settled) {
        throw std::runtime_error("the screen did not settle on what the window of class " +
                                 ToUtf8(WindowClass(window)) + " draws within " +
                                 std::to_string(timeout.count()) + " ms");
    }
    return std::move(*settled);
}

// The icon's pixels once the screen shows the box's drawing of it; nothing when the box
// shows no icon.
std::optional<std::vector<std::uint32_t>> IconPixels(HWND message_box) {
    const auto icon = IconControl(message_box);
    if (!icon || !HoldsIcon(icon->hwnd)) {
        return std::nullopt;
    }
    // The first pictures of a new box that reach the screen show the icon's place black, then in
    // the dialog's colour before the icon is drawn on it: a drawn icon is never one colour.
    return Settle(message_box, icon->rect, kDefaultTimeout,
                  [](const Capture& capture) { return !IsUniform(capture.pixels); })
        .pixels;
}

std::uint64_t Distance(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    std::uint64_t sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            const int ca = static_cast<int>((a[i] >> shift) & 0xFF);
            const int cb = static_cast<int>((b[i] >> shift) & 0xFF);
            sum += static_cast<std::uint64_t>(std::abs(ca - cb));
        }
    }
    return sum;
}

void SendInputs(std::vector<INPUT> inputs) {
    if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) !=
        inputs.size()) {
        throw Failure("SendInput");
    }
}

INPUT KeyInput(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

INPUT MouseInput(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return input;
}

} // namespace

// --- Process ---------------------------------------------------------------------------------

Process Process::Start(const std::filesystem::path& exe,
                       const std::filesystem::path& working_folder, const std::wstring& arguments,
                       DWORD flags) {
    std::wstring command_line = L"\"" + exe.wstring() + L"\"";
    if (!arguments.empty()) {
        command_line += L" " + arguments;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    // Under Wine a new process now and then dies inside Wine's own start-up, before any of
    // its code runs, and CreateProcess says ERROR_INTERNAL_ERROR. Nothing was started, so
    // starting it again is safe; any other failure is the test's to see.
    constexpr int kStarts = 3;
    for (int start = 1;; ++start) {
        if (CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, flags,
                           nullptr, working_folder.c_str(), &startup, &info)) {
            break;
        }
        if (GetLastError() != ERROR_INTERNAL_ERROR || start == kStarts) {
            throw Failure("CreateProcessW " + ToUtf8(exe.wstring()));
        }
        Sleep(100);
    }
    return Process(UniqueHandle(info.hProcess), UniqueHandle(info.hThread), info.dwProcessId);
}

Process Process::Launch(const std::filesystem::path& exe,
                        const std::filesystem::path& working_folder,
                        const std::wstring& arguments) {
    return Start(exe, working_folder, arguments, 0);
}

Process Process::LaunchSuspended(const std::filesystem::path& exe,
                                 const std::filesystem::path& working_folder,
                                 const std::wstring& arguments) {
    return Start(exe, working_folder, arguments, CREATE_SUSPENDED);
}

void Process::Resume() const {
    if (ResumeThread(thread_.get()) == static_cast<DWORD>(-1)) {
        throw Failure("ResumeThread");
    }
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Kill();
        process_ = std::move(other.process_);
        thread_ = std::move(other.thread_);
        pid_ = other.pid_;
    }
    return *this;
}

Process::~Process() {
    Kill();
}

bool Process::running() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::WaitForExit(milliseconds timeout) const {
    const auto ms = static_cast<DWORD>(
        std::min<long long>(timeout.count(), std::numeric_limits<DWORD>::max() - 1));
    if (!process_ || WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.get(), &code)) {
        return std::nullopt;
    }
    return code;
}

void Process::Kill() const {
    if (running()) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 5000);
    }
}

// --- Watching a process ----------------------------------------------------------------------

namespace {

// The file name of a process's program; empty when it is gone.
std::wstring ProgramOf(DWORD pid) {
    const UniqueHandle process{OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)};
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (!process || !QueryFullProcessImageNameW(process.get(), 0, path, &size)) {
        return {};
    }
    return std::filesystem::path(std::wstring(path, size)).filename().wstring();
}

} // namespace

struct WindowWatch::State {
    DWORD pid = 0;
    UniqueHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle ready{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::vector<Seen> seen; // the watching thread's until it ends
    std::map<HWND, std::size_t> index;
    std::thread thread;

    void Note(HWND window, bool visible) {
        Seen found;
        found.class_name = WindowClass(window);
        // Without sending the window anything: a busy program must not hold the watch up.
        wchar_t text[256] = {};
        found.text =
            std::wstring(text, static_cast<size_t>(std::max(GetWindowTextW(window, text, 256), 0)));
        const HWND parent = GetAncestor(window, GA_PARENT);
        found.top_level = parent == GetDesktopWindow();
        found.message_only = parent != nullptr && !found.top_level &&
                             EqualsIgnoringAsciiCase(WindowClass(parent), L"message");
        found.visible = visible || IsWindowVisible(window);
        GetWindowThreadProcessId(window, &found.pid);
        found.program = ProgramOf(found.pid);
        const auto [at, added] = index.try_emplace(window, seen.size());
        if (added) {
            seen.push_back(found);
        } else if (!found.class_name.empty()) {
            Seen& known = seen[at->second];
            const bool wasVisible = known.visible;
            known = found;
            known.visible = known.visible || wasVisible;
        }
    }

    static BOOL CALLBACK NoteVisible(HWND window, LPARAM parameter) {
        auto* self = reinterpret_cast<State*>(parameter);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if ((self->pid == 0 || owner == self->pid) && IsWindowVisible(window)) {
            self->Note(window, true);
        }
        return TRUE;
    }

    void Poll() { EnumWindows(NoteVisible, reinterpret_cast<LPARAM>(this)); }
};

namespace {

// The system's event callback carries no context: each watch has a thread of its own, which
// knows its watch through this.
thread_local WindowWatch::State* tWatch = nullptr;

void CALLBACK WindowCreated(HWINEVENTHOOK /*hook*/, DWORD /*event*/, HWND window, LONG object,
                            LONG /*child*/, DWORD /*thread*/, DWORD /*time*/) {
    if (tWatch != nullptr && object == OBJID_WINDOW && window != nullptr) {
        // A child control belongs to a window that is seen itself.
        const HWND parent = GetAncestor(window, GA_PARENT);
        if (parent == nullptr || parent == GetDesktopWindow() ||
            EqualsIgnoringAsciiCase(WindowClass(parent), L"message")) {
            tWatch->Note(window, false);
        }
    }
}

} // namespace

WindowWatch::WindowWatch(DWORD pid) : state_(std::make_unique<State>()) {
    state_->pid = pid;
    State* state = state_.get();
    state_->thread = std::thread([state] {
        tWatch = state;
        // Out of context: the events come to this thread's queue, for this process only.
        const HWINEVENTHOOK hook =
            SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, nullptr, WindowCreated,
                            state->pid, 0, WINEVENT_OUTOFCONTEXT);
        // The first look at the windows is slow under Wine: done before the watched program runs.
        state->Poll();
        SetEvent(state->ready.get());
        const HANDLE stop = state->stop.get();
        while (MsgWaitForMultipleObjects(1, &stop, FALSE, 5, QS_ALLINPUT) != WAIT_OBJECT_0) {
            MSG message{};
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
            state->Poll();
        }
        // The events still queued, then a last look.
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        state->Poll();
        if (hook != nullptr) {
            UnhookWinEvent(hook);
        }
        tWatch = nullptr;
    });
    WaitForSingleObject(state_->ready.get(), INFINITE);
}

WindowWatch::~WindowWatch() {
    if (state_->thread.joinable()) {
        Stop();
    }
}

std::vector<WindowWatch::Seen> WindowWatch::Stop() {
    SetEvent(state_->stop.get());
    state_->thread.join();
    return state_->seen;
}

// --- Finding windows -----------------------------------------------------------------------

namespace {
struct WindowSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectVisibleWindow(HWND hwnd, LPARAM param) {
    auto& search = *reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == search.pid && IsWindowVisible(hwnd)) {
        search.found.push_back(hwnd);
    }
    return TRUE;
}
} // namespace

std::vector<HWND> VisibleTopLevelWindows(DWORD pid) {
    WindowSearch search{pid, {}};
    EnumWindows(CollectVisibleWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::optional<HWND> WaitForWindowOfClass(DWORD pid, const std::wstring& class_name,
                                         milliseconds timeout) {
    return Poll(timeout, [&]() -> std::optional<HWND> {
        for (HWND hwnd : VisibleTopLevelWindows(pid)) {
            if (class_name.empty() || EqualsIgnoringAsciiCase(WindowClass(hwnd), class_name)) {
                return hwnd;
            }
        }
        return std::nullopt;
    });
}

std::optional<HWND> WaitForWindow(DWORD pid, milliseconds timeout) {
    return WaitForWindowOfClass(pid, {}, timeout);
}

std::optional<HWND> WaitForMessageBox(DWORD pid, milliseconds timeout) {
    return WaitForWindowOfClass(pid, L"#32770", timeout);
}

bool WaitUntil(const std::function<bool()>& condition, milliseconds timeout) {
    return Poll(timeout,
                [&]() -> std::optional<bool> {
                    return condition() ? std::optional<bool>(true) : std::nullopt;
                })
        .has_value();
}

bool WaitForIdle(HWND window, milliseconds timeout) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (process) {
        const auto ms = static_cast<DWORD>(timeout.count());
        WaitForInputIdle(process.get(), ms);
    }
    // A sent message is handled only when the thread looks at its queue again.
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                               static_cast<UINT>(timeout.count()), &result) != 0;
}

// --- Reading windows ------------------------------------------------------------------------

std::wstring WindowText(HWND window) {
    // WM_GETTEXT reads what a control shows now, also in another process.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &length)) {
        throw Failure("WM_GETTEXTLENGTH");
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
        throw Failure("WM_GETTEXT");
    }
    text.resize(std::min<size_t>(copied, length));
    return text;
}

std::wstring WindowClass(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, static_cast<size_t>(std::max(length, 0)));
}

RECT ClientRectOnScreen(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT WindowRectOnScreen(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

RECT RectInClient(HWND window, const RECT& screen_rect) {
    RECT rect = screen_rect;
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<Control> ChildControls(HWND window) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    std::vector<Control> controls;
    for (HWND child : children) {
        Control control;
        control.hwnd = child;
        control.id = GetDlgCtrlID(child);
        control.class_name = WindowClass(child);
        control.text = WindowText(child);
        control.rect = WindowRectOnScreen(child);
        control.enabled = IsWindowEnabled(child) != FALSE;
        control.visible = IsWindowVisible(child) != FALSE;
        control.style = GetWindowLongW(child, GWL_STYLE);
        controls.push_back(std::move(control));
    }
    return controls;
}

std::optional<Control> FindChild(HWND window, const std::wstring& class_name) {
    for (auto& control : ChildControls(window)) {
        if (EqualsIgnoringAsciiCase(control.class_name, class_name)) {
            return control;
        }
    }
    return std::nullopt;
}

const char* ToString(IconKind kind) {
    switch (kind) {
    case IconKind::None:
        return "none";
    case IconKind::Error:
        return "error";
    case IconKind::Warning:
        return "warning";
    case IconKind::Information:
        return "information";
    case IconKind::Question:
        return "question";
    }
    return "?";
}

IconReader IconReader::Calibrate() {
    struct Known {
        IconKind kind;
        UINT flag;
    };
    constexpr Known kinds[] = {{IconKind::Error, MB_ICONERROR},
                               {IconKind::Warning, MB_ICONWARNING},
                               {IconKind::Information, MB_ICONINFORMATION},
                               {IconKind::Question, MB_ICONQUESTION}};
    IconReader reader;
    for (const auto& known : kinds) {
        std::optional<std::vector<std::uint32_t>> pixels;
        ShowMessageBox(L"Calibrating the icon reader", L"tamrick-driver-calibration",
                       MB_OK | known.flag, [&](HWND box) {
                           pixels = IconPixels(box);
                           return IDOK;
                       });
        const std::string kind = ToString(known.kind);
        if (!pixels) {
            throw std::runtime_error("calibration: the " + kind + " message box shows no icon");
        }
        // Samples that look alike would make the reader guess between their kinds.
        for (const auto& sample : reader.samples_) {
            if (sample.pixels == *pixels) {
                throw std::runtime_error("calibration: the " + kind + " icon looks like the " +
                                         ToString(sample.kind) + " icon");
            }
        }
        reader.samples_.push_back({known.kind, std::move(*pixels)});
    }
    return reader;
}

IconKind IconReader::Read(HWND message_box) const {
    const auto icon_pixels = IconPixels(message_box);
    if (!icon_pixels) {
        return IconKind::None;
    }
    const auto& pixels = *icon_pixels;
    IconKind best = IconKind::None;
    std::uint64_t best_distance = std::numeric_limits<std::uint64_t>::max();
    for (const auto& sample : samples_) {
        if (sample.pixels.size() == pixels.size()) {
            const auto d = Distance(sample.pixels, pixels);
            if (d < best_distance) {
                best_distance = d;
                best = sample.kind;
            }
        }
    }
    return best;
}

MessageBoxInfo ReadMessageBox(HWND message_box, const IconReader& icons) {
    WaitForIdle(message_box);
    MessageBoxInfo info;
    info.title = WindowText(message_box);
    for (const auto& control : ChildControls(message_box)) {
        const auto cls = ToLowerAscii(control.class_name);
        if (cls == L"button" && control.visible) {
            info.buttons.push_back({control.id, control.text});
        } else if (cls == L"static" && control.visible && !IsIconStatic(control.hwnd) &&
                   !control.text.empty()) {
            info.text = control.text;
        }
    }
    info.icon = icons.Read(message_box);
    return info;
}

int ShowMessageBox(const std::wstring& text, const std::wstring& title, UINT flags,
                   const std::function<int(HWND)>& handle) {
    // The program's command line: four hex digits a UTF-16 unit, so that any text passes.
    const auto hex = [](const std::wstring& value) {
        std::wstring digits;
        for (const wchar_t unit : value) {
            for (int shift = 12; shift >= 0; shift -= 4) {
                digits += L"0123456789ABCDEF"[(static_cast<unsigned>(unit) >> shift) & 0xFu];
            }
        }
        return digits;
    };
    const Process shown =
        Process::Launch(FromUnixPath(TAMRICK_MESSAGE_BOX_PROGRAM), OwnFolder(),
                        std::to_wstring(flags) + L" " + hex(title) + L" " + hex(text));
    const auto box = WaitForMessageBox(shown.pid());
    if (!box) {
        throw std::runtime_error("the message box program showed no message box");
    }
    // Should handle throw, ending shown closes the box.
    PressButton(*box, handle(*box));
    const auto answer = shown.WaitForExit();
    if (!answer) {
        throw std::runtime_error(
            "the message box program did not end after its button was pressed");
    }
    return static_cast<int>(*answer);
}

// --- Acting on windows ---------------------------------------------------------------------

void PressButton(HWND parent, int button_id) {
    HWND button = GetDlgItem(parent, button_id);
    if (button != nullptr) {
        // Posted: the click may open a modal box or end the program.
        PostMessageW(button, BM_CLICK, 0, 0);
    } else {
        PostMessageW(parent, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED), 0);
    }
}

void MoveMouseTo(POINT screen_point) {
    if (!SetCursorPos(screen_point.x, screen_point.y)) {
        throw Failure("SetCursorPos");
    }
}

void ClickAt(HWND window, POINT client_point) {
    POINT screen = client_point;
    ClientToScreen(window, &screen);
    MoveMouseTo(screen);
    SendInputs({MouseInput(MOUSEEVENTF_LEFTDOWN), MouseInput(MOUSEEVENTF_LEFTUP)});
}

void RequestClose(HWND window) {
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void PostCloseMessage(HWND window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
}

void PressKey(HWND window, WORD virtual_key, bool alt) {
    // Keys go to whatever window is in front when they arrive; on a loaded machine the change
    // of foreground lags behind the call, and keys sent at once would land on the old one.
    if (!WaitUntil([window] {
            SetForegroundWindow(window);
            return GetForegroundWindow() == window;
        })) {
        throw Failure("SetForegroundWindow");
    }
    std::vector<INPUT> inputs;
    if (alt) {
        inputs.push_back(KeyInput(VK_MENU, false));
    }
    inputs.push_back(KeyInput(virtual_key, false));
    inputs.push_back(KeyInput(virtual_key, true));
    if (alt) {
        inputs.push_back(KeyInput(VK_MENU, true));
    }
    SendInputs(std::move(inputs));
}

// --- Pictures ---------------------------------------------------------------------------------

Capture CaptureScreen(const RECT& screen_rect) {
    Capture capture;
    capture.width = std::max(0, static_cast<int>(screen_rect.right - screen_rect.left));
    capture.height = std::max(0, static_cast<int>(screen_rect.bottom - screen_rect.top));
    if (capture.width == 0 || capture.height == 0) {
        return capture;
    }
    const UniqueScreenDc screen(GetDC(nullptr));
    const UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = capture.width;
    info.bmiHeader.biHeight = -capture.height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const UniqueBitmap bitmap(
        CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!screen || !memory || !bitmap) {
        throw Failure("screen capture");
    }
    {
        Selection selected(memory.get(), bitmap.get());
        if (!BitBlt(memory.get(), 0, 0, capture.width, capture.height, screen.get(),
                    screen_rect.left, screen_rect.top, SRCCOPY | CAPTUREBLT)) {
            throw Failure("BitBlt");
        }
    }
    GdiFlush();
    const auto* source = static_cast<const std::uint32_t*>(bits);
    const auto count = static_cast<size_t>(capture.width) * static_cast<size_t>(capture.height);
    capture.pixels.assign(source, source + count);
    for (auto& pixel : capture.pixels) {
        pixel &= 0x00FFFFFFu;
    }
    return capture;
}

Capture CaptureSettled(HWND window, const RECT& screen_rect, milliseconds timeout) {
    return Settle(window, screen_rect, timeout, [](const Capture&) { return true; });
}

Capture CaptureWindow(HWND window) {
    return CaptureSettled(window, WindowRectOnScreen(window));
}

void SaveBmp(const Capture& capture, const std::filesystem::path& path) {
    const auto row = static_cast<std::uint32_t>((capture.width * 3 + 3) & ~3);
    const auto image_size = row * static_cast<std::uint32_t>(capture.height);
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + image_size;
    header.biSize = sizeof(header);
    header.biWidth = capture.width;
    header.biHeight = -capture.height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = image_size;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&header), sizeof(header));
    for (int y = 0; y < capture.height; ++y) {
        std::string line(row, '\0');
        for (int x = 0; x < capture.width; ++x) {
            const auto pixel = capture.at(x, y);
            const auto at = static_cast<size_t>(x) * 3;
            line[at] = static_cast<char>(pixel & 0xFF);
            line[at + 1] = static_cast<char>((pixel >> 8) & 0xFF);
            line[at + 2] = static_cast<char>((pixel >> 16) & 0xFF);
        }
        bytes += line;
    }
    WriteFileBytes(path, bytes);
}

// --- Test folders ------------------------------------------------------------------------------

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + ToUtf8(path.wstring()));
    }
}

std::filesystem::path OwnFolder() {
    return std::filesystem::path(ExecutablePath()).parent_path();
}

std::filesystem::path FromUnixPath(const std::filesystem::path& unix_path) {
    std::wstring path = unix_path.wstring();
    if (!path.empty() && path.front() == L'/') {
        path.insert(0, L"Z:");
    }
    return std::filesystem::path(path).make_preferred();
}

} // namespace tamrick::driver
