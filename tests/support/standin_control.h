#pragma once
// The stand-in host as tests use it: installed and registered in a folder of the test prefix,
// configured through its CorelDRW.ini, read through its CorelDRW.log, and ended between cases.

#include "base/text_encoding.h"
#include "driver/driver.h"
#include "tools/standin/standin.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamrick::test {

class StandInControl {
  public:
    // `folder` ends in a backslash; the built stand-in is copied there as CorelDRW.exe.
    explicit StandInControl(std::wstring folder, std::wstring builtStandIn = {});

    const std::wstring& folder() const { return folder_; }
    // The built program that Install copies.
    const std::wstring& built() const { return built_; }
    std::wstring exe() const { return folder_ + L"CorelDRW.exe"; }

    // Copies the stand-in into its folder and registers it; false when either fails.
    bool Install() const;
    // Runs the stand-in with a switch (/RegServer, /UnregServer) and returns its exit code.
    DWORD Run(const std::wstring& arguments) const;
    // Starts it plainly, as a user would: it shows a window and keeps running until killed.
    // Started so it registers nothing, and killing it leaves COM sound.
    driver::Process StartPlainly() const;

    void WriteConfig(std::wstring_view text) const;
    void ClearLog() const;
    // The log's lines as written: "time<TAB>...".
    std::vector<std::wstring> LogLines() const;
    // The calls in the log, each without its time: "what<TAB>access[<TAB>argument]" (a version
    // other than X3 starts with its major: "17<TAB>what<TAB>...").
    std::vector<std::wstring> LoggedCalls() const;

  private:
    std::wstring built_;
    std::wstring folder_;
};

// The host's four folders below `root` (ending in a backslash), one with a Chinese name, and
// the stand-in's config that names them.
struct HostFolders {
    explicit HostFolders(const std::wstring& root);
    std::wstring programs;
    std::wstring gms;
    std::wstring userGms;
    std::wstring userData;
    std::wstring Config() const;
    // Makes the four folders anew, empty.
    void Recreate() const;
};

// The X3 stand-in of this test program, in a temporary folder named after the program.
const StandInControl& StandIn();

// The lines of a log (the stand-in's or the installer's, which share the form): "time<TAB>...".
// A byte-order mark is dropped.
std::vector<std::wstring> LogLinesOf(const std::filesystem::path& log);
// The same lines without their time: "what<TAB>...".
std::vector<std::wstring> LogRecords(const std::filesystem::path& log);

// The records of one kind ("installer<TAB>copy", ...), each without the kind.
std::vector<std::wstring> RecordsOf(const std::vector<std::wstring>& records,
                                    const std::wstring& kind);

// A program run to its end, watched from before its first instruction.
struct Watched {
    std::optional<DWORD> code;
    // Every window it made, described for a test's message, besides COM's hidden helpers: a
    // silent program has none.
    std::vector<std::wstring> windows;
};
// Runs `exe` in `folder`. With `programs`, every process is watched and the windows of the
// programs of those file names count (for a program and what it starts).
Watched RunWatched(const std::wstring& exe, const std::wstring& folder,
                   const std::wstring& arguments, std::chrono::milliseconds timeout,
                   const std::vector<std::wstring>& programs = {});

// A file's bytes; empty when it can't be read.
std::string ReadFile(const std::filesystem::path& path);
// Names of the files and folders in a folder, sorted.
std::vector<std::wstring> FilesIn(const std::filesystem::path& folder);

// A folder of the test's own under the temporary folder ("...\Temp\tamrick-NAME\").
std::wstring TestTempFolder(const std::wstring& name);

// The icon reader, calibrated once for the test program.
const driver::IconReader& Icons();

// The next message box of the process other than `previous` (one that is closing), or nullptr
// when none shows within the timeout.
HWND NextMessageBox(DWORD pid, HWND previous = nullptr,
                    std::chrono::milliseconds timeout = std::chrono::seconds(60));

// Runs a command line to its end; its exit code, or the error that kept it from starting.
DWORD RunToEnd(std::wstring commandLine);
// The same under a token in which Administrators only denies, as Windows runs a standard user's
// programs (and an administrator's unelevated ones); nothing when it can't be run. With `temp`,
// the program's TEMP and TMP name that folder.
std::optional<DWORD> RunWithoutElevation(std::wstring commandLine, const std::wstring& folder,
                                         const std::wstring& temp = {});

// Every running process of that name, opened to wait for it and to end it.
std::vector<tamrick::UniqueHandle> ProcessesNamed(const wchar_t* name);
inline std::vector<tamrick::UniqueHandle> StandInProcesses() {
    return ProcessesNamed(L"CorelDRW.exe");
}

// How many of the log's calls are exactly `call`.
std::size_t CountOf(const std::vector<std::wstring>& calls, const std::wstring& call);

// The visible window of that class, from whichever process shows it; null if none shows in time.
HWND WaitForWindowNamed(const wchar_t* className,
                        std::chrono::milliseconds timeout = std::chrono::seconds(60));

// Asks every stand-in to quit and waits until it has; one that won't is killed. Under Wine a
// killed server's class stays registered and later activations fail, so killing is the last
// resort. False when one had to be killed.
bool QuitStandIns(DWORD patience = 10000);

// Waits for the given processes to end by themselves; false if one keeps running.
bool EndedByThemselves(const std::vector<tamrick::UniqueHandle>& processes, DWORD patience = 30000);

} // namespace tamrick::test
