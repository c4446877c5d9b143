#pragma once
// What an administrator asked of the installer on its command line. Without arguments the
// installer behaves as it always did; every switch is an addition. The arguments arrive split by
// the system (CommandLineToArgvW), their quotes already removed.

#include "base/exit_codes.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tamrick {

class ProgramLog;

enum class UsageProblem {
    None,
    UnknownSwitch,  // "/X", "-", "/S=1": starts like a switch, is none of ours
    NotASwitch,     // a plain argument, an empty one included
    LogWithoutFile, // "/LOG" or "/LOG=" without a file
    LogGivenTwice,  // a second "/LOG=": which file was meant?
};

struct CommandLine {
    bool silent = false;    // /S: no window and no message box of any kind
    bool help = false;      // /?: the switches and exit codes, then the usage exit code
    bool uninstall = false; // /UNINSTALL: remove the add-on of the record beside the program
    std::optional<std::wstring> logPath; // /LOG=<file>: append a log there
    // The first argument that was not understood, as given, and what is wrong with it. The
    // arguments after it are still read, so that /S keeps even a wrong command line silent.
    UsageProblem problem = UsageProblem::None;
    std::wstring badArgument;

    // Nothing gets installed: the usage box (unless silent) and the usage exit code.
    bool IsUsageError() const { return help || problem != UsageProblem::None; }
};

// Switches start with "/" or "-" and are matched in any case: /S, /?, /LOG=<file>, /UNINSTALL. A
// switch given twice means the same as once, except /LOG=.
CommandLine ParseCommandLine(std::span<const std::wstring> arguments);

// The raw command line without the program's name and the blanks after it, as CommandLineToArgvW
// splits them off: a name that starts with a quote runs to the next quote, any other to the
// first blank. The setup hands this to the installer unchanged.
std::wstring_view ArgumentsOf(std::wstring_view commandLine);

// The text of the usage box: what was wrong (when something was), the switches and the exit
// codes.
std::wstring UsageText(const CommandLine& commandLine);

#ifdef _WIN32
// A message of the program's own, outside its window: always in the log with its kind
// ("information" or "error"), and in a message box of that kind unless the run is silent.
void TellUser(ProgramLog& log, bool silent, std::wstring_view kind, const std::wstring& text);
// The end of a program whose command line is a usage error (or /?): the usage box unless
// silent, the same text in the log; its way out.
Ending EndWithUsage(const CommandLine& commandLine, ProgramLog& log);
// This program's arguments, split by CommandLineToArgvW, without its name.
std::vector<std::wstring> ProgramArguments();
// This program's raw command line after its name.
std::wstring_view RawArguments();
#endif

} // namespace tamrick
