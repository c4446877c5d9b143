// The setup program: carries an add-on folder behind its own sections, unpacks it into a
// folder of its own, runs the installer from there with the setup's own arguments, removes the
// folder and ends with the installer's exit code, or with a code of its own (ExitCodeFor) where
// it got no further. As an administrator it unpacks into a folder that only SYSTEM and
// administrators may change, under Windows' own temporary folder; otherwise under the user's.

#include "base/executable_path.h"
#include "base/exit_codes.h"
#include "base/handles.h"
#include "base/path_separator.h"
#include "base/system_library.h"
#include "base/system_text.h"
#include "description/model.h"
#include "log/log_file_win32.h"
#include "startup/command_line.h"
#include "startup/instance_lock.h"
#include "unpack.h"
#include "unpack_folder_win32.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace tamrick::setup {
namespace {

constexpr const wchar_t* kDamagedText =
    L"安装程序已损坏，可能是下载不完整。\r\n请重新下载安装程序后再运行。";
constexpr const wchar_t* kUnsafeNameText =
    L"安装程序中的文件名(%s)不安全，安装已停止。\r\n请联系软件作者寻求帮助。";
constexpr const wchar_t* kNoTempFolderText = L"无法创建临时文件夹(%s)。\r\n";
constexpr const wchar_t* kUnpackFailedText = L"无法解压安装文件(%s)。\r\n";
constexpr const wchar_t* kStartFailedText = L"无法启动安装程序(%s)。\r\n";
constexpr const wchar_t* kUnpackingText = L"正在解压安装文件，请稍候...";
// Unpacking that takes longer than this shows its window.
constexpr DWORD kQuietMilliseconds = 500;
constexpr int kProgressSteps = 1000;

std::wstring Format(const wchar_t* pattern, const std::wstring& value) {
    std::wstring text(pattern);
    const std::size_t at = text.find(L"%s");
    return text.replace(at, 2, value);
}

// Where the setup's messages go: the log always, a message box unless the run is silent.
class Messages {
  public:
    Messages(ProgramLog& log, bool silent) : log_(log), silent_(silent) {}

    void Error(const std::wstring& text) const { TellUser(log_, silent_, L"error", text); }
    void SystemError(const wchar_t* pattern, const std::wstring& value, DWORD error) const {
        Error(Format(pattern, value) + SystemErrorText(error));
    }

  private:
    ProgramLog& log_;
    bool silent_;
};

// Deletes a folder and everything in it, read-only files included. A link inside is removed,
// never followed.
bool RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    if (const UniqueFindHandle search{FindFirstFileW((folder + L"*").c_str(), &found)}) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring path = folder + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            const bool isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (isFolder && !isLink) {
                RemoveTree(path + L"\\");
            } else if (isFolder) {
                RemoveDirectoryW(path.c_str());
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search.get(), &found));
    }
    return RemoveDirectoryW(folder.c_str()) != FALSE;
}

// The user's temporary folder, or Windows' own (SYSTEM's, where users may make folders but not
// change anyone else's); ending in a backslash, empty when the system can't say.
std::wstring UserTempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    return length == 0 || length > MAX_PATH ? std::wstring() : std::wstring(temp, length);
}

std::wstring SystemTempFolder() {
    wchar_t windows[MAX_PATH + 1] = {};
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
        return {};
    }
    std::wstring folder(windows, length);
    EnsureTrailingSeparator(folder);
    return folder + L"Temp\\";
}

// A new folder of this setup's own, removed with the object. With a security descriptor it is
// held open meanwhile, so that nobody else can rename it and put another in its place.
class TempFolder {
  public:
    // Empty when no folder could be made in `parent`; `tried` and `error` say where and why.
    static std::optional<TempFolder> Create(const std::wstring& parent,
                                            PSECURITY_DESCRIPTOR security, std::wstring& tried,
                                            DWORD& error) {
        if (parent.empty()) {
            error = GetLastError() != 0 ? GetLastError() : ERROR_PATH_NOT_FOUND;
            return std::nullopt;
        }
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        auto seed = static_cast<std::uint32_t>(counter.QuadPart) ^ (GetCurrentProcessId() << 16) ^
                    GetTickCount();
        for (int attempt = 0; attempt < 100; ++attempt) {
            seed = seed * 1664525u + 1013904223u;
            wchar_t name[32] = {};
            wsprintfW(name, L"TamrickSetup.%08x", seed);
            tried = parent + name;
            error = CreateFolder(tried, security);
            if (error == 0) {
                TempFolder folder(tried, security != nullptr);
                if (folder.hold_ && !folder.hold_->IsHeld()) {
                    error = folder.hold_->error();
                    return std::nullopt; // the object removes what was made
                }
                return folder;
            }
            if (error != ERROR_ALREADY_EXISTS) {
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    TempFolder(TempFolder&& other) noexcept
        : path_(std::move(other.path_)), hold_(std::move(other.hold_)) {
        other.path_.clear();
    }
    TempFolder& operator=(TempFolder&&) = delete;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        if (path_.empty()) {
            return;
        }
        hold_.reset();
        // A virus scanner or the host may hold a file a moment after the installer ended.
        for (int attempt = 0; attempt < 20 && !RemoveTree(path_); ++attempt) {
            Sleep(100);
        }
    }

    const std::wstring& path() const { return path_; }
    bool IsProtected() const { return hold_ != nullptr; }

  private:
    TempFolder(const std::wstring& folder, bool protect)
        : path_(folder + L"\\"), hold_(protect ? std::make_unique<FolderHold>(folder) : nullptr) {}
    std::wstring path_;
    std::unique_ptr<FolderHold> hold_;
};

// The folder to unpack into. An administrator's setup starts an elevated installer from it, so
// nobody without elevation may change it: under Windows' temporary folder where that can be
// used, else under the user's, made with the access list as it is created, and held. Anyone
// else's as before.
std::optional<TempFolder> MakeUnpackFolder(std::wstring& tried, DWORD& error) {
    if (!RunsAsAdministrator()) {
        return TempFolder::Create(UserTempFolder(), nullptr, tried, error);
    }
    const ProtectedFolderSecurity security;
    if (security.get() == nullptr) {
        error = security.error();
        return std::nullopt;
    }
    if (std::optional<TempFolder> folder =
            TempFolder::Create(SystemTempFolder(), security.get(), tried, error)) {
        return folder;
    }
    return TempFolder::Create(UserTempFolder(), security.get(), tried, error);
}

// The small window that shows how unpacking goes, once it takes more than a moment. Closing it
// cancels. Where it can't be made, unpacking goes on without it.
class ProgressWindow {
  public:
    explicit ProgressWindow(std::wstring title) : title_(std::move(title)) {}
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;
    ~ProgressWindow() = default;

    // Shows `fraction` of the work as done; false once the user closed the window.
    bool Show(double fraction) {
        // Elapsed time in unsigned arithmetic stays right across the tick count's wrap.
        if (state_ == State::Waiting && GetTickCount() - started_ >= kQuietMilliseconds) {
            state_ = Create() ? State::Shown : State::GivenUp;
        }
        if (state_ == State::Shown) {
            const auto position = static_cast<int>(fraction * kProgressSteps);
            if (position != shown_) {
                shown_ = position;
                SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
            }
        }
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return !cancelled_;
    }

  private:
    enum class State { Waiting, Shown, GivenUp };

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
        if (message == WM_CLOSE) {
            auto* self =
                reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
            if (self != nullptr) {
                self->cancelled_ = true;
            }
            return 0;
        }
        return DefWindowProcW(window, message, w, l);
    }

    // Makes the window once; false when it can't be made.
    bool Create() {
        if (!LoadCommonControls(ICC_PROGRESS_CLASS)) {
            return false;
        }
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = instance;
        windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        windowClass.hCursor = LoadCursorW(nullptr, IDC_WAIT);
        windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        windowClass.lpszClassName = L"TamrickSetupProgress";
        RegisterClassExW(&windowClass);

        int dpi = 0;
        if (const UniqueScreenDc screen{GetDC(nullptr)}) {
            dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
        }
        const auto scale = [dpi](int pixels) { return MulDiv(pixels, dpi > 0 ? dpi : 96, 96); };
        // The message font; built for Windows XP, the structure has the size that XP knows,
        // which every later Windows takes too.
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) {
            font_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
        }

        const DWORD style = WS_CAPTION | WS_SYSMENU;
        RECT frame{0, 0, scale(360), scale(86)};
        AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
        const int width = frame.right - frame.left;
        const int height = frame.bottom - frame.top;
        window_.reset(CreateWindowExW(WS_EX_DLGMODALFRAME, windowClass.lpszClassName,
                                      title_.c_str(), style,
                                      (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                      (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                      nullptr, nullptr, instance, nullptr));
        if (!window_) {
            return false;
        }
        SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        const HWND label = CreateWindowExW(0, L"STATIC", kUnpackingText, WS_CHILD | WS_VISIBLE,
                                           scale(16), scale(14), scale(328), scale(20),
                                           window_.get(), nullptr, instance, nullptr);
        bar_ = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, scale(16),
                               scale(42), scale(328), scale(20), window_.get(), nullptr, instance,
                               nullptr);
        if (font_) {
            SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        }
        SendMessageW(bar_, PBM_SETRANGE32, 0, kProgressSteps);
        ShowWindow(window_.get(), SW_SHOWNORMAL);
        UpdateWindow(window_.get());
        return true;
    }

    std::wstring title_;
    DWORD started_ = GetTickCount();
    State state_ = State::Waiting;
    UniqueFont font_;
    HWND bar_ = nullptr; // goes with the window
    int shown_ = -1;
    bool cancelled_ = false;
    // Last: the window goes before the font that its label shows.
    UniqueWindow window_;
};

// Unpacks the payload into `folder`; false (after telling the user, unless they cancelled)
// when it did not, with the way out in `ending`. Without a window (a silent run) it shows
// nothing.
bool UnpackInto(const std::wstring& self, const PayloadLocation& location, const TempFolder& folder,
                ProgressWindow* window, const Messages& messages, Ending& ending) {
    // Checking reads the payload once, unpacking writes it out: about one part to three.
    const auto show = [window](double fraction) {
        return window == nullptr || window->Show(fraction);
    };
    const Progress checking = [&](std::uint64_t done, std::uint64_t total) {
        return show(0.25 * static_cast<double>(done) / static_cast<double>(total));
    };
    const Progress unpacking = [&](std::uint64_t done, std::uint64_t total) {
        return show(total == 0
                        ? 1.0
                        : 0.25 + 0.75 * static_cast<double>(done) / static_cast<double>(total));
    };
    Result result = VerifyPayload(self, location, checking);
    if (result.outcome == Outcome::Done) {
        result = Unpack(self, location, folder.path(), unpacking);
    }
    switch (result.outcome) {
    case Outcome::Done:
        return true;
    case Outcome::Damaged:
        messages.Error(kDamagedText);
        ending = Ending::SetupDamaged;
        return false;
    case Outcome::UnsafeName:
        messages.Error(Format(kUnsafeNameText, result.name));
        ending = Ending::UnsafeName;
        return false;
    case Outcome::Failed:
        messages.SystemError(kUnpackFailedText, folder.path() + result.name, result.error);
        ending = Ending::UnpackFailed;
        return false;
    case Outcome::Cancelled:
        break;
    }
    ending = Ending::WindowClosed;
    return false;
}

// Starts the installer so that its manifest's elevation applies, with the setup's own arguments
// and current folder (a relative /LOG= names the same file for both), and waits for it to end.
int RunInstaller(const TempFolder& folder, ProgramLog& log, const Messages& messages) {
    const std::wstring installer = folder.path() + payload::kInstallerName;
    const std::wstring arguments(RawArguments());
    log.Run(installer, arguments);
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_FLAG_DDEWAIT;
    execute.lpFile = installer.c_str();
    execute.lpParameters = arguments.c_str();
    execute.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&execute)) {
        const DWORD error = GetLastError();
        if (error == ERROR_CANCELLED) {
            // The user said no to the elevation: nothing to report.
            log.Note(L"the installer's elevation was declined");
        } else {
            messages.SystemError(kStartFailedText, installer, error);
        }
        return ExitCodeFor(Ending::InstallerNotStarted);
    }
    if (execute.hProcess == nullptr) {
        log.Note(L"the installer was started without a process to wait for");
        return ExitCodeFor(Ending::InstallerNotStarted);
    }
    const UniqueHandle process(execute.hProcess);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}

int Run(const CommandLine& commandLine, ProgramLog& log) {
    const std::wstring self = ExecutablePath();
    log.Start(TAMRICK_VERSION, self, RawArguments());
    const Messages messages(log, commandLine.silent);
    // What the installer would not take is refused before anything is unpacked.
    if (commandLine.IsUsageError()) {
        return ExitCodeFor(EndWithUsage(commandLine, log));
    }
    // One setup file runs once at a time; a second start ends silently, as the installer does.
    const UniqueHandle lock = AcquireInstanceLock(self, L".setup");
    if (!lock) {
        log.Note(L"another instance of this setup is running");
        return ExitCodeFor(Ending::SetupAlreadyRunning);
    }
    const std::optional<PayloadLocation> location = FindPayload(self);
    if (!location) {
        messages.Error(kDamagedText);
        return ExitCodeFor(Ending::SetupDamaged);
    }
    std::wstring tried;
    DWORD error = 0;
    std::optional<TempFolder> folder = MakeUnpackFolder(tried, error);
    if (!folder) {
        messages.SystemError(kNoTempFolderText, tried, error);
        return ExitCodeFor(Ending::UnpackFailed);
    }
    log.Unpack(folder->path(), folder->IsProtected() ? L"protected" : L"plain");
    Ending ending = Ending::Succeeded;
    {
        std::optional<ProgressWindow> window;
        if (!commandLine.silent) {
            window.emplace(location->header.title);
        }
        if (!UnpackInto(self, *location, *folder, window ? &*window : nullptr, messages, ending)) {
            return ExitCodeFor(ending);
        }
    }
    return RunInstaller(*folder, log, messages);
}

} // namespace
} // namespace tamrick::setup

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
    tamrick::RestrictDllSearch();
    // ShellExecuteEx may hand the start to a shell extension: COM, single-threaded.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const tamrick::CommandLine commandLine = tamrick::ParseCommandLine(tamrick::ProgramArguments());
    // A log that can't be opened changes nothing else.
    std::optional<tamrick::LogFile> logFile;
    if (commandLine.logPath) {
        logFile.emplace(*commandLine.logPath);
    }
    tamrick::ProgramLog log(logFile ? &*logFile : nullptr, L"setup");
    const int status = tamrick::setup::Run(commandLine, log);
    log.End(status);
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return status;
}
