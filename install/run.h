#pragma once
// The installation run behind the install button. It talks to the world only through the small
// interfaces below: production wires the Win32 adapters, tests wire fakes.

#include "base/exit_codes.h"
#include "description/model.h"
#include "host/host.h"

#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tamrick {

enum class MessageKind { Information, Error };

// What the run needs of the installer window.
class RunWindow {
  public:
    virtual ~RunWindow() = default;
    // The warning with OK and Cancel; true for OK.
    virtual bool Confirm(const std::wstring& text) = 0;
    virtual void DisableButton() = 0;
    // Repaints the button at once.
    virtual void SetCaption(const std::wstring& caption) = 0;
    // Lets pending window events through once, then waits while keeping the window painted
    // with the button disabled. A close request in that time ends the program.
    virtual void PauseWithEvents(std::chrono::milliseconds duration) = 0;
    // A modal message box with OK only.
    virtual void ShowMessage(const std::wstring& text, MessageKind kind) = 0;
    // The abort reports: an error message naming a path (and, for a folder, the version of
    // CorelDRAW it belongs to). The window ends the program there; a face that returns lets the
    // run return the report's outcome.
    virtual void ReportMissingFile(const std::wstring& path) = 0;
    virtual void ReportBadFolder(const std::wstring& path, int major) = 0;
};

// The three file operations of the run. Every failure throws Error with the system's text.
class FileSystemOps {
  public:
    virtual ~FileSystemOps() = default;
    // A file (not a folder) at that path; hidden and read-only files count.
    virtual bool FileExists(const std::wstring& path) = 0;
    // Copies into a folder (ending in a separator), keeping the name and replacing a file of
    // that name; a failed copy leaves any old file intact.
    virtual void CopyFileInto(const std::wstring& source, const std::wstring& folder) = 0;
    // Deletes a file, read-only ones included.
    virtual void RemoveFile(const std::wstring& path) = 0;
};

// Starts the forced close of every running host process without waiting for it; throws Error
// only when it can't be started at all.
class HostCloser {
  public:
    virtual ~HostCloser() = default;
    virtual void StartClosingHost() = 0;
};

enum class RunOutcome {
    Cancelled,        // at the confirmation: the window stays, the button enabled
    Succeeded,        // 安装成功！
    MissingFile,      // the missing-file report
    BadFolder,        // the bad-folder report
    HostNotInstalled, // the host can't be created (error 429)
    Failed,           // any other error: 发生意外错误，...
};

// The program's way out after a run that ended so (its code: ExitCodeFor).
Ending EndingOf(RunOutcome outcome);

// Why an item did nothing without stopping the run.
enum class SkipReason {
    SourceMissing, // an optional item's file is not in the add-on
    NoFolder,      // an optional item's folder came back empty, or none was carried to it
    NotThere,      // an optional delete item's file is not in the folder
    NoAction,      // the action is neither copy nor delete
};

// Told what the run does, for the log; every member does nothing unless overridden.
class RunObserver {
  public:
    virtual ~RunObserver() = default;
    virtual void Confirmed(std::wstring_view /*text*/, bool /*ok*/) {}
    // A version of the host (13 is X3): before anything is done for it, and once every item is
    // done in it and it is hidden again. A version whose walk stops has no end.
    virtual void VersionStarting(int /*major*/) {}
    virtual void VersionFinished(int /*major*/) {}
    // Before each row is worked on (its index), with the folder that the items before it left
    // (DestFolder).
    virtual void ItemStarting(std::size_t /*row*/, std::wstring_view /*destFolder*/) {}
    // Once the version's object is open.
    virtual void HostOpened(int /*major*/) {}
    // A folder that version was asked for, exactly as returned.
    virtual void FolderReturned(int /*major*/, std::wstring_view /*key*/,
                                std::wstring_view /*folder*/) {}
    virtual void Copied(std::wstring_view /*source*/, std::wstring_view /*destination*/) {}
    virtual void Imported(std::wstring_view /*path*/) {}
    virtual void Deleted(std::wstring_view /*path*/) {}
    // The full path concerned (the source, or the file to delete; its bare name where there is
    // no folder).
    virtual void Skipped(const FileItem& /*item*/, std::wstring_view /*path*/,
                         SkipReason /*reason*/) {}
    // The message that ends the run, told before it is shown: its exact text, shown or not.
    virtual void Ended(RunOutcome /*outcome*/, std::wstring_view /*text*/) {}
};

// The record of a run whose add-on has an id: every change is in it before it is made, so that
// a failed run can be undone and the add-on removed later.
class RunRecord {
  public:
    virtual ~RunRecord() = default;
    // The version that the changes from now on are made in.
    virtual void VersionStarting(int major) = 0;
    // Wraps the run's file operations so that each copy and delete is recorded ahead.
    virtual std::unique_ptr<FileSystemOps> Recording(std::unique_ptr<FileSystemOps> files) = 0;
    // Before a workspace import, which no file operation can take back.
    virtual void Importing(const std::wstring& path) = 0;
    // Every item is done: the release is kept and the add-on listed for removal. Throws Error.
    virtual void Commit() = 0;
    // The run failed: what it changed is put back. False when something could not be; the record
    // then stays. Does nothing after Commit or a first Undo.
    virtual bool Undo() noexcept = 0;
};

// The line that a failed run's message ends with when it had a record.
inline constexpr const wchar_t* kChangesUndoneLine =
    L"本次安装所做的更改已全部撤销，没有改动任何文件。";
inline constexpr const wchar_t* kChangesNotUndoneLine =
    L"本次安装所做的更改未能全部撤销，请稍后运行卸载程序。";

// The window's members that the run fills and ShutDown releases.
struct RunMembers {
    std::unique_ptr<Host>& HostApp;
    std::unique_ptr<FileSystemOps>& FileSystem;
};

struct RunServices {
    RunWindow& window;
    HostCloser& closer;
    // Which of the versions named (ascending majors) are installed, ascending; it only reads.
    // Asked once, before the confirmation, and only when the description names versions.
    std::function<std::vector<int>(std::span<const int> named)> findInstalledHosts;
    // Each makes a new object; failures throw Error (429 when it can't be created). The host is
    // the one of that major: 13 is X3.
    std::function<std::unique_ptr<Host>(int major)> createHost;
    std::function<std::unique_ptr<FileSystemOps>()> createFileSystem;
    // Told every step, when there is one.
    RunObserver* observer = nullptr;
    // With an add-on id: the changes are recorded, and a failure undoes them.
    RunRecord* record = nullptr;
};

inline constexpr std::chrono::milliseconds kHostClosePause{10000};
// The confirmation's warning that CorelDRAW will be closed by force.
inline constexpr const wchar_t* kHostCloseWarning =
    L"将要强制关闭正在运行的 CorelDRAW！\r\n"
    L"请保存您的工作并退出 CorelDRAW，以免造成损失。";

// How a file item meets the run's folder, DestFolder, which is not cleared between items.
enum class ItemFolderUse {
    None,        // the item does nothing (an action other than copy or delete)
    Import,      // a workspace import: needs no folder and leaves DestFolder as it is
    Resolves,    // its target names a host folder, which becomes DestFolder
    CarriesOver, // its target names none: it works in the folder that the items before it left
};
ItemFolderUse FolderUseOf(const FileItem& item);

// What the install button does: the whole installation, from the confirmation to the final
// message. Without versions named in the description it installs into X3; with them, into each
// of them that is installed, in ascending order. Every outcome but Cancelled ends the program.
RunOutcome RunInstallation(const SharedState& state, RunMembers members,
                           const RunServices& services);

} // namespace tamrick
