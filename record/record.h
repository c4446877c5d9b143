#pragma once
// The record of an add-on's installations: UTF-8 text, one entry a line (LF), fields separated by
// tabs, appended and flushed as the changes are made, so that a record cut off at any moment
// still names every change that may have happened. Its first line names the format:
//
//   tamrick-record  1  machine|user  <AddonId>
//   release  <n>  <AddonVersion>  <AddonName>  <Publisher>     a run of the installer begins
//   write    <id>  <major>  <0|1>  <sha256>  <path>            a copy is about to be made; 1: the
//                                                              file that was there is backup <id>
//   written  <id>  <sha256>                                    the copy is made: its content
//   delete   <id>  <major>  <path>                             a file is about to go; backup <id>
//   import   <id>  <major>  <path>                             a workspace is about to be imported
//   undone   <id>                                              the change is taken back
//   done     <n>                                               release n is installed
//
// Change ids count from 1 across the whole record; every change belongs to the release line
// before it. The reader takes the record for untrusted input: anything that is not exactly this
// makes it damaged, except a last line without its line end (a write cut off), which is dropped.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamrick {

inline constexpr int kRecordFormat = 1;

// Where the record, its entry and the files it names belong: the machine (an administrator's
// installation) or one user.
enum class RecordScope { Machine, User };

enum class ChangeKind { Write, Delete, Import };

struct Change {
    std::uint64_t id = 0;
    ChangeKind kind = ChangeKind::Write;
    std::uint32_t release = 0; // the release's number
    int major = 0;             // the version of CorelDRAW the change was made for
    std::wstring path;         // the file in CorelDRAW's folders, or the workspace imported
    bool backup = false;       // a write: a file was there, saved as backup <id>
    std::string intended;      // a write: the SHA-256 of what was about to be written
    std::string written;       // a write: the SHA-256 of the file as written; empty if not known
    bool undone = false;
};

struct Release {
    std::uint32_t number = 0;
    std::wstring version;
    std::wstring name;
    std::wstring publisher;
    bool done = false;
};

struct Record {
    RecordScope scope = RecordScope::Machine;
    std::wstring addonId;
    std::vector<Release> releases;
    std::vector<Change> changes; // in the order they were made

    // The change of that id, or null.
    Change* Find(std::uint64_t id);
    // The last release installed to its end, or null.
    const Release* LastDone() const;
    // The versions that changes not yet undone were made for, ascending.
    std::vector<int> Versions() const;
};

// The lines, without their line end. Text fields lose control characters (a tab would end the
// field), which no path can hold.
std::string HeaderLine(RecordScope scope, std::wstring_view addonId);
std::string ReleaseLine(const Release& release);
std::string ChangeLine(const Change& change);
std::string WrittenLine(std::uint64_t id, std::string_view sha256);
std::string UndoneLine(std::uint64_t id);
std::string DoneLine(std::uint32_t release);

// The record in those bytes; std::nullopt when it is damaged.
std::optional<Record> ParseRecord(std::string_view bytes);

// Whether a path is one the record may name: absolute (a drive or a share), with backslashes,
// no "." or ".." in it and no control character.
bool IsRecordablePath(std::wstring_view path);

} // namespace tamrick
