#include "frm_main.h"

#include "base/error.h"
#include "base/message_wait.h"
#include "base/system_error.h"
#include "base/system_library.h"
#include "install/file_ops_win32.h"
#include "install/host/host_finder_win32.h"
#include "install/host/host_thread_win32.h"
#include "install/host_closer_win32.h"
#include "install/reports.h"
#include "resources/resource_ids.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace tamrick {
namespace {

constexpr const wchar_t* kWindowClass = L"TamrickInstallerWindow";
constexpr const wchar_t* kInstallCaption = L"点这里开始安装";
constexpr int kCmdInstallId = 1001;
constexpr int kPicFlagsId = 1002;

// The layout at 96 DPI.
constexpr SIZE kClientSize{432, 158};
constexpr RECT kCmdInstallRect{56, 103, 56 + 329, 103 + 41};
constexpr RECT kPicFlagsRect{5, 5, 5 + 420, 5 + 78};
constexpr int kFontPoints = 9;

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

// The per-monitor DPI functions came with Windows 10; on older systems the system DPI holds.

UINT DpiOf(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    if (const auto get_dpi = SystemFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow")) {
        if (const UINT dpi = get_dpi(window)) {
            return dpi;
        }
    }
    const UniqueScreenDc screen(GetDC(nullptr));
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

RECT FrameForClient(SIZE client, UINT dpi) {
    RECT rect{0, 0, client.cx, client.cy};
    using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    if (const auto adjust =
            SystemFunction<AdjustForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi")) {
        adjust(&rect, kStyle, FALSE, kExStyle, dpi);
    } else {
        AdjustWindowRectEx(&rect, kStyle, FALSE, kExStyle);
    }
    return rect;
}

int Scale(int value, UINT dpi) {
    return MulDiv(value, static_cast<int>(dpi), 96);
}

void Place(HWND control, const RECT& designed, UINT dpi) {
    SetWindowPos(control, nullptr, Scale(designed.left, dpi), Scale(designed.top, dpi),
                 Scale(designed.right - designed.left, dpi),
                 Scale(designed.bottom - designed.top, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
}

HICON LoadProgramIcon(int system_metric_x, int system_metric_y) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TAMRICK),
                                         IMAGE_ICON, GetSystemMetrics(system_metric_x),
                                         GetSystemMetrics(system_metric_y), LR_SHARED));
}

void RegisterWindowClass(WNDPROC procedure) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = LoadProgramIcon(SM_CXICON, SM_CYICON);
    wc.hIconSm = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        ThrowLastError();
    }
}

// Input to the window itself, which a pending host call keeps from it. Keys with Alt, and the
// mouse on the frame, still reach the system menu and the close button.
bool IsClientInput(const MSG& message) {
    return (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST) ||
           message.message == WM_KEYDOWN || message.message == WM_KEYUP ||
           message.message == WM_CHAR || message.message == WM_DEADCHAR;
}

} // namespace

std::wstring UnhandledErrorReport() noexcept {
    const Error e = CurrentExceptionAsError();
    return UnhandledErrorText(e.number(), e.description());
}

frmMain::frmMain(SharedState state, ProgramLog& log) : state_(std::move(state)), log_(log) {
    if (!LoadCommonControls(ICC_STANDARD_CLASSES | ICC_BAR_CLASSES)) {
        ThrowLastError();
    }
    RegisterWindowClass(&frmMain::WindowProc);
    // WindowProc takes this window object from the creation parameter.
    if (CreateWindowExW(kExStyle, kWindowClass, kProgramTitle, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleW(nullptr),
                        this) == nullptr) {
        ThrowLastError();
    }
    CreateControls();
    Layout(nullptr);
    picture_.reset(
        static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_BANNER),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!picture_) {
        ThrowLastError();
    }
}

void frmMain::CreateControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    cmdInstall_ = CreateWindowExW(
        0, WC_BUTTONW, kInstallCaption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0,
        0, 0, hwnd(), reinterpret_cast<HMENU>(kCmdInstallId), instance, nullptr);
    picFlags_ =
        CreateWindowExW(0, WC_STATICW, L"", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW | SS_NOTIFY, 0, 0,
                        0, 0, hwnd(), reinterpret_cast<HMENU>(kPicFlagsId), instance, nullptr);
    tooltip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr, instance, nullptr);
    if (cmdInstall_ == nullptr || picFlags_ == nullptr || tooltip_ == nullptr) {
        ThrowLastError();
    }
    std::wstring tip = L"点击访问 " TAMRICK_WEB_HOST;
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd();
    tool.uId = reinterpret_cast<UINT_PTR>(picFlags_);
    tool.lpszText = tip.data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void frmMain::Layout(const RECT* suggested) {
    dpi_ = DpiOf(hwnd());
    const RECT frame =
        FrameForClient({Scale(kClientSize.cx, dpi_), Scale(kClientSize.cy, dpi_)}, dpi_);
    RECT now{};
    GetWindowRect(hwnd(), &now);
    const POINT at =
        suggested != nullptr ? POINT{suggested->left, suggested->top} : POINT{now.left, now.top};
    SetWindowPos(hwnd(), nullptr, at.x, at.y, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    UniqueFont font(CreateFontW(-MulDiv(kFontPoints, static_cast<int>(dpi_), 72), 0, 0, 0,
                                FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                L"Tahoma"));
    SendMessageW(cmdInstall_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    font_ = std::move(font); // the old font is deleted only once the button has let it go

    Place(cmdInstall_, kCmdInstallRect, dpi_);
    Place(picFlags_, kPicFlagsRect, dpi_);
    InvalidateRect(picFlags_, nullptr, FALSE);
}

bool frmMain::HandleDialogMessage(MSG& message) const {
    return window_ && IsDialogMessageW(hwnd(), &message);
}

void frmMain::cmdInstall_Click() {
    // The button is disabled for the run; this also holds if a click slips through meanwhile.
    if (running_) {
        return;
    }
    running_ = true;
    const std::unique_ptr<HostCloser> closer = MakeTaskkillCloser();
    RunServices services{*this, *closer, &FindInstalledHosts,
                         [this](int major) {
                             return MakeHostOnThread(MakeComHost(major),
                                                     [this](HANDLE done) { WaitForHost(done); });
                         },
                         [] { return MakeWin32FileSystem(); }};
    services.observer = &runLog_;
    Recorded = MakeRecordedRun(state_, log_);
    services.record = Recorded ? &Recorded->record() : nullptr;
    const RunOutcome outcome = RunInstallation(state_, RunMembers{HostApp, FileSystem}, services);
    if (outcome != RunOutcome::Cancelled) {
        ShutDown(EndingOf(outcome));
    }
    running_ = false;
}

bool frmMain::Confirm(const std::wstring& text) {
    return MessageBoxW(hwnd(), text.c_str(), kProgramTitle,
                       MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON1) != IDCANCEL;
}

void frmMain::DisableButton() {
    EnableWindow(cmdInstall_, FALSE);
}

void frmMain::SetCaption(const std::wstring& caption) {
    SetWindowTextW(cmdInstall_, caption.c_str());
    // Painted now: the run keeps the thread busy until its next caption.
    UpdateWindow(cmdInstall_);
}

void frmMain::PauseWithEvents(std::chrono::milliseconds duration) {
    PumpPendingMessages(true);
    // Wakes for every message, so the window keeps painting and a close request ends the program
    // at once.
    PauseWithMessages(duration, [this] { PumpPendingMessages(true); });
}

void frmMain::PumpPendingMessages(bool clientInput) {
    DispatchWaitingMessages([this, clientInput](MSG& message) {
        const bool ours = message.hwnd == hwnd() || IsChild(hwnd(), message.hwnd);
        if (!clientInput && ours && IsClientInput(message)) {
            return true; // dropped
        }
        return HandleDialogMessage(message);
    });
}

void frmMain::WaitForHost(HANDLE done) {
    // Wakes for every message, as in the pause.
    WaitWithMessages(done, [this] { PumpPendingMessages(false); });
}

void frmMain::ShowMessage(const std::wstring& text, MessageKind kind) {
    const auto icon =
        static_cast<UINT>(kind == MessageKind::Information ? MB_ICONINFORMATION : MB_ICONERROR);
    MessageBoxW(hwnd(), text.c_str(), kProgramTitle, MB_OK | icon);
}

void frmMain::ReportMissingFile(const std::wstring& path) {
    ShowMessage(MissingFileReport(path), MessageKind::Error);
    ShutDown(Ending::MissingFile);
}

void frmMain::ReportBadFolder(const std::wstring& path, int major) {
    ShowMessage(BadFolderReport(path, major), MessageKind::Error);
    ShutDown(Ending::BadFolder);
}

void frmMain::Form_Load() {
    SetWindowTextW(hwnd(), state_.SetupTitle.c_str());

    handCursor_ = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_BANNER_HAND));
    if (handCursor_ == nullptr) {
        ThrowLastError();
    }

    const std::wstring path = state_.AppFolder + state_.FlagsPicture;
    if (IsPlainFile(path)) {
        picture_ =
            LoadPictureFile(path, kPicFlagsRect.right - kPicFlagsRect.left,
                            kPicFlagsRect.bottom - kPicFlagsRect.top, GetSysColor(COLOR_BTNFACE));
        InvalidateRect(picFlags_, nullptr, FALSE);
    }
}

void frmMain::ShutDown(Ending ending) {
    const int exitCode = ExitCodeFor(ending);
    HostApp.reset();
    FileSystem.reset();
    if (Recorded && !Recorded->record().Undo()) {
        log_.Note(L"the changes of this run could not all be undone");
    }
    log_.End(exitCode);
    ExitProcess(static_cast<UINT>(exitCode));
}

void frmMain::Form_Unload(std::int16_t& /*cancel*/) {
    log_.Note(running_ ? L"the window was closed during the installation"
                       : L"the window was closed before the installation");
    ShutDown(Ending::WindowClosed);
}

void frmMain::picFlags_Click() {
    // Whatever happens, the window stays as it is: the result is of no interest.
    ShellExecuteA(hwnd(), "open", TAMRICK_WEB_PAGE, "", "", SW_SHOWNORMAL);
}

LRESULT CALLBACK frmMain::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* created =
            static_cast<frmMain*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        created->window_.reset(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* form = reinterpret_cast<frmMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (form == nullptr) {
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    if (message == WM_NCDESTROY) {
        // Destroyed by the system (a failed creation): nothing is left for the object to own.
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        form->window_.release();
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    // Nothing may unwind through the system's dispatch code: a handler without a trap of its own
    // ends the program with the unhandled-error report.
    try {
        return form->HandleMessage(message, wparam, lparam);
    } catch (...) {
        const std::wstring report = UnhandledErrorReport();
        form->log_.Message(L"error", report);
        MessageBoxW(hwnd, report.c_str(), kProgramTitle, MB_OK | MB_ICONERROR);
        form->ShutDown(Ending::UnhandledError);
    }
}

LRESULT frmMain::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wparam) == kCmdInstallId && HIWORD(wparam) == BN_CLICKED) {
            cmdInstall_Click();
            return 0;
        }
        if (LOWORD(wparam) == kPicFlagsId && HIWORD(wparam) == STN_CLICKED) {
            picFlags_Click();
            return 0;
        }
        break;
    case DM_GETDEFID:
        return MAKELRESULT(kCmdInstallId, DC_HASDEFID);
    case WM_SETFOCUS:
        SetFocus(cmdInstall_);
        return 0;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wparam) == picFlags_ && LOWORD(lparam) == HTCLIENT &&
            handCursor_ != nullptr) {
            SetCursor(handCursor_);
            return TRUE;
        }
        break;
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
        if (item.CtlID == kPicFlagsId) {
            DrawPicture(item.hDC, item.rcItem, picture_.get(), dpi_ / 96.0,
                        GetSysColorBrush(COLOR_BTNFACE));
            return TRUE;
        }
        break;
    }
    case WM_DPICHANGED:
        Layout(reinterpret_cast<const RECT*>(lparam));
        return 0;
    case WM_CLOSE: {
        std::int16_t cancel = 0;
        Form_Unload(cancel);
        return 0;
    }
    case WM_ENDSESSION:
        if (wparam != FALSE) {
            std::int16_t cancel = 0;
            Form_Unload(cancel);
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd(), message, wparam, lparam);
}

std::unique_ptr<frmMain> ShowInstallerWindow(const SharedState& state, ProgramLog& log) {
    auto form = std::make_unique<frmMain>(state, log);
    form->Form_Load();

    // Centred on the screen that holds it.
    const HWND window = form->hwnd();
    RECT frame{};
    GetWindowRect(window, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(window, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    return form;
}

} // namespace tamrick
