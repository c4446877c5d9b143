#pragma once
// The exit codes of the installer and of the setup program: what a deployment script reads from
// %ERRORLEVEL%. The same with and without /S; only success is 0, and each other outcome has a
// code of its own. The setup returns the installer's code when it got as far as running it, and
// its own codes (9 and up) for what went wrong before. What each code means to an administrator
// is the table in docs/deploying.md, which a test holds to kMeanings.
//
// A log that can't be opened or written changes no code. Any other code is not ours: a crash
// (a Windows status such as 0xC0000005), an abort of the C runtime (3) or a process ended from
// outside.

namespace tamrick::exit_code {

inline constexpr int kSuccess = 0;
inline constexpr int kCancelled = 1;
inline constexpr int kUsage = 2;
inline constexpr int kMissingFile = 4;
inline constexpr int kMissingFolder = 5;
inline constexpr int kOtherError = 6;
inline constexpr int kNoDescription = 7;
inline constexpr int kAlreadyRunning = 8;
inline constexpr int kSetupDamaged = 9;
inline constexpr int kSetupUnpackFailed = 10;
inline constexpr int kSetupAlreadyRunning = 11;
inline constexpr int kSetupInstallerNotStarted = 12;
inline constexpr int kRemovedKeptChanged = 13;
inline constexpr int kNoRecord = 14;
inline constexpr int kHostNotInstalled = 429;

struct Meaning {
    int code;
    const wchar_t* text; // as the usage box lists it
};

// What 0 means after /UNINSTALL.
inline constexpr const wchar_t* kRemovedMeaning = L"卸载成功";

// Every code, in the order of the administrators' table.
inline constexpr Meaning kMeanings[] = {
    {kSuccess, L"安装成功"},
    {kCancelled, L"在确认时取消，或在安装结束前关闭了窗口"},
    {kUsage, L"命令行有误，或使用了 /?"},
    {kMissingFile, L"缺少安装必需的文件"},
    {kMissingFolder, L"CorelDRAW 的文件夹不存在"},
    {kOtherError, L"发生意外错误"},
    {kNoDescription, L"没有安装信息文件，或其中没有文件项"},
    {kAlreadyRunning, L"本安装程序已在运行"},
    {kSetupDamaged, L"安装包已损坏"},
    {kSetupUnpackFailed, L"无法解压安装文件"},
    {kSetupAlreadyRunning, L"本安装包已在运行"},
    {kSetupInstallerNotStarted, L"无法启动安装程序"},
    {kRemovedKeptChanged, L"已卸载，但保留了安装后被修改过的文件"},
    {kNoRecord, L"没有安装记录，或记录已损坏（卸载时；没有做任何更改）"},
    {kHostNotInstalled, L"没有安装所需版本的 CorelDRAW"},
};

} // namespace tamrick::exit_code

namespace tamrick {

// Every way out of the two programs. Several share a code; ExitCodeFor alone says which.
enum class Ending {
    // the installation's outcomes
    Succeeded,
    Cancelled, // at the confirmation
    MissingFile,
    BadFolder,
    HostNotInstalled,
    Failed, // the run's "unexpected error"
    // the installer's start and its window, and the setup's likewise
    Usage,
    NoDescription, // or one without file items
    AlreadyRunning,
    UnhandledError,
    WindowClosed, // the installer's window or the setup's progress window
    AskedToQuit,  // a quit message from outside
    // the setup's own
    SetupDamaged,
    UnsafeName,
    UnpackFailed,
    SetupAlreadyRunning,
    InstallerNotStarted, // the user's declined elevation included
    // the removal's own (/UNINSTALL)
    Removed,
    RemovedKeptChanged,
    NoRecord, // or a damaged one
};

constexpr int ExitCodeFor(Ending ending) {
    using namespace exit_code;
    switch (ending) {
    case Ending::Succeeded:
    case Ending::Removed:
        return kSuccess;
    case Ending::RemovedKeptChanged:
        return kRemovedKeptChanged;
    case Ending::NoRecord:
        return kNoRecord;
    case Ending::Cancelled:
    case Ending::WindowClosed:
    case Ending::AskedToQuit:
        return kCancelled;
    case Ending::MissingFile:
        return kMissingFile;
    case Ending::BadFolder:
        return kMissingFolder;
    case Ending::HostNotInstalled:
        return kHostNotInstalled;
    case Ending::Usage:
        return kUsage;
    case Ending::NoDescription:
        return kNoDescription;
    case Ending::AlreadyRunning:
        return kAlreadyRunning;
    case Ending::SetupDamaged:
    case Ending::UnsafeName:
        return kSetupDamaged;
    case Ending::UnpackFailed:
        return kSetupUnpackFailed;
    case Ending::SetupAlreadyRunning:
        return kSetupAlreadyRunning;
    case Ending::InstallerNotStarted:
        return kSetupInstallerNotStarted;
    case Ending::Failed:
    case Ending::UnhandledError:
        break;
    }
    return kOtherError;
}

} // namespace tamrick
