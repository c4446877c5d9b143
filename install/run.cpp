#include "run.h"

#include "base/error.h"
#include "base/exit_codes.h"
#include "base/path_separator.h"
#include "description/host_versions.h"
#include "install/reports.h"

#include <optional>

namespace tamrick {
namespace {

constexpr const wchar_t* kInitializingCaption = L"正在初始化，请稍候...";
constexpr const wchar_t* kInstallingCaption = L"正在安装，请稍候...";
constexpr const wchar_t* kFinishedCaption = L"安装过程结束！";
constexpr const wchar_t* kSuccessText = L"安装成功！";
constexpr const wchar_t* kUnexpectedPrefix = L"发生意外错误，";

// The texts that name versions of CorelDRAW; for X3 alone they are the texts of old.
std::wstring CheckingCaption(int major) {
    return L"正在检查 CorelDRAW " + HostVersionDisplayName(major) + L"...";
}
// The lines added to the confirmation and to the success message when the description names
// versions.
std::wstring VersionsToInstallLine(std::span<const int> majors) {
    return L"将安装到 CorelDRAW " + HostVersionsPhrase(majors) + L"。";
}
std::wstring VersionsInstalledLine(std::span<const int> majors) {
    return L"已安装到 CorelDRAW " + HostVersionsPhrase(majors) + L"。";
}

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

class Walk {
  public:
    Walk(Host& host, FileSystemOps& files, RunObserver& observer, RunRecord* record, int major)
        : host_(host), files_(files), observer_(observer), record_(record), major_(major) {}

    Abort Import(const FileItem& item, const std::wstring& sourcePath) {
        if (!files_.FileExists(sourcePath)) {
            return Fault(item, sourcePath, SkipReason::SourceMissing, MissingFile(sourcePath));
        }
        if (record_ != nullptr) {
            record_->Importing(sourcePath);
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
        EnsureTrailingSeparator(DestFolder, L'\\');
        files_.CopyFileInto(sourcePath, DestFolder);
        observer_.Copied(sourcePath, DestFolder + FileName(sourcePath));
        return std::nullopt;
    }

    Abort Delete(const FileItem& item) {
        Resolve(item);
        if (DestFolder.empty()) {
            return Fault(item, item.SourceName, SkipReason::NoFolder, BadFolder(DestFolder));
        }
        EnsureTrailingSeparator(DestFolder, L'\\');
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
            observer_.FolderReturned(major_, item.Target, *folder);
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
    RunRecord* record_;
    int major_;
};

} // namespace

Ending EndingOf(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Cancelled:
        return Ending::Cancelled;
    case RunOutcome::Succeeded:
        return Ending::Succeeded;
    case RunOutcome::MissingFile:
        return Ending::MissingFile;
    case RunOutcome::BadFolder:
        return Ending::BadFolder;
    case RunOutcome::HostNotInstalled:
        return Ending::HostNotInstalled;
    case RunOutcome::Failed:
        break;
    }
    return Ending::Failed;
}

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

namespace {

// One installation: the versions it works on, and the walk of the items in each.
class Installation {
  public:
    Installation(const SharedState& state, RunMembers members, const RunServices& services)
        : state_(state), members_(members), services_(services), window_(services.window),
          observer_(services.observer != nullptr ? *services.observer : unobserved_) {}

    RunOutcome Run() {
        // Versions named: find which are installed before anything is asked or closed.
        const bool named = !state_.HostVersions.empty();
        if (named) {
            std::optional<Error> failure;
            try {
                versions_ = services_.findInstalledHosts(state_.HostVersions);
            } catch (...) {
                failure = CurrentExceptionAsError();
            }
            if (failure) {
                return End(*failure);
            }
            if (versions_.empty()) {
                return Ending(RunOutcome::HostNotInstalled, NoHostMessage(state_.HostVersions));
            }
        }
        const std::wstring confirmText =
            named ? kHostCloseWarning + (L"\r\n" + VersionsToInstallLine(versions_))
                  : kHostCloseWarning;
        const bool confirmed = window_.Confirm(confirmText);
        observer_.Confirmed(confirmText, confirmed);
        if (!confirmed) {
            return RunOutcome::Cancelled;
        }
        window_.DisableButton();
        window_.SetCaption(kInitializingCaption);

        std::optional<Error> failure;
        try {
            services_.closer.StartClosingHost();
            window_.PauseWithEvents(kHostClosePause);
            for (std::size_t i = 0; i < versions_.size(); ++i) {
                if (i > 0) {
                    // The previous version's object goes before the next one is created.
                    members_.HostApp->Release();
                    members_.HostApp.reset();
                }
                current_ = versions_[i];
                if (const Abort abort = InstallInto(current_)) {
                    return EndWithReport(*abort);
                }
            }
            if (services_.record != nullptr) {
                services_.record->Commit();
            }
            window_.SetCaption(kFinishedCaption);
        } catch (...) {
            // Nothing may end the run without a word.
            failure = CurrentExceptionAsError();
        }
        if (failure) {
            return End(*failure);
        }
        return Ending(RunOutcome::Succeeded,
                      named ? kSuccessText + (L"\r\n" + VersionsInstalledLine(versions_))
                            : std::wstring(kSuccessText));
    }

  private:
    // One version: its object opened and hidden, every item with DestFolder starting empty, the
    // object hidden again. An abort report ends the installation there.
    Abort InstallInto(int major) {
        observer_.VersionStarting(major);
        if (services_.record != nullptr) {
            services_.record->VersionStarting(major);
        }
        window_.SetCaption(CheckingCaption(major));
        members_.HostApp = services_.createHost(major);
        members_.HostApp->Open();
        observer_.HostOpened(major);
        members_.HostApp->SetInvisible();
        if (!members_.FileSystem) {
            members_.FileSystem = services_.createFileSystem();
            if (services_.record != nullptr) {
                members_.FileSystem = services_.record->Recording(std::move(members_.FileSystem));
            }
        }

        Walk walk(*members_.HostApp, *members_.FileSystem, observer_, services_.record, major);
        // Where more than one version gets the add-on, the captions say which one is at work.
        const std::wstring captionSuffix =
            versions_.size() > 1 ? L"（" + HostVersionDisplayName(major) + L"）" : L"";
        const FileItemTable noItems;
        const FileItemTable& items = state_.FileItems ? *state_.FileItems : noItems;
        for (std::size_t row = 0; row < items.size(); ++row) {
            const FileItem& item = items[row];
            observer_.ItemStarting(row, walk.DestFolder);
            window_.SetCaption(
                (item.StepCaption.empty() ? std::wstring(kInstallingCaption) : item.StepCaption) +
                captionSuffix);
            const std::wstring sourcePath = state_.AppFolder + item.SourceName;
            Abort abort;
            if (FolderUseOf(item) == ItemFolderUse::Import) {
                abort = walk.Import(item, sourcePath);
            } else if (item.Action == kActionCopy) {
                abort = walk.Copy(item, sourcePath);
            } else if (item.Action == kActionDelete) {
                abort = walk.Delete(item);
            } else {
                observer_.Skipped(item, sourcePath, SkipReason::NoAction);
            }
            if (abort) {
                return abort;
            }
        }
        members_.HostApp->SetInvisible();
        observer_.VersionFinished(major);
        return std::nullopt;
    }

    // An abort report, which ends the installation: told to the observer before the window
    // shows it (the window ends the program there).
    RunOutcome EndWithReport(const Report& abort) {
        if (services_.record != nullptr) {
            // The window ends the program in its reports: the record is undone first and its
            // line added, so the same text comes in a message box of the same kind.
            return abort.badFolder
                       ? Ending(RunOutcome::BadFolder, BadFolderReport(abort.path, current_))
                       : Ending(RunOutcome::MissingFile, MissingFileReport(abort.path));
        }
        if (abort.badFolder) {
            observer_.Ended(RunOutcome::BadFolder, BadFolderReport(abort.path, current_));
            window_.ReportBadFolder(abort.path, current_);
            return RunOutcome::BadFolder;
        }
        observer_.Ended(RunOutcome::MissingFile, MissingFileReport(abort.path));
        window_.ReportMissingFile(abort.path);
        return RunOutcome::MissingFile;
    }

    // The message of a failure, which ends the installation.
    RunOutcome End(const Error& failure) {
        if (failure.number() == kErrCantCreateObject) {
            return Ending(RunOutcome::HostNotInstalled,
                          NoHostMessage(std::span<const int>(&current_, 1)));
        }
        return Ending(RunOutcome::Failed, kUnexpectedPrefix + failure.description());
    }

    // The message that ends the run, told to the observer first: its exact text. A failed run
    // with a record is undone before its message, which then says so.
    RunOutcome Ending(RunOutcome outcome, const std::wstring& message) {
        const bool succeeded = outcome == RunOutcome::Succeeded;
        std::wstring text = message;
        if (!succeeded && services_.record != nullptr) {
            text += L"\r\n";
            text += services_.record->Undo() ? kChangesUndoneLine : kChangesNotUndoneLine;
        }
        observer_.Ended(outcome, text);
        window_.ShowMessage(text, succeeded ? MessageKind::Information : MessageKind::Error);
        return outcome;
    }

    const SharedState& state_;
    RunMembers members_;
    const RunServices& services_;
    RunWindow& window_;
    RunObserver unobserved_;
    RunObserver& observer_;
    // Without versions named, X3 alone.
    std::vector<int> versions_{kX3Major};
    int current_ = kX3Major; // the version being worked on
};

} // namespace

RunOutcome RunInstallation(const SharedState& state, RunMembers members,
                           const RunServices& services) {
    return Installation(state, members, services).Run();
}

} // namespace tamrick
