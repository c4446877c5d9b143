#include "log/log.h"
#include "recording_sink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using tamrick::FormatLogLine;
using tamrick::LogTime;
using tamrick::ProgramLog;

namespace {

std::wstring Line(std::vector<std::wstring_view> fields) {
    return FormatLogLine(LogTime{2026, 3, 7, 9, 5, 4, 12}, fields);
}

} // namespace

TEST(LogLine, StartsWithTheLocalTimeThenTabSeparatedFields) {
    EXPECT_EQ(
        Line({L"installer", L"copy", L"C:\\Add-on\\a.gms", L"C:\\Corel\\GMS\\a.gms"}),
        L"2026-03-07 09:05:04.012\tinstaller\tcopy\tC:\\Add-on\\a.gms\tC:\\Corel\\GMS\\a.gms");
    EXPECT_EQ(FormatLogLine(LogTime{1999, 12, 31, 23, 59, 59, 999}, {}),
              L"1999-12-31 23:59:59.999");
    EXPECT_EQ(Line({L"folder", L""}), L"2026-03-07 09:05:04.012\tfolder\t");
}

TEST(LogLine, ControlCharactersInAFieldNeverBreakTheLine) {
    // The reports' texts hold CR LF; a name may hold a tab.
    EXPECT_EQ(
        Line({L"message", L"缺少文件。\r\n请联系作者。", L"a\tb\x01\x7F"}),
        L"2026-03-07 09:05:04.012\tmessage\t缺少文件。\\x0D\\x0A请联系作者。\ta\\x09b\\x01\\x7F");
}

// The run's own records are shown by the run's tests.
TEST(ProgramLog, EveryRecordNamesTheProgramAndItsKind) {
    RecordingSink sink;
    ProgramLog log(&sink, L"installer");
    ProgramLog setup(&sink, L"setup");
    log.Start(L"1.0.0.30", L"C:\\Add-on\\TamrickInstaller.exe", L"/S /LOG=C:\\a.log");
    log.Description(L"C:\\Add-on\\InstInfo.ini", L"utf-8");
    log.Setting(L"SetupTitle", L"Tamrick 工具箱");
    log.Item(1, L"c", L"a.gms", L"1", L"gmspath", L"");
    log.Note(L"the window was closed");
    log.End(0);
    setup.DescriptionMissing(L"C:\\Temp\\x\\InstInfo.ini");
    setup.Unpack(L"C:\\Temp\\TamrickSetup.1a2b3c4d\\", L"protected");
    setup.Run(L"C:\\Temp\\TamrickSetup.1a2b3c4d\\TamrickInstaller.exe", L"/S");
    setup.End(429);
    setup.End(-1073741819); // a crash passed on from the installer: no meaning of ours
    const std::vector<std::wstring> expected = {
        L"installer | start | 1.0.0.30 | C:\\Add-on\\TamrickInstaller.exe | /S /LOG=C:\\a.log",
        L"installer | description | C:\\Add-on\\InstInfo.ini | utf-8",
        L"installer | setting | SetupTitle | Tamrick 工具箱",
        L"installer | item | 1 | c | a.gms | 1 | gmspath | ",
        L"installer | note | the window was closed",
        L"installer | end | 0 | 安装成功",
        L"setup | description | C:\\Temp\\x\\InstInfo.ini | missing",
        L"setup | unpack | C:\\Temp\\TamrickSetup.1a2b3c4d\\ | protected",
        L"setup | run | C:\\Temp\\TamrickSetup.1a2b3c4d\\TamrickInstaller.exe | /S",
        L"setup | end | 429 | 没有安装所需版本的 CorelDRAW",
        L"setup | end | -1073741819 | ",
    };
    EXPECT_EQ(sink.records, expected);
}
