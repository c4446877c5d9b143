// The installer as an administrator runs it: the real installer under Wine with /S, /LOG= and
// wrong switches, against the stand-in host. What a silent run lands and shows (nothing, watched
// from before its first instruction), its exit code, and its log; start-up without a
// description and a second start. Which outcome gives which code is pinned over fakes.

#include "tests/run/run_fixture.h"

#include <algorithm>
#include <string>
#include <vector>

namespace fs = std::filesystem;
namespace drv = tamrick::driver;
using tamrick::ToUtf8;
using namespace tamrick::test;
using namespace std::chrono_literals;

namespace {

const std::wstring kUsageStart = L"用法：[/S] [/LOG=文件]";
const std::wstring kMissingDescription = L"缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。";

using CommandLineE2E = RunE2E;

} // namespace

TEST_F(CommandLineE2E, ASilentRunIntoTheNamedVersionsShowsNothingLandsEveryItemAndLogsEachStep) {
    const Version& x7 = Install(17);
    Description("SetupTitle=Tamrick 工具箱\r\n"
                "HostVersions=X3, X7\r\n"
                "FileItem=c|宏工具.gms|1|GMSPath|正在安装宏工程...\r\n"
                "FileItem=c|Workspace.xml|1|ImportWorkspace|\r\n"
                "FileItem=k|Old.gms|0|UserGMSPath|\r\n"
                "FileItem=c|Missing.gms|0|UserDataPath|\r\n");
    AddOnFile(L"宏工具.gms", "new macros");
    AddOnFile(L"Workspace.xml", "<workspace/>");
    // Only X3 has the old file.
    drv::WriteFileBytes(folders_.userGms + L"Old.gms", "old");
    // A CorelDRAW that the user left running is closed all the same.
    const drv::Process running = StandIn().StartPlainly();
    ASSERT_TRUE(running.running());

    const Watched run = RunWatched(L"/S " + LogSwitch());
    EXPECT_EQ(run.code, std::optional<DWORD>(0));
    EXPECT_EQ(run.windows, std::vector<std::wstring>{}) << "a silent run made windows";
    EXPECT_FALSE(running.running()) << "the running CorelDRAW was not closed";
    EXPECT_EQ(ReadFile(folders_.gms + L"宏工具.gms"), "new macros");
    EXPECT_EQ(ReadFile(x7.folders.gms + L"宏工具.gms"), "new macros");
    EXPECT_TRUE(FilesIn(folders_.userGms).empty()) << "the old file was not deleted";
    const std::wstring workspace = addOn_ + L"Workspace.xml";
    EXPECT_EQ(CountOf(StandIn().LoggedCalls(), L"Application.ImportWorkspace\tcall\t" + workspace),
              1u);
    EXPECT_EQ(
        CountOf(x7.standIn.LoggedCalls(), L"17\tApplication.ImportWorkspace\tcall\t" + workspace),
        1u);

    const std::vector<std::wstring> log = Log();
    ASSERT_GE(log.size(), 2u) << "no log";
    EXPECT_EQ(log.front(), L"installer\tstart\t1.0.0.30\t" + addOn_ + L"TamrickInstaller.exe\t/S " +
                               LogSwitch());
    EXPECT_EQ(RecordsOf(log, L"installer\tdescription"),
              std::vector<std::wstring>{addOn_ + L"InstInfo.ini\tutf-8"});
    EXPECT_EQ(RecordsOf(log, L"installer\tsetting"),
              (std::vector<std::wstring>{L"SetupTitle\tTamrick 工具箱", L"FlagsPicture\tflags.bmp",
                                         L"HostVersions\tX3、X7"}));
    EXPECT_EQ(RecordsOf(log, L"installer\titem"),
              (std::vector<std::wstring>{L"1\tc\t宏工具.gms\t1\tgmspath\t正在安装宏工程...",
                                         L"2\tc\tWorkspace.xml\t1\timportworkspace\t",
                                         L"3\tk\tOld.gms\t0\tusergmspath\t",
                                         L"4\tc\tMissing.gms\t0\tuserdatapath\t"}));
    // Each folder exactly as the host returned it, after the version that returned it.
    EXPECT_EQ(RecordsOf(log, L"installer\tfolder"),
              (std::vector<std::wstring>{
                  L"X3\tgmspath\t" + folders_.gms, L"X3\tusergmspath\t" + folders_.userGms,
                  L"X3\tuserdatapath\t" + folders_.userData, L"X7\tgmspath\t" + x7.folders.gms,
                  L"X7\tusergmspath\t" + x7.folders.userGms,
                  L"X7\tuserdatapath\t" + x7.folders.userData}));
    EXPECT_EQ(log.back(), L"installer\tend\t0\t安装成功");
}

TEST_F(CommandLineE2E, ASilentRunThatFailsLogsTheReportItWouldHaveShown) {
    Description("FileItem=c|a.gms|1|GMSPath|\r\n"
                "FileItem=c|missing.gms|1|GMSPath|\r\n"
                "FileItem=c|b.gms|1|GMSPath|\r\n");
    AddOnFile(L"a.gms", "a");
    AddOnFile(L"b.gms", "b");
    const Watched run = RunWatched(L"-s " + LogSwitch());
    EXPECT_EQ(run.code, std::optional<DWORD>(4)) << "a required file missing";
    EXPECT_EQ(run.windows, std::vector<std::wstring>{});
    EXPECT_EQ(FilesIn(folders_.gms), std::vector<std::wstring>{L"a.gms"});
    const std::vector<std::wstring> log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(RecordsOf(log, L"installer\tmessage"),
              std::vector<std::wstring>{L"error\t缺少安装必需的文件，文件(" + addOn_ +
                                        L"missing.gms)不存在。\\x0D\\x0A请联系软件作者寻求帮助。"});
    EXPECT_EQ(log.back(), L"installer\tend\t4\t缺少安装必需的文件");
}

TEST_F(CommandLineE2E, AMissingDescriptionIsShownInABoxOrSilentlyLoggedAndEndsWith7) {
    process_.emplace(drv::Process::Launch(addOn_ + L"TamrickInstaller.exe", addOn_));
    const HWND box = NextMessageBox(process_->pid(), nullptr, 20s);
    ASSERT_NE(box, nullptr) << "no message box";
    const drv::MessageBoxInfo info = drv::ReadMessageBox(box, Icons());
    EXPECT_EQ(info.title, L"Tamrick Installer");
    EXPECT_EQ(info.text, kMissingDescription);
    EXPECT_EQ(info.icon, drv::IconKind::Error) << drv::ToString(info.icon);
    ASSERT_EQ(info.buttons.size(), 1u);
    EXPECT_EQ(info.buttons[0].id, IDOK);
    EXPECT_EQ(drv::VisibleTopLevelWindows(process_->pid()).size(), 1u) << "only the box shows";
    drv::PressButton(box, IDOK);
    EXPECT_EQ(process_->WaitForExit(), std::optional<DWORD>(7)) << "no description";

    const Watched missing = RunWatched(L"/S " + LogSwitch(), 20s);
    EXPECT_EQ(missing.code, std::optional<DWORD>(7));
    EXPECT_TRUE(missing.windows.empty()) << "the missing-description message showed";
    std::vector<std::wstring> log = Log();
    EXPECT_EQ(RecordsOf(log, L"installer\tdescription"),
              std::vector<std::wstring>{addOn_ + L"InstInfo.ini\tmissing"});
    EXPECT_EQ(RecordsOf(log, L"installer\tmessage"),
              std::vector<std::wstring>{L"error\t" + kMissingDescription});

    // Without file items it ends as silently with a window as without.
    Description("SetupTitle=Demo\r\n; fileitem=c|a.gms|1|gmspath|x\r\n");
    const Watched empty = RunWatched(LogSwitch(), 20s);
    EXPECT_EQ(empty.code, std::optional<DWORD>(7));
    EXPECT_EQ(empty.windows, std::vector<std::wstring>{});
    log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), L"installer\tend\t7\t没有安装信息文件，或其中没有文件项");
    const std::vector<std::wstring> notes = RecordsOf(log, L"installer\tnote");
    EXPECT_NE(std::find(notes.begin(), notes.end(), L"the description has no file items"),
              notes.end());
    EXPECT_TRUE(StandIn().LoggedCalls().empty()) << "the host was started";
}

TEST_F(CommandLineE2E, AWrongSwitchHelpOrASecondStartEndsAtOnceAndSilentlyShowsNothing) {
    Description("FileItem=c|a.gms|1|GMSPath|\r\n");
    AddOnFile(L"a.gms", "a");
    // The usage box as it is shown: for a wrong switch an error, for help information.
    const auto usage = [this](const std::wstring& arguments) {
        process_.emplace(drv::Process::Launch(addOn_ + L"TamrickInstaller.exe", addOn_, arguments));
        const HWND box = NextMessageBox(process_->pid(), nullptr, 20s);
        EXPECT_NE(box, nullptr) << "no usage box for " << ToUtf8(arguments);
        const drv::MessageBoxInfo info =
            box != nullptr ? drv::ReadMessageBox(box, Icons()) : drv::MessageBoxInfo{};
        EXPECT_EQ(drv::VisibleTopLevelWindows(process_->pid()).size(), 1u) << "only the box shows";
        drv::PressButton(box, IDOK);
        EXPECT_EQ(process_->WaitForExit(), std::optional<DWORD>(2)) << ToUtf8(arguments);
        return info;
    };
    const drv::MessageBoxInfo wrong = usage(L"/Silent " + LogSwitch());
    EXPECT_EQ(wrong.title, L"Tamrick Installer");
    EXPECT_TRUE(wrong.text.starts_with(L"无法识别的开关：/Silent\r\n\r\n" + kUsageStart))
        << ToUtf8(wrong.text);
    EXPECT_NE(wrong.text.find(L"\r\n429\t"), std::wstring::npos) << "the exit codes are missing";
    EXPECT_EQ(wrong.icon, drv::IconKind::Error) << drv::ToString(wrong.icon);
    // The box's exact text, its line ends and tabs written as \xHH.
    const std::vector<std::wstring> messages = RecordsOf(Log(), L"installer\tmessage");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(
        messages[0].starts_with(L"error\t无法识别的开关：/Silent\\x0D\\x0A\\x0D\\x0A用法：[/S] "
                                L"[/LOG=文件] [/UNINSTALL]\\x0D\\x0A"))
        << ToUtf8(messages[0]);
    EXPECT_TRUE(messages[0].ends_with(L"\\x0D\\x0A429\\x09没有安装所需版本的 CorelDRAW"))
        << ToUtf8(messages[0]);

    const drv::MessageBoxInfo help = usage(L"/?");
    EXPECT_TRUE(help.text.starts_with(kUsageStart)) << ToUtf8(help.text);
    EXPECT_EQ(help.icon, drv::IconKind::Information) << drv::ToString(help.icon);

    // A log that can't be written changes nothing else.
    const std::wstring unwritable = L" \"/LOG=" + TempRoot() + L"no such folder\\a.log\"";
    for (const std::wstring& arguments :
         std::vector<std::wstring>{L"/S /?", L"/X /S", L"/S /?" + unwritable}) {
        const Watched run = RunWatched(arguments, 20s);
        EXPECT_EQ(run.code, std::optional<DWORD>(2)) << ToUtf8(arguments);
        EXPECT_EQ(run.windows, std::vector<std::wstring>{}) << ToUtf8(arguments);
    }
    EXPECT_FALSE(fs::exists(TempRoot() + L"no such folder"));
    EXPECT_TRUE(StandIn().LoggedCalls().empty()) << "the host was started";

    // A second start of the same installer ends with 8, but another add-on's starts.
    fs::remove(LogPath());
    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    const Watched second = RunWatched(L"/S " + LogSwitch(), 20s);
    EXPECT_EQ(second.code, std::optional<DWORD>(8));
    EXPECT_EQ(second.windows, std::vector<std::wstring>{});
    EXPECT_EQ(RecordsOf(Log(), L"installer\tnote"),
              std::vector<std::wstring>{L"another instance of this installer is running"});
    EXPECT_TRUE(process_->running()) << "the first copy was disturbed";

    // The same program in another add-on folder is another installer.
    const std::wstring other = TempRoot() + L"other add-on\\";
    fs::remove_all(other);
    fs::create_directories(other);
    fs::copy_file(addOn_ + L"TamrickInstaller.exe", other + L"TamrickInstaller.exe");
    const drv::Process another = drv::Process::Launch(other + L"TamrickInstaller.exe", other);
    const HWND box = NextMessageBox(another.pid(), nullptr, 20s);
    ASSERT_NE(box, nullptr) << "a different add-on folder was blocked";
    EXPECT_EQ(drv::ReadMessageBox(box, Icons()).text, kMissingDescription);
    drv::PressButton(box, IDOK);
    EXPECT_EQ(another.WaitForExit(), std::optional<DWORD>(7));

    drv::RequestClose(window);
    EXPECT_EQ(process_->WaitForExit(), std::optional<DWORD>(1));
}

int main(int argc, char** argv) {
    return RunTestMain(argc, argv);
}
