#include "run.h"

#include "base/error.h"
#include "base/exit_codes.h"
#include "install/reports.h"

#include <optional>

namespace tamrick {
namespace {

constexpr const wchar_t* kConfirmText = L"将要强制关闭正在运行的 CorelDRAW！\r\n"
                                        L"请保存您的工作并退出 CorelDRAW，以免造成损失。";
constexpr const wchar_t* kInitializingCaption = L"正在初始化，请稍候...";
constexpr const wchar_t* kCheckingCaption = L"正在检查 CorelDRAW X3...";
constexpr const wchar_t* kInstallingCaption = L"正在安装，请稍候...";
constexpr const wchar_t* kFinishedCaption = L"安装过程结束！";
constexpr const wchar_t* kSuccessText = L"安装成功！";
constexpr const wchar_t* kNoHostText = L"本程序只能在安装有 CorelDRAW X3 的系统中使用。";
constexpr const wchar_t* kUnexpectedPrefix = L"发生意外错误，";
constexpr const wchar_t* kHostName = L"CorelDRAW X3";

// An abort report; the item procedures return one to end the run.
struct Report {
    bool badFolder = false; // else a missing file
    std::wstring path;
};
using Abort = std::optional<Report>;

Report MissingFile(const std::wstring& path) {
    return Report{false, path};
}
Report BadFolder(const std::wstring& path) {
    return Report{true, path};
}

void AppendSeparator(std::wstring& folder) {
    if (folder.back() != L'\\') {
        folder.push_back(L'\\');
    }
}

class Walk {
  public:
    Walk(Host& host, FileSystemOps& files, RunObserver& observer)
        : host_(host), files_(files), observer_(observer) {}

    Abort Import(const FileItem& item, const std::wstring& sourcePath) {
        if (!files_.FileExists(sourcePath)) {
            return Fault(item, sourcePath, SkipReason::SourceMissing, MissingFile(sourcePath));
        }
        host_.ImportWorkspace(sourcePath);
        observer_.Imported(sourcePath);
        return std::nullopt;
    }

    Abort Copy(const FileItem& item, const std::wstring& sourcePath) {
        Resolve(item);
        if (!files_.FileExists(sourcePath)) {
            return Fault(item, sourcePath, SkipReason::SourceMissing, MissingFile(sourcePath));
        }
        if (DestFolder.empty()) {
            return Fault(item, sourcePath, SkipReason::NoFolder, BadFolder(DestFolder));
        }
        AppendSeparator(DestFolder);
        files_.CopyFileInto(sourcePath, DestFolder);
        observer_.Copied(sourcePath, DestFolder + FileName(sourcePath));
        return std::nullopt;
    }

    Abort Delete(const FileItem& item) {
        Resolve(item);
        if (DestFolder.empty()) {
            return Fault(item, item.SourceName, SkipReason::NoFolder, BadFolder(DestFolder));
        }
        AppendSeparator(DestFolder);
        // The file's path is its own: the folder carried to the next item stays a folder.
        const std::wstring target = DestFolder + item.SourceName;
        if (!files_.FileExists(target)) {
            // Names what is missing: the file in the host's folder.
            return Fault(item, target, SkipReason::NotThere, MissingFile(target));
        }
        files_.RemoveFile(target);
        observer_.Deleted(target);
        return std::nullopt;
    }

    // Not cleared between items: an item whose target resolves to nothing works in the
    // previous item's folder.
    std::wstring DestFolder;

  private:
    // An unknown key asks the host for nothing and keeps the previous item's folder.
    void Resolve(const FileItem& item) {
        if (FolderUseOf(item) != ItemFolderUse::Resolves) {
            return;
        }
        if (auto folder = host_.ResolveFolder(item.Target)) {
            observer_.FolderReturned(item.Target, *folder);
            DestFolder = std::move(*folder);
        }
    }

    // A fault ends a required item's run with its report; an optional item is skipped silently.
    Abort Fault(const FileItem& item, const std::wstring& path, SkipReason reason, Report report) {
        if (IsRequired(item)) {
            return report;
        }
        observer_.Skipped(item, path, reason);
        return std::nullopt;
    }

    // The name a copy keeps: what follows the last separator.
    static std::wstring FileName(const std::wstring& path) {
        return path.substr(path.find_last_of(L"\\/") + 1);
    }

    Host& host_;
    FileSystemOps& files_;
    RunObserver& observer_;
};

} // namespace

ItemFolderUse FolderUseOf(const FileItem& item) {
    const bool copy = item.Action == kActionCopy;
    if (!copy && item.Action != kActionDelete) {
        return ItemFolderUse::None;
    }
    if (copy && item.Target == kTargetImportWorkspace) {
        return ItemFolderUse::Import;
    }
    return FolderForKey(item.Target) ? ItemFolderUse::Resolves : ItemFolderUse::CarriesOver;
}

int ExitCodeFor(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Cancelled:
        return exit_code::kCancelled;
    case RunOutcome::Succeeded:
        return exit_code::kSuccess;
    case RunOutcome::MissingFile:
        return exit_code::kMissingFile;
    case RunOutcome::BadFolder:
        return exit_code::kMissingFolder;
    case RunOutcome::HostNotInstalled:
        return exit_code::kHostNotInstalled;
    case RunOutcome::Failed:
        break;
    }
    return exit_code::kOtherError;
}

RunOutcome RunInstallation(const SharedState& state, RunMembers members,
                           const RunServices& services) {
    RunWindow& window = services.window;
    RunObserver unobserved;
    RunObserver& observer = services.observer != nullptr ? *services.observer : unobserved;
    const bool confirmed = window.Confirm(kConfirmText);
    observer.Confirmed(kConfirmText, confirmed);
    if (!confirmed) {
        return RunOutcome::Cancelled;
    }
    window.DisableButton();
    window.SetCaption(kInitializingCaption);

    std::int32_t number = 0;
    std::wstring description;
    try {
        services.closer.StartClosingHost();
        window.PauseWithEvents(kHostClosePause);

        window.SetCaption(kCheckingCaption);
        members.HostApp = services.createHost();
        members.HostApp->Open();
        observer.HostOpened(kHostName);
        members.HostApp->SetInvisible();
        members.FileSystem = services.createFileSystem();

        Walk walk(*members.HostApp, *members.FileSystem, observer);
        const FileItemTable noItems;
        const FileItemTable& items = state.FileItems ? *state.FileItems : noItems;
        for (std::size_t row = 0; row < items.size(); ++row) {
            const FileItem& item = items[row];
            if (services.onItem) {
                services.onItem(row, walk.DestFolder);
            }
            window.SetCaption(item.StepCaption.empty() ? kInstallingCaption : item.StepCaption);
            const std::wstring sourcePath = state.AppFolder + item.SourceName;
            Abort abort;
            if (FolderUseOf(item) == ItemFolderUse::Import) {
                abort = walk.Import(item, sourcePath);
            } else if (item.Action == kActionCopy) {
                abort = walk.Copy(item, sourcePath);
            } else if (item.Action == kActionDelete) {
                abort = walk.Delete(item);
            } else {
                observer.Skipped(item, sourcePath, SkipReason::NoAction);
            }
            if (abort && abort->badFolder) {
                observer.Ended(RunOutcome::BadFolder, BadFolderReport(abort->path));
                window.ReportBadFolder(abort->path);
                return RunOutcome::BadFolder;
            }
            if (abort) {
                observer.Ended(RunOutcome::MissingFile, MissingFileReport(abort->path));
                window.ReportMissingFile(abort->path);
                return RunOutcome::MissingFile;
            }
        }

        members.HostApp->SetInvisible();
        window.SetCaption(kFinishedCaption);
    } catch (...) {
        // Nothing may end the run without a word.
        const Error e = CurrentExceptionAsError();
        number = e.number();
        description = e.description();
    }

    if (number == 0) {
        observer.Ended(RunOutcome::Succeeded, kSuccessText);
        window.ShowMessage(kSuccessText, MessageKind::Information);
        return RunOutcome::Succeeded;
    }
    if (number == kErrCantCreateObject) {
        observer.Ended(RunOutcome::HostNotInstalled, kNoHostText);
        window.ShowMessage(kNoHostText, MessageKind::Error);
        return RunOutcome::HostNotInstalled;
    }
    const std::wstring text = kUnexpectedPrefix + description;
    observer.Ended(RunOutcome::Failed, text);
    window.ShowMessage(text, MessageKind::Error);
    return RunOutcome::Failed;
}

} // namespace tamrick
