#include "command_line.h"

#include "base/decimal.h"
#include "base/exit_codes.h"
#include "base/text_case.h"

#include <algorithm>

namespace tamrick {
namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

bool IsBlankText(std::wstring_view text) {
    return std::all_of(text.begin(), text.end(), IsBlank);
}

void Complain(CommandLine& line, UsageProblem problem, const std::wstring& argument) {
    if (line.problem == UsageProblem::None) {
        line.problem = problem;
        line.badArgument = argument;
    }
}

const wchar_t* ProblemText(UsageProblem problem) {
    switch (problem) {
    case UsageProblem::UnknownSwitch:
        return L"无法识别的开关：";
    case UsageProblem::NotASwitch:
        return L"无法识别的参数：";
    case UsageProblem::LogWithoutFile:
        return L"缺少日志文件的路径：";
    case UsageProblem::LogGivenTwice:
        return L"日志文件只能指定一个：";
    case UsageProblem::None:
        break;
    }
    return L"";
}

std::wstring Shown(const std::wstring& argument) {
    return argument.empty() ? L"\"\"" : argument;
}

} // namespace

CommandLine ParseCommandLine(std::span<const std::wstring> arguments) {
    CommandLine line;
    for (const std::wstring& argument : arguments) {
        if (argument.empty() || (argument[0] != L'/' && argument[0] != L'-')) {
            Complain(line, UsageProblem::NotASwitch, argument);
            continue;
        }
        const std::wstring_view body = std::wstring_view(argument).substr(1);
        const std::size_t equals = body.find(L'=');
        const std::wstring_view name = body.substr(0, equals);
        if (EqualsIgnoringAsciiCase(name, L"LOG")) {
            const std::wstring_view path =
                equals == std::wstring_view::npos ? std::wstring_view() : body.substr(equals + 1);
            if (IsBlankText(path)) {
                Complain(line, UsageProblem::LogWithoutFile, argument);
            } else if (line.logPath) {
                Complain(line, UsageProblem::LogGivenTwice, argument);
            } else {
                line.logPath = std::wstring(path);
            }
        } else if (equals == std::wstring_view::npos && EqualsIgnoringAsciiCase(name, L"S")) {
            line.silent = true;
        } else if (equals == std::wstring_view::npos &&
                   EqualsIgnoringAsciiCase(name, L"UNINSTALL")) {
            line.uninstall = true;
        } else if (equals == std::wstring_view::npos && name == L"?") {
            line.help = true;
        } else {
            Complain(line, UsageProblem::UnknownSwitch, argument);
        }
    }
    return line;
}

std::wstring_view ArgumentsOf(std::wstring_view commandLine) {
    std::size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        const std::size_t close = commandLine.find(L'"', 1);
        at = close == std::wstring_view::npos ? commandLine.size() : close + 1;
    } else {
        while (at < commandLine.size() && !IsBlank(commandLine[at])) {
            ++at;
        }
    }
    while (at < commandLine.size() && IsBlank(commandLine[at])) {
        ++at;
    }
    return commandLine.substr(at);
}

std::wstring UsageText(const CommandLine& commandLine) {
    std::wstring text;
    if (commandLine.problem != UsageProblem::None) {
        text = std::wstring(ProblemText(commandLine.problem)) + Shown(commandLine.badArgument) +
               L"\r\n\r\n";
    }
    text += L"用法：[/S] [/LOG=文件] [/UNINSTALL]\r\n"
            L"/S：静默安装，不显示任何窗口和消息\r\n"
            L"/LOG=文件：把安装的每一步追加记录到该文件(UTF-8)\r\n"
            L"/UNINSTALL：卸载插件（由插件安装记录文件夹中的卸载程序执行）\r\n"
            L"/?：显示本说明，不安装\r\n"
            L"开关不区分大小写，“/”也可写作“-”；路径含空格时请加引号。\r\n"
            L"安装包接受同样的开关，并原样交给安装程序。\r\n\r\n"
            L"退出代码：\r\n";
    for (const exit_code::Meaning& meaning : exit_code::kMeanings) {
        text += DecimalText(meaning.code) + L"\t" + meaning.text + L"\r\n";
    }
    text.resize(text.size() - 2); // no line end after the last line
    return text;
}

} // namespace tamrick
