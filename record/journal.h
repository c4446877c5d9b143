#pragma once
// Recording an installation ahead of its changes, and taking changes back: what a failed run and
// the removal of an add-on share. The disk, the record folder and the Apps & features entry are
// reached through RecordStore: production wires the Win32 one, tests a fake.

#include "install/run.h"
#include "record/record.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamrick {

// What Apps & features shows of an add-on.
struct EntryValues {
    std::wstring displayName;
    std::wstring displayVersion;
    std::wstring publisher;
    std::uint64_t estimatedBytes = 0; // what the add-on's files take
};

// The record folder (the record, the backups, the program's copy), the entry, and the files the
// record names. Every failure throws Error with the system's text.
class RecordStore {
  public:
    virtual ~RecordStore() = default;

    // Where the record is, for messages.
    virtual std::wstring RecordPath() const = 0;
    // The record's bytes; std::nullopt when there is none.
    virtual std::optional<std::string> ReadRecord() = 0;
    // Keeps the record's first `size` bytes, on the disk at once.
    virtual void CutRecord(std::size_t size) = 0;
    // Adds a line (the line end is added) to the record, making the folder and the record first
    // when there is none yet. Held in memory until Flush.
    virtual void Append(std::string_view line) = 0;
    // Every line appended is on the disk when this returns.
    virtual void Flush() = 0;

    // The SHA-256 of a file as lower-case hex; std::nullopt when no file is there.
    virtual std::optional<std::string> HashOf(const std::wstring& path) = 0;
    virtual bool FileExists(const std::wstring& path) = 0;
    virtual std::uint64_t SizeOf(const std::wstring& path) = 0;
    // Deletes a file, read-only ones included.
    virtual void RemoveFile(const std::wstring& path) = 0;

    // Backup <id>: a copy of a file, on the disk before this returns; taken back by moving it to
    // a path (replacing whatever is there), or dropped.
    virtual void SaveBackup(const std::wstring& path, std::uint64_t id) = 0;
    virtual std::optional<std::string> BackupHash(std::uint64_t id) = 0;
    virtual void RestoreBackup(std::uint64_t id, const std::wstring& path) = 0;
    virtual void DropBackup(std::uint64_t id) = 0;

    // Puts this program into the record folder as the add-on's uninstaller.
    virtual void PlaceUninstaller() = 0;
    virtual void WriteEntry(const EntryValues& values) = 0;
    // Nothing is left of the entry, or of the record folder: the backups, the record, the
    // uninstaller (this program, when it is the one running) and the folder itself. Only what
    // the installer made there goes; a folder that holds anything else stays.
    virtual void RemoveEntry() = 0;
    virtual void RemoveRecordFolder() = 0;
};

// The record as the store has it, with a last line cut off as it was written taken off the disk,
// so that what is appended next starts a line of its own.
enum class RecordState { None, Damaged, Read };
struct OpenedRecord {
    RecordState state = RecordState::None;
    Record record;
};
OpenedRecord OpenRecord(RecordStore& store);

// What taking a change back did.
enum class UndoResult {
    Nothing,     // the change had not happened, or was taken back before
    Removed,     // a file the add-on wrote, there was none before
    Restored,    // the file that was there before is back
    KeptChanged, // the add-on's file was changed since: kept as it is
    KeptNewer,   // a deleted file's name is taken by a file there now: that one stays
    KeptImport,  // a workspace import can't be taken back by a file operation
};

// Takes one change back, repeatably: a second call after a first that was cut off anywhere
// finishes the job. It decides by the content that is there now, never by what it expects.
UndoResult UndoChange(const Change& change, RecordStore& store);

// Told about each change taken back, for the log.
class UndoObserver {
  public:
    virtual ~UndoObserver() = default;
    virtual void Undid(const Change& /*change*/, UndoResult /*result*/) {}
};

// Which changes UndoChanges takes back.
enum class UndoScope {
    Everything,
    Unfinished, // those of releases that never got to their end
    OneRelease,
};

// Takes back, newest first, every change in scope not yet undone, marking each undone in the
// record as it goes. Throws Error when a change can't be taken back; what was taken back until
// then stays marked.
void UndoChanges(Record& record, RecordStore& store, UndoObserver* observer, UndoScope scope,
                 std::uint32_t release = 0);

// The facts of the add-on being installed.
struct AddonFacts {
    std::wstring id;
    std::wstring name;
    std::wstring version;
    std::wstring publisher;
    RecordScope scope = RecordScope::Machine;
};
AddonFacts AddonFactsOf(const SharedState& state, RecordScope scope);

// The record of one run of the installer.
class Journal final : public RunRecord {
  public:
    Journal(RecordStore& store, AddonFacts facts, UndoObserver* observer = nullptr)
        : store_(store), facts_(std::move(facts)), observer_(observer) {}

    void VersionStarting(int major) override { major_ = major; }
    std::unique_ptr<FileSystemOps> Recording(std::unique_ptr<FileSystemOps> files) override;
    void Importing(const std::wstring& path) override;
    void Commit() override;
    bool Undo() noexcept override;

    // The recorded file operations.
    void Copy(FileSystemOps& files, const std::wstring& source, const std::wstring& folder);
    void Remove(FileSystemOps& files, const std::wstring& path);

  private:
    // Before the first change: the record as it is (an earlier run that never ended is taken
    // back first), then this run's release line.
    void Begin();
    // Records a change ahead (after Begin) and returns it as the record keeps it.
    Change& Add(ChangeKind kind, std::wstring path, bool backup, std::string intended);

    RecordStore& store_;
    AddonFacts facts_;
    UndoObserver* observer_;
    int major_ = 0;
    bool begun_ = false;
    bool finished_ = false; // committed or undone
    bool firstInstall_ = false;
    Record record_;
    std::uint32_t release_ = 0;
};

} // namespace tamrick
