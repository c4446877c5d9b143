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

} // namespace

TEST(CommandLine, NoArgumentsAsksForNothing) {
    const CommandLine line = Parse({});
    EXPECT_FALSE(line.silent);
    EXPECT_FALSE(line.help);
    EXPECT_FALSE(line.logPath);
    EXPECT_FALSE(line.IsUsageError());
}

TEST(CommandLine, SwitchesInAnyCaseWithSlashOrDash) {
    for (const std::wstring s : {L"/S", L"/s", L"-S", L"-s"}) {
        const CommandLine line = Parse({s});
        EXPECT_TRUE(line.silent) << std::string(s.begin(), s.end());
        EXPECT_FALSE(line.IsUsageError());
    }
    for (const std::wstring log : {L"/LOG=a.log", L"/log=a.log", L"-Log=a.log", L"-lOG=a.log"}) {
        const CommandLine line = Parse({log});
        ASSERT_TRUE(line.logPath);
        EXPECT_EQ(*line.logPath, L"a.log");
        EXPECT_FALSE(line.IsUsageError());
    }
    EXPECT_TRUE(Parse({L"/?"}).help);
    EXPECT_TRUE(Parse({L"-?"}).help);
}

TEST(CommandLine, ALogPathKeepsItsSpacesEqualsSignsAndCase) {
    // CommandLineToArgvW has removed the quotes of /LOG="C:\my logs\a.log".
    const CommandLine line = Parse({L"/S", L"/LOG=C:\\My Logs\\安装 a=b.log"});
    EXPECT_TRUE(line.silent);
    ASSERT_TRUE(line.logPath);
    EXPECT_EQ(*line.logPath, L"C:\\My Logs\\安装 a=b.log");
    EXPECT_EQ(*Parse({L"/LOG=\\\\server\\logs\\%COMPUTERNAME%.log"}).logPath,
              L"\\\\server\\logs\\%COMPUTERNAME%.log");
}

TEST(CommandLine, ALogSwitchWithoutAFileIsAUsageError) {
    for (const std::wstring bad : {L"/LOG", L"/LOG=", L"-log=", L"/LOG=  "}) {
        const CommandLine line = Parse({bad});
        EXPECT_EQ(line.problem, UsageProblem::LogWithoutFile)
            << std::string(bad.begin(), bad.end());
        EXPECT_EQ(line.badArgument, bad);
        EXPECT_FALSE(line.logPath);
        EXPECT_TRUE(line.IsUsageError());
    }
}

TEST(CommandLine, ASecondLogIsAUsageErrorAndTheFirstStays) {
    const CommandLine line = Parse({L"/LOG=a.log", L"/LOG=b.log"});
    EXPECT_EQ(line.problem, UsageProblem::LogGivenTwice);
    EXPECT_EQ(line.badArgument, L"/LOG=b.log");
    ASSERT_TRUE(line.logPath);
    EXPECT_EQ(*line.logPath, L"a.log");
}

TEST(CommandLine, RepeatedSilentOrHelpMeansTheSameAsOnce) {
    const CommandLine line = Parse({L"/S", L"-s", L"/S"});
    EXPECT_TRUE(line.silent);
    EXPECT_FALSE(line.IsUsageError());
    EXPECT_EQ(Parse({L"/?", L"/?"}).problem, UsageProblem::None);
}

TEST(CommandLine, UnknownSwitchesAreNamed) {
    for (const std::wstring bad : {L"/X", L"/SILENT", L"/S=1", L"/S:", L"-", L"/", L"--S", L"//S",
                                   L"/?=", L"/ S", L"/LOGFILE=a.log", L"/ｓ"}) {
        const CommandLine line = Parse({bad});
        EXPECT_EQ(line.problem, UsageProblem::UnknownSwitch) << std::string(bad.begin(), bad.end());
        EXPECT_EQ(line.badArgument, bad);
        EXPECT_FALSE(line.silent);
        EXPECT_TRUE(line.IsUsageError());
    }
}

TEST(CommandLine, PlainArgumentsAreNoSwitches) {
    for (const std::wstring bad : {L"install", L"S", L"C:\\a.log", L"", L" /S"}) {
        const CommandLine line = Parse({bad});
        EXPECT_EQ(line.problem, UsageProblem::NotASwitch) << std::string(bad.begin(), bad.end());
        EXPECT_EQ(line.badArgument, bad);
    }
}

TEST(CommandLine, TheFirstProblemIsNamedAndSilenceHoldsWhereverItStands) {
    const CommandLine line = Parse({L"/X", L"extra", L"/LOG=a.log", L"/S"});
    EXPECT_EQ(line.problem, UsageProblem::UnknownSwitch);
    EXPECT_EQ(line.badArgument, L"/X");
    EXPECT_TRUE(line.silent) << "a wrong command line with /S must still show nothing";
    ASSERT_TRUE(line.logPath) << "the usage error still goes to the log";
    EXPECT_EQ(*line.logPath, L"a.log");
}

TEST(CommandLine, HelpWithSilentInstallsNothingAndShowsNothing) {
    const CommandLine line = Parse({L"/S", L"/?"});
    EXPECT_TRUE(line.help);
    EXPECT_TRUE(line.silent);
    EXPECT_TRUE(line.IsUsageError());
}

TEST(CommandLineArguments, FollowAQuotedProgramName) {
    EXPECT_EQ(ArgumentsOf(L"\"C:\\Add on\\TamrickSetup.exe\" /S /LOG=\"C:\\my logs\\a.log\""),
              L"/S /LOG=\"C:\\my logs\\a.log\"");
    // The name ends at its closing quote, even where no blank follows.
    EXPECT_EQ(ArgumentsOf(L"\"C:\\Add on\\TamrickSetup.exe\"/S"), L"/S");
    // An unclosed quote takes the whole line as the name.
    EXPECT_EQ(ArgumentsOf(L"\"C:\\Add on\\TamrickSetup.exe /S"), L"");
}

TEST(CommandLineArguments, FollowAnUnquotedProgramNameAtItsFirstBlank) {
    EXPECT_EQ(ArgumentsOf(L"TamrickSetup.exe /S"), L"/S");
    EXPECT_EQ(ArgumentsOf(L"TamrickSetup.exe\t /S  -log=x "), L"/S  -log=x ");
    // Quotes inside an unquoted name belong to it.
    EXPECT_EQ(ArgumentsOf(L"C:\\a\"b c\" /S"), L"c\" /S");
    EXPECT_EQ(ArgumentsOf(L"TamrickSetup.exe"), L"");
    EXPECT_EQ(ArgumentsOf(L""), L"");
}

TEST(CommandLineArguments, AreKeptExactlyAsTyped) {
    // Whatever follows the name goes on unchanged: quotes, blanks, case, unknown switches.
    const std::wstring tail = L"/s   /Log=\"C:\\My Logs\\\\\" \"\" /X=\"a b\"";
    EXPECT_EQ(ArgumentsOf(L"\"setup.exe\" " + tail), tail);
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
}

TEST(Usage, HelpAloneShowsNoProblem) {
    EXPECT_EQ(tamrick::UsageText(Parse({L"/?"})).rfind(L"用法：", 0), 0u);
    EXPECT_EQ(tamrick::UsageText(Parse({L""})).rfind(L"无法识别的参数：\"\"\r\n", 0), 0u);
    EXPECT_EQ(tamrick::UsageText(Parse({L"/LOG="})).rfind(L"缺少日志文件的路径：/LOG=\r\n", 0), 0u);
}
