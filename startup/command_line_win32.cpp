#include "command_line.h"

#include "base/handles.h"
#include "description/model.h"
#include "log/log.h"

#include <shellapi.h>

namespace tamrick {

void TellUser(ProgramLog& log, bool silent, std::wstring_view kind, const std::wstring& text) {
    log.Message(kind, text);
    if (!silent) {
        const UINT icon = kind == L"error" ? MB_ICONERROR : MB_ICONINFORMATION;
        MessageBoxW(nullptr, text.c_str(), kProgramTitle, MB_OK | icon);
    }
}

Ending EndWithUsage(const CommandLine& commandLine, ProgramLog& log) {
    const bool help = commandLine.problem == UsageProblem::None;
    TellUser(log, commandLine.silent, help ? L"information" : L"error", UsageText(commandLine));
    return Ending::Usage;
}

std::vector<std::wstring> ProgramArguments() {
    int count = 0;
    const UniqueLocal<LPWSTR*> split{CommandLineToArgvW(GetCommandLineW(), &count)};
    std::vector<std::wstring> arguments;
    for (int i = 1; split && i < count; ++i) {
        arguments.emplace_back(split.get()[i]);
    }
    return arguments;
}

std::wstring_view RawArguments() {
    return ArgumentsOf(GetCommandLineW());
}

} // namespace tamrick
