#include "base/exit_codes.h"
#include "startup/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using tamrick::ArgumentsOf;
using tamrick::CommandLine;
using tamrick::UsageProblem;

namespace {

CommandLine Parse(std::vector<std::wstring> arguments) {
    return tamrick::ParseCommandLine(arguments);
}

// What a command line asks for: "S" silent, "?" help, "L<path>" a log.
std::wstring Asked(const CommandLine& line) {
    return std::wstring(line.silent ? L"S" : L"") + (line.help ? L"?" : L"") +
           (line.logPath ? L"L" + *line.logPath : L"");
}

} // namespace

TEST(CommandLine, EachLineAsksForWhatItSaysAndNamesItsFirstProblem) {
    const struct {
        std::vector<std::wstring> arguments;
        std::wstring asked;
        UsageProblem problem = UsageProblem::None; // the first one, and its argument
        std::wstring bad = {};
    } kLines[] = {
        {{}, L""},
        {{L"/S"}, L"S"},
        {{L"-s"}, L"S"},
        {{L"/s", L"-S", L"/S"}, L"S"}, // repeated, the same as once
        {{L"/?"}, L"?"},
        {{L"-?", L"/?"}, L"?"},
        {{L"/S", L"/?"}, L"S?"},
        {{L"/LOG=a.log"}, L"La.log"},
        {{L"-lOG=a.log"}, L"La.log"},
        // CommandLineToArgvW has removed the quotes of /LOG="C:\My Logs\a.log".
        {{L"/S", L"/LOG=C:\\My Logs\\安装 a=b.log"}, L"SLC:\\My Logs\\安装 a=b.log"},
        {{L"/log=\\\\server\\%COMPUTERNAME%.log"}, L"L\\\\server\\%COMPUTERNAME%.log"},
        {{L"/LOG=a.log", L"/LOG=b.log"}, L"La.log", UsageProblem::LogGivenTwice, L"/LOG=b.log"},
        // The first problem is named, and silence and the log hold wherever they stand.
        {{L"/X", L"extra", L"/LOG=a.log", L"/S"}, L"SLa.log", UsageProblem::UnknownSwitch, L"/X"},
    };
    for (const auto& line : kLines) {
        const CommandLine parsed = Parse(line.arguments);
        EXPECT_EQ(Asked(parsed), line.asked) << ::testing::PrintToString(line.arguments);
        EXPECT_EQ(parsed.problem, line.problem) << ::testing::PrintToString(line.arguments);
        EXPECT_EQ(parsed.badArgument, line.bad);
    }
    EXPECT_FALSE(Parse({L"/S", L"/LOG=a.log"}).IsUsageError());
    EXPECT_TRUE(Parse({L"/?"}).IsUsageError()) << "help installs nothing";
    EXPECT_TRUE(Parse({L"/S", L"/?"}).IsUsageError());
    EXPECT_TRUE(Parse({L"S"}).IsUsageError());
}

TEST(CommandLine, WhatIsNoSwitchOfOursIsAProblemOfItsKind) {
    const struct {
        UsageProblem problem;
        std::vector<const wchar_t*> arguments;
    } kKinds[] = {
        {UsageProblem::LogWithoutFile, {L"/LOG", L"/LOG=", L"-log=", L"/LOG=  "}},
        {UsageProblem::UnknownSwitch,
         {L"/X", L"/SILENT", L"/S=1", L"/S:", L"-", L"/", L"--S", L"//S", L"/?=", L"/ S",
          L"/LOGFILE=a.log", L"/ｓ"}},
        {UsageProblem::NotASwitch, {L"install", L"S", L"C:\\a.log", L"", L" /S"}},
    };
    for (const auto& kind : kKinds) {
        for (const wchar_t* bad : kind.arguments) {
            const CommandLine line = Parse({bad});
            EXPECT_EQ(line.problem, kind.problem) << ::testing::PrintToString(std::wstring(bad));
            EXPECT_EQ(line.badArgument, bad);
            EXPECT_FALSE(line.silent || line.logPath);
        }
    }
}

TEST(CommandLineArguments, FollowTheProgramNameAndAreKeptExactlyAsTyped) {
    const std::pair<const wchar_t*, const wchar_t*> kLines[] = {
        {L"\"C:\\Add on\\TamrickSetup.exe\" /S /LOG=\"C:\\my logs\\a.log\"",
         L"/S /LOG=\"C:\\my logs\\a.log\""},
        // A quoted name ends at its closing quote, even where no blank follows.
        {L"\"C:\\Add on\\TamrickSetup.exe\"/S", L"/S"},
        // An unclosed quote takes the whole line as the name.
        {L"\"C:\\Add on\\TamrickSetup.exe /S", L""},
        // An unquoted name ends at its first blank; quotes inside it belong to it.
        {L"TamrickSetup.exe\t/S  -log=x ", L"/S  -log=x "},
        {L"C:\\a\"b c\" /S", L"c\" /S"},
        {L"TamrickSetup.exe", L""},
        {L"", L""},
        // Quotes, blanks, case and unknown switches go on unchanged.
        {L"\"setup.exe\" /s   /Log=\"C:\\My Logs\\\\\" \"\" /X=\"a b\"",
         L"/s   /Log=\"C:\\My Logs\\\\\" \"\" /X=\"a b\""},
    };
    for (const auto& [line, arguments] : kLines) {
        EXPECT_EQ(ArgumentsOf(line), arguments) << ::testing::PrintToString(std::wstring(line));
    }
}

TEST(Usage, NamesTheProblemThenListsSwitchesAndEveryExitCode) {
    const std::wstring text = tamrick::UsageText(Parse({L"/Silent"}));
    EXPECT_EQ(text.rfind(L"无法识别的开关：/Silent\r\n\r\n用法：", 0), 0u)
        << "starts with the problem";
    for (const std::wstring part : {L"\r\n/S：", L"\r\n/LOG=文件：", L"\r\n/?："}) {
        EXPECT_NE(text.find(part), std::wstring::npos) << std::string(part.begin(), part.end());
    }
    for (const auto& meaning : tamrick::exit_code::kMeanings) {
        EXPECT_NE(text.find(L"\r\n" + std::to_wstring(meaning.code) + L"\t" + meaning.text),
                  std::wstring::npos)
            << meaning.code;
    }
    EXPECT_NE(text.substr(text.size() - 2), L"\r\n");
    // Help alone names no problem, each other problem its own words.
    EXPECT_EQ(tamrick::UsageText(Parse({L"/?"})).rfind(L"用法：", 0), 0u);
    EXPECT_EQ(tamrick::UsageText(Parse({L""})).rfind(L"无法识别的参数：\"\"\r\n", 0), 0u);
    EXPECT_EQ(tamrick::UsageText(Parse({L"/LOG="})).rfind(L"缺少日志文件的路径：/LOG=\r\n", 0), 0u);
}
