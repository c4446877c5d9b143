#include "run_log.h"

#include "description/host_versions.h"

namespace tamrick {

void RunLog::Confirmed(std::wstring_view text, bool ok) {
    log_.Confirm(text, ok ? L"ok" : L"cancel");
}

void RunLog::HostOpened(int major) {
    log_.Host(L"CorelDRAW " + HostVersionDisplayName(major));
}

void RunLog::FolderReturned(int major, std::wstring_view key, std::wstring_view folder) {
    log_.Folder(HostVersionDisplayName(major), key, folder);
}

void RunLog::Copied(std::wstring_view source, std::wstring_view destination) {
    log_.Copy(source, destination);
}

void RunLog::Imported(std::wstring_view path) {
    log_.Import(path);
}

void RunLog::Deleted(std::wstring_view path) {
    log_.Delete(path);
}

void RunLog::Skipped(const FileItem& item, std::wstring_view path, SkipReason reason) {
    switch (reason) {
    case SkipReason::SourceMissing:
        log_.Skip(path, L"optional, the file is not there");
        return;
    case SkipReason::NoFolder:
        log_.Skip(path, L"optional, no folder for target \"" + item.Target + L"\"");
        return;
    case SkipReason::NotThere:
        log_.Skip(path, L"optional, nothing to delete");
        return;
    case SkipReason::NoAction:
        log_.Skip(path, L"action \"" + item.Action + L"\" does nothing");
        return;
    }
}

void RunLog::Ended(RunOutcome outcome, std::wstring_view text) {
    log_.Message(outcome == RunOutcome::Succeeded ? L"information" : L"error", text);
}

} // namespace tamrick
