#pragma once
// The lines of the log that /LOG=<file> asks for: one record a line, UTF-8, CR LF, appended. A
// line is the local time and then tab-separated fields: the program ("installer" or "setup"),
// what happened, and its details, such as
//   2026-12-06 22:33:13.692<TAB>installer<TAB>copy<TAB>C:\Add-on\a.gms<TAB>C:\Corel\GMS\a.gms
// so that a line can be read by eye, by findstr and by a script alike.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace tamrick {

struct LogTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t millisecond = 0;
};

// One line without its line end: "YYYY-MM-DD hh:mm:ss.mmm", then each field after a tab. A
// control character inside a field (a tab, a line end of a message) is written as \xHH, so that a
// record is always one line; everything else stays as it is, backslashes of paths included.
std::wstring FormatLogLine(const LogTime& time, std::span<const std::wstring_view> fields);

// Where the records go. A sink that can't write drops the record and carries on: the log never
// fails the installation.
class LogSink {
  public:
    virtual ~LogSink() = default;
    virtual void Write(std::span<const std::wstring_view> fields) = 0;
};

// What a program writes to its log, one member a kind of record. Without a sink (no /LOG=) it
// writes nothing.
class ProgramLog {
  public:
    // `program` names the writer in every record: "installer" or "setup".
    ProgramLog(LogSink* sink, std::wstring_view program) : sink_(sink), program_(program) {}

    // The program's version, its own path and its arguments as given.
    void Start(std::wstring_view version, std::wstring_view path, std::wstring_view arguments);
    // The description that was read (its path and encoding), or that is missing.
    void Description(std::wstring_view path, std::wstring_view encoding);
    void DescriptionMissing(std::wstring_view path);
    // A key's value after the defaults ("SetupTitle", "FlagsPicture", ...).
    void Setting(std::wstring_view key, std::wstring_view value);
    // A file item as stored, row numbers from 1.
    void Item(std::size_t row, std::wstring_view action, std::wstring_view source,
              std::wstring_view required, std::wstring_view target, std::wstring_view caption);
    // The host that was opened, by its name (e.g. "CorelDRAW X3").
    void Host(std::wstring_view name);
    // A folder a version of the host (by its name, "X3") returned for a target key, exactly as
    // returned (empty included).
    void Folder(std::wstring_view version, std::wstring_view key, std::wstring_view path);
    void Copy(std::wstring_view source, std::wstring_view destination);
    void Import(std::wstring_view path);
    void Delete(std::wstring_view path);
    // An item that did nothing, with the path concerned and why.
    void Skip(std::wstring_view path, std::wstring_view reason);
    // The confirmation and how it was answered ("ok", "cancel"; "ok" in a silent run).
    void Confirm(std::wstring_view text, std::wstring_view answer);
    // A message with its kind ("information", "warning", "error"), shown or, in a silent run,
    // not shown: its exact text either way.
    void Message(std::wstring_view kind, std::wstring_view text);
    // Anything else worth knowing, in a few words.
    void Note(std::wstring_view text);
    // The setup's folder and whether it was made with its own access list ("protected") or not
    // ("plain").
    void Unpack(std::wstring_view folder, std::wstring_view protection);
    // The program the setup started and the arguments it passed.
    void Run(std::wstring_view path, std::wstring_view arguments);
    // The exit code and what it means.
    // `meaning` in place of the table's, where one code means more than one thing.
    void End(int code, std::wstring_view meaning = {});
    // A change taken back: "remove", "restore", "keep", with its path and why.
    void Undo(std::wstring_view what, std::wstring_view path, std::wstring_view why = {});

  private:
    void Write(std::initializer_list<std::wstring_view> fields);

    LogSink* sink_;
    std::wstring program_;
};

} // namespace tamrick
