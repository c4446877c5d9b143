#include "journal.h"

#include "base/error.h"
#include "base/path_separator.h"
#include "base/text_case.h"

#include <algorithm>

namespace tamrick {
namespace {

// What Windows says of a file that isn't there.
constexpr const wchar_t* kFileNotFoundText = L"系统找不到指定的文件。";
constexpr const wchar_t* kDamagedRecordText = L"安装记录已损坏：";

std::string HashOrThrow(RecordStore& store, const std::wstring& path) {
    std::optional<std::string> hash = store.HashOf(path);
    if (!hash) {
        throw Error(kErrFileNotFound, kFileNotFoundText);
    }
    return std::move(*hash);
}

UndoResult UndoWrite(const Change& change, RecordStore& store) {
    const std::string& ours = change.written.empty() ? change.intended : change.written;
    const std::optional<std::string> now = store.HashOf(change.path);
    const std::optional<std::string> before =
        change.backup ? store.BackupHash(change.id) : std::nullopt;
    if (!now) {
        // Gone since (or never written): what was there before comes back.
        if (before) {
            store.RestoreBackup(change.id, change.path);
            return UndoResult::Restored;
        }
        return UndoResult::Nothing;
    }
    if (*now == ours) {
        if (before) {
            store.RestoreBackup(change.id, change.path);
            return UndoResult::Restored;
        }
        if (change.backup) {
            // Its backup went back before, and held what the add-on wrote.
            return UndoResult::Nothing;
        }
        store.RemoveFile(change.path);
        return UndoResult::Removed;
    }
    if (before) {
        store.DropBackup(change.id);
        // The same as before: the copy never happened.
        return *before == *now ? UndoResult::Nothing : UndoResult::KeptChanged;
    }
    // A backup that went back before left the old file; no backup and no written content: the
    // copy never finished, and the file is somebody else's.
    if (change.backup || change.written.empty()) {
        return UndoResult::Nothing;
    }
    return UndoResult::KeptChanged;
}

UndoResult UndoDelete(const Change& change, RecordStore& store) {
    const std::optional<std::string> before = store.BackupHash(change.id);
    if (!before) {
        // Never saved (the record was cut off first), or already back.
        return UndoResult::Nothing;
    }
    if (const std::optional<std::string> now = store.HashOf(change.path)) {
        store.DropBackup(change.id);
        return *now == *before ? UndoResult::Nothing : UndoResult::KeptNewer;
    }
    store.RestoreBackup(change.id, change.path);
    return UndoResult::Restored;
}

// The recorded file operations of a run.
class RecordingFileSystem final : public FileSystemOps {
  public:
    RecordingFileSystem(Journal& journal, std::unique_ptr<FileSystemOps> files)
        : journal_(journal), files_(std::move(files)) {}

    bool FileExists(const std::wstring& path) override { return files_->FileExists(path); }
    void CopyFileInto(const std::wstring& source, const std::wstring& folder) override {
        journal_.Copy(*files_, source, folder);
    }
    void RemoveFile(const std::wstring& path) override { journal_.Remove(*files_, path); }

  private:
    Journal& journal_;
    std::unique_ptr<FileSystemOps> files_;
};

} // namespace

OpenedRecord OpenRecord(RecordStore& store) {
    OpenedRecord opened;
    const std::optional<std::string> bytes = store.ReadRecord();
    if (!bytes) {
        return opened;
    }
    const std::size_t lines = bytes->rfind('\n') + 1; // 0 without any line end
    if (lines < bytes->size()) {
        store.CutRecord(lines);
    }
    if (lines == 0) {
        // Cut off in its first line, before any change could be made: as good as none.
        return opened;
    }
    std::optional<Record> record = ParseRecord(std::string_view(*bytes).substr(0, lines));
    opened.state = record ? RecordState::Read : RecordState::Damaged;
    if (record) {
        opened.record = std::move(*record);
    }
    return opened;
}

UndoResult UndoChange(const Change& change, RecordStore& store) {
    switch (change.kind) {
    case ChangeKind::Write:
        return UndoWrite(change, store);
    case ChangeKind::Delete:
        return UndoDelete(change, store);
    case ChangeKind::Import:
        break;
    }
    return UndoResult::KeptImport;
}

void UndoChanges(Record& record, RecordStore& store, UndoObserver* observer, UndoScope scope,
                 std::uint32_t release) {
    for (auto it = record.changes.rbegin(); it != record.changes.rend(); ++it) {
        const bool inScope =
            scope == UndoScope::Everything ||
            (scope == UndoScope::OneRelease && it->release == release) ||
            (scope == UndoScope::Unfinished && !record.releases[it->release - 1].done);
        if (it->undone || !inScope) {
            continue;
        }
        const UndoResult result = UndoChange(*it, store);
        store.Append(UndoneLine(it->id));
        store.Flush();
        it->undone = true;
        if (observer != nullptr) {
            observer->Undid(*it, result);
        }
    }
}

AddonFacts AddonFactsOf(const SharedState& state, RecordScope scope) {
    return AddonFacts{state.AddonId, state.AddonName, state.AddonVersion, state.Publisher, scope};
}

std::unique_ptr<FileSystemOps> Journal::Recording(std::unique_ptr<FileSystemOps> files) {
    return std::make_unique<RecordingFileSystem>(*this, std::move(files));
}

void Journal::Begin() {
    if (begun_) {
        return;
    }
    begun_ = true;
    OpenedRecord opened = OpenRecord(store_);
    if (opened.state == RecordState::Read) {
        if (!EqualsIgnoringAsciiCase(opened.record.addonId, facts_.id) ||
            opened.record.scope != facts_.scope) {
            opened.state = RecordState::Damaged;
        }
    }
    if (opened.state == RecordState::Damaged) {
        throw Error(kErrInternal, kDamagedRecordText + store_.RecordPath());
    }
    if (opened.state == RecordState::Read) {
        record_ = std::move(opened.record);
        firstInstall_ = record_.LastDone() == nullptr;
        // A run that never ended (a power cut, a kill) is taken back before this one starts.
        UndoChanges(record_, store_, observer_, UndoScope::Unfinished);
    } else {
        firstInstall_ = true;
        record_.scope = facts_.scope;
        record_.addonId = facts_.id;
        store_.Append(HeaderLine(facts_.scope, facts_.id));
        // Beside the record from the start, so that even a run cut off can be removed.
        store_.PlaceUninstaller();
    }
    Release release;
    release.number = static_cast<std::uint32_t>(record_.releases.size() + 1);
    release.version = facts_.version;
    release.name = facts_.name;
    release.publisher = facts_.publisher;
    store_.Append(ReleaseLine(release));
    release_ = release.number;
    record_.releases.push_back(std::move(release));
}

Change& Journal::Add(ChangeKind kind, std::wstring path, bool backup, std::string intended) {
    Begin();
    Change& change = record_.changes.emplace_back();
    change.id = record_.changes.size();
    change.kind = kind;
    change.release = release_;
    change.major = major_;
    change.path = std::move(path);
    change.backup = backup;
    change.intended = std::move(intended);
    store_.Append(ChangeLine(change));
    // On the disk before the change is made.
    store_.Flush();
    return change;
}

void Journal::Copy(FileSystemOps& files, const std::wstring& source, const std::wstring& folder) {
    std::wstring target = folder;
    EnsureTrailingSeparator(target, L'\\');
    target += source.substr(source.find_last_of(L"\\/") + 1);
    const bool there = files.FileExists(target);
    Change& change = Add(ChangeKind::Write, target, there, HashOrThrow(store_, source));
    if (there) {
        store_.SaveBackup(target, change.id);
    }
    files.CopyFileInto(source, folder);
    // A finished copy holds the source's bytes: the content hashed before is what was written.
    // On the disk with the next change, or with the end of the run.
    change.written = change.intended;
    store_.Append(WrittenLine(change.id, change.written));
}

void Journal::Remove(FileSystemOps& files, const std::wstring& path) {
    const std::uint64_t id = Add(ChangeKind::Delete, path, true, {}).id;
    store_.SaveBackup(path, id);
    files.RemoveFile(path);
}

void Journal::Importing(const std::wstring& path) {
    Add(ChangeKind::Import, path, false, {});
}

void Journal::Commit() {
    // A run that changed nothing is still a release: its entry shows its version.
    Begin();
    store_.PlaceUninstaller();
    EntryValues values{facts_.name, facts_.version, facts_.publisher, 0};
    // Each file once, however many releases wrote it: each release asks the host for the same
    // folders, so a file's path is written the same way every time.
    std::vector<const std::wstring*> written;
    for (const Change& change : record_.changes) {
        if (change.kind == ChangeKind::Write && !change.undone) {
            written.push_back(&change.path);
        }
    }
    std::sort(written.begin(), written.end(),
              [](const std::wstring* a, const std::wstring* b) { return *a < *b; });
    for (std::size_t i = 0; i < written.size(); ++i) {
        if ((i == 0 || *written[i] != *written[i - 1]) && store_.FileExists(*written[i])) {
            values.estimatedBytes += store_.SizeOf(*written[i]);
        }
    }
    store_.WriteEntry(values);
    store_.Append(DoneLine(release_));
    store_.Flush();
    record_.releases.back().done = true;
    finished_ = true;
}

bool Journal::Undo() noexcept {
    if (finished_ || !begun_) {
        finished_ = true;
        return true;
    }
    finished_ = true;
    try {
        UndoChanges(record_, store_, observer_, UndoScope::OneRelease, release_);
        const bool allUndone = std::all_of(record_.changes.begin(), record_.changes.end(),
                                           [](const Change& change) { return change.undone; });
        if (firstInstall_ && allUndone) {
            // Nothing of the add-on was there before this run: nothing of it stays.
            store_.RemoveEntry();
            store_.RemoveRecordFolder();
        } else {
            store_.Flush();
        }
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace tamrick
