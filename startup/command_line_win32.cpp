#include "command_line.h"

#include "base/exit_codes.h"
#include "base/handles.h"
#include "description/model.h"
#include "log/log.h"

#include <shellapi.h>

namespace tamrick {

int EndWithUsage(const CommandLine& commandLine, ProgramLog& log) {
    const std::wstring text = UsageText(commandLine);
    const bool help = commandLine.problem == UsageProblem::None;
    log.Message(help ? L"information" : L"error", text);
    if (!commandLine.silent) {
        MessageBoxW(nullptr, text.c_str(), kProgramTitle,
                    MB_OK | static_cast<UINT>(help ? MB_ICONINFORMATION : MB_ICONERROR));
    }
    return exit_code::kUsage;
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
