// The installer as an administrator runs it: the real installer under Wine with /S, /LOG= and
// wrong switches, against the stand-in host. What a silent run lands and shows (nothing, watched
// from before its first instruction), its exit code for every way it can end, and its log.

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

class CommandLineE2E : public RunE2E {
  protected:
    // A log path with a space and a Chinese name, quoted as an administrator would.
    std::wstring LogPath() const { return TempRoot() + L"日志 文件\\install.log"; }
    std::wstring LogSwitch() const { return L"/LOG=\"" + LogPath() + L"\""; }
    std::vector<std::wstring> Log() const { return LogRecords(LogPath()); }

    void SetUp() override {
        RunE2E::SetUp();
        fs::remove_all(fs::path(LogPath()).parent_path());
        fs::create_directories(fs::path(LogPath()).parent_path());
    }

    // The usual small add-on: one item to copy.
    void SmallAddOn() {
        Description("FileItem=c|a.gms|1|GMSPath|\r\n");
        AddOnFile(L"a.gms", "a");
    }
};

std::string Described(const std::vector<std::wstring>& windows) {
    std::string text;
    for (const std::wstring& window : windows) {
        text += ToUtf8(window) + "; ";
    }
    return text;
}

} // namespace

TEST_F(CommandLineE2E, ASilentRunShowsNothingLandsEveryItemAndLogsEveryStep) {
    Description("SetupTitle=Tamrick 工具箱\r\n"
                "FileItem=c|宏工具.gms|1|GMSPath|正在安装宏工程...\r\n"
                "FileItem=c|Workspace.xml|1|ImportWorkspace|\r\n"
                "FileItem=k|Old.gms|0|UserGMSPath|\r\n"
                "FileItem=c|Missing.gms|0|UserDataPath|\r\n");
    AddOnFile(L"宏工具.gms", "new macros");
    AddOnFile(L"Workspace.xml", "<workspace/>");
    drv::WriteFileBytes(folders_.userGms + L"Old.gms", "old");
    // A CorelDRAW that the user left running is closed all the same.
    const tamrick::UniqueHandle running = StandIn().StartPlainly();
    ASSERT_TRUE(running);

    const Watched run = RunWatched(L"/S " + LogSwitch());
    EXPECT_EQ(run.code, std::optional<DWORD>(0));
    EXPECT_TRUE(run.windows.empty()) << "a silent run made " << Described(run.windows);
    EXPECT_EQ(WaitForSingleObject(running.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0))
        << "the running CorelDRAW was not closed";
    EXPECT_EQ(ReadFile(folders_.gms + L"宏工具.gms"), "new macros");
    EXPECT_TRUE(FilesIn(folders_.userGms).empty()) << "the old file was not deleted";
    const std::vector<std::wstring> calls = StandIn().LoggedCalls();
    EXPECT_NE(std::find(calls.begin(), calls.end(),
                        L"Application.ImportWorkspace\tcall\t" + addOn_ + L"Workspace.xml"),
              calls.end());

    const std::vector<std::wstring> log = Log();
    ASSERT_GE(log.size(), 2u) << "no log";
    EXPECT_EQ(log.front(), L"installer\tstart\t1.0.0.30\t" + addOn_ + L"TamrickInstaller.exe\t/S " +
                               LogSwitch());
    EXPECT_EQ(RecordsOf(log, L"installer\tdescription"),
              std::vector<std::wstring>{addOn_ + L"InstInfo.ini\tutf-8"});
    EXPECT_EQ(
        RecordsOf(log, L"installer\tsetting"),
        (std::vector<std::wstring>{L"SetupTitle\tTamrick 工具箱", L"FlagsPicture\tflags.bmp"}));
    EXPECT_EQ(RecordsOf(log, L"installer\titem"),
              (std::vector<std::wstring>{L"1\tc\t宏工具.gms\t1\tgmspath\t正在安装宏工程...",
                                         L"2\tc\tWorkspace.xml\t1\timportworkspace\t",
                                         L"3\tk\tOld.gms\t0\tusergmspath\t",
                                         L"4\tc\tMissing.gms\t0\tuserdatapath\t"}));
    EXPECT_EQ(RecordsOf(log, L"installer\tconfirm").size(), 1u);
    EXPECT_TRUE(RecordsOf(log, L"installer\tconfirm")[0].starts_with(L"ok\t将要强制关闭"));
    EXPECT_EQ(RecordsOf(log, L"installer\thost"), std::vector<std::wstring>{L"CorelDRAW X3"});
    // Each folder exactly as the host returned it, after the version that returned it.
    EXPECT_EQ(RecordsOf(log, L"installer\tfolder"),
              (std::vector<std::wstring>{L"X3\tgmspath\t" + folders_.gms,
                                         L"X3\tusergmspath\t" + folders_.userGms,
                                         L"X3\tuserdatapath\t" + folders_.userData}));
    EXPECT_EQ(RecordsOf(log, L"installer\tcopy"),
              std::vector<std::wstring>{addOn_ + L"宏工具.gms\t" + folders_.gms + L"宏工具.gms"});
    EXPECT_EQ(RecordsOf(log, L"installer\timport"),
              std::vector<std::wstring>{addOn_ + L"Workspace.xml"});
    EXPECT_EQ(RecordsOf(log, L"installer\tdelete"),
              std::vector<std::wstring>{folders_.userGms + L"Old.gms"});
    EXPECT_EQ(RecordsOf(log, L"installer\tskip"),
              std::vector<std::wstring>{addOn_ + L"Missing.gms\toptional, the file is not there"});
    EXPECT_EQ(RecordsOf(log, L"installer\tmessage"),
              std::vector<std::wstring>{L"information\t安装成功！"});
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
    EXPECT_TRUE(run.windows.empty()) << Described(run.windows);
    EXPECT_EQ(FilesIn(folders_.gms), std::vector<std::wstring>{L"a.gms"});
    const std::vector<std::wstring> log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(RecordsOf(log, L"installer\tmessage"),
              std::vector<std::wstring>{L"error\t缺少安装必需的文件，文件(" + addOn_ +
                                        L"missing.gms)不存在。\\x0D\\x0A请联系软件作者寻求帮助。"});
    EXPECT_EQ(log.back(), L"installer\tend\t4\t缺少安装必需的文件");
}

TEST_F(CommandLineE2E, EachWayASilentRunEndsHasItsCode) {
    struct Case {
        const char* name;
        std::wstring config; // the stand-in's CorelDRW.ini
        DWORD code;
        std::wstring message;
    };
    const Case cases[] = {
        {"a host folder missing", L"gmspath=\n", 5,
         L"error\tCorelDRAW X3 可能没有正确安装，路径()不存在。\\x0D\\x0A请联系软件作者寻求帮助。"},
        {"a host call failing", folders_.Config() + L"fail=GMSPath,0x800A0035,磁盘损坏\n", 6,
         L"error\t发生意外错误，磁盘损坏"},
    };
    SmallAddOn();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandIn().WriteConfig(c.config);
        fs::remove(LogPath());
        const Watched run = RunWatched(L"/S " + LogSwitch());
        EXPECT_EQ(run.code, std::optional<DWORD>(c.code));
        EXPECT_TRUE(run.windows.empty()) << Described(run.windows);
        EXPECT_EQ(RecordsOf(Log(), L"installer\tmessage"), std::vector<std::wstring>{c.message});
        QuitStandIns();
    }
}

TEST_F(CommandLineE2E, WithoutTheHostASilentRunEndsWith429) {
    ASSERT_EQ(StandIn().Run(L"/UnregServer"), 0u);
    struct Reregister {
        ~Reregister() { EXPECT_EQ(StandIn().Run(L"/RegServer"), 0u); }
    } reregister;
    SmallAddOn();
    const Watched run = RunWatched(L"/S " + LogSwitch());
    EXPECT_EQ(run.code, std::optional<DWORD>(429));
    EXPECT_TRUE(run.windows.empty()) << Described(run.windows);
    EXPECT_EQ(RecordsOf(Log(), L"installer\tmessage"),
              std::vector<std::wstring>{L"error\t本程序只能在安装有 CorelDRAW X3 的系统中使用。"});
    EXPECT_TRUE(FilesIn(folders_.gms).empty());
}

TEST_F(CommandLineE2E, WithoutADescriptionOrItemsASilentRunEndsAtOnceWith7) {
    const Watched missing = RunWatched(L"/S " + LogSwitch(), 20s);
    EXPECT_EQ(missing.code, std::optional<DWORD>(7));
    EXPECT_TRUE(missing.windows.empty()) << "the missing-description message showed";
    std::vector<std::wstring> log = Log();
    EXPECT_EQ(RecordsOf(log, L"installer\tdescription"),
              std::vector<std::wstring>{addOn_ + L"InstInfo.ini\tmissing"});
    EXPECT_EQ(RecordsOf(log, L"installer\tmessage"),
              std::vector<std::wstring>{L"error\t" + kMissingDescription});

    Description("SetupTitle=Demo\r\n; fileitem=c|a.gms|1|gmspath|x\r\n");
    const Watched empty = RunWatched(L"/S " + LogSwitch(), 20s);
    EXPECT_EQ(empty.code, std::optional<DWORD>(7));
    EXPECT_TRUE(empty.windows.empty()) << Described(empty.windows);
    log = Log();
    EXPECT_EQ(log.back(), L"installer\tend\t7\t没有安装信息文件，或其中没有文件项");
    EXPECT_EQ(RecordsOf(log, L"installer\tnote").back(), L"the description has no file items");
    EXPECT_TRUE(StandIn().LoggedCalls().empty()) << "the host was started";
}

TEST_F(CommandLineE2E, ASecondSilentStartWhileTheFirstRunsEndsWith8AndShowsNothing) {
    SmallAddOn();
    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    const Watched second = RunWatched(L"/S " + LogSwitch(), 20s);
    EXPECT_EQ(second.code, std::optional<DWORD>(8));
    EXPECT_TRUE(second.windows.empty()) << Described(second.windows);
    EXPECT_EQ(RecordsOf(Log(), L"installer\tnote"),
              std::vector<std::wstring>{L"another instance of this installer is running"});
    EXPECT_TRUE(process_->running()) << "the first copy was disturbed";
    drv::RequestClose(window);
    EXPECT_EQ(process_->WaitForExit(), std::optional<DWORD>(1));
}

TEST_F(CommandLineE2E, AWrongSwitchShowsTheUsageAndEndsWith2InstallingNothing) {
    SmallAddOn();
    process_.emplace(
        drv::Process::Launch(addOn_ + L"TamrickInstaller.exe", addOn_, L"/Silent " + LogSwitch()));
    const HWND box = NextMessageBox(process_->pid(), nullptr, 20s);
    ASSERT_NE(box, nullptr) << "no usage box";
    const drv::MessageBoxInfo info = drv::ReadMessageBox(box, Icons());
    EXPECT_EQ(info.title, L"Tamrick Installer");
    EXPECT_TRUE(info.text.starts_with(L"无法识别的开关：/Silent\r\n\r\n" + kUsageStart))
        << ToUtf8(info.text);
    EXPECT_NE(info.text.find(L"\r\n429\t"), std::wstring::npos) << "the exit codes are missing";
    EXPECT_EQ(info.icon, drv::IconKind::Error) << drv::ToString(info.icon);
    EXPECT_EQ(drv::VisibleTopLevelWindows(process_->pid()).size(), 1u) << "only the box shows";
    drv::PressButton(box, IDOK);
    EXPECT_EQ(process_->WaitForExit(), std::optional<DWORD>(2));
    // The box's exact text, its line ends and tabs written as \xHH.
    const std::vector<std::wstring> messages = RecordsOf(Log(), L"installer\tmessage");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].starts_with(
        L"error\t无法识别的开关：/Silent\\x0D\\x0A\\x0D\\x0A用法：[/S] [/LOG=文件]\\x0D\\x0A"))
        << ToUtf8(messages[0]);
    EXPECT_TRUE(messages[0].ends_with(L"\\x0D\\x0A429\\x09没有安装所需版本的 CorelDRAW"))
        << ToUtf8(messages[0]);
    EXPECT_TRUE(StandIn().LoggedCalls().empty()) << "the host was started";
}

TEST_F(CommandLineE2E, HelpShowsTheUsageAndEndsWith2AndSilentlyShowsNothing) {
    SmallAddOn();
    process_.emplace(drv::Process::Launch(addOn_ + L"TamrickInstaller.exe", addOn_, L"/?"));
    const HWND box = NextMessageBox(process_->pid(), nullptr, 20s);
    ASSERT_NE(box, nullptr) << "no usage box";
    const drv::MessageBoxInfo info = drv::ReadMessageBox(box, Icons());
    EXPECT_TRUE(info.text.starts_with(kUsageStart)) << ToUtf8(info.text);
    EXPECT_EQ(info.icon, drv::IconKind::Information) << drv::ToString(info.icon);
    drv::PressButton(box, IDOK);
    EXPECT_EQ(process_->WaitForExit(), std::optional<DWORD>(2)) << "help installs nothing";

    for (const std::wstring arguments : {L"/S /?", L"/X /S", L"/S extra"}) {
        const Watched run = RunWatched(arguments, 20s);
        EXPECT_EQ(run.code, std::optional<DWORD>(2)) << ToUtf8(arguments);
        EXPECT_TRUE(run.windows.empty()) << ToUtf8(arguments) << ": " << Described(run.windows);
    }
    EXPECT_TRUE(StandIn().LoggedCalls().empty()) << "the host was started";
}

TEST_F(CommandLineE2E, ALogThatCantBeWrittenChangesNothingElse) {
    SmallAddOn();
    const Watched run = RunWatched(L"/S \"/LOG=" + TempRoot() + L"no such folder\\a.log\"");
    EXPECT_EQ(run.code, std::optional<DWORD>(0));
    EXPECT_TRUE(run.windows.empty()) << Described(run.windows);
    EXPECT_EQ(ReadFile(folders_.gms + L"a.gms"), "a");
    EXPECT_FALSE(fs::exists(TempRoot() + L"no such folder"));
}

TEST_F(CommandLineE2E, AWindowedRunWritesTheSameLog) {
    SmallAddOn();
    process_.emplace(drv::Process::Launch(addOn_ + L"TamrickInstaller.exe", addOn_, LogSwitch()));
    const auto window = drv::WaitForWindowOfClass(process_->pid(), L"TamrickInstallerWindow");
    ASSERT_TRUE(window);
    ClickAndAnswer(*window, IDOK);
    const drv::MessageBoxInfo done = FinalMessage(*window);
    EXPECT_EQ(done.text, L"安装成功！");
    EXPECT_EQ(exitCode_, std::optional<DWORD>(0));
    const std::vector<std::wstring> log = Log();
    EXPECT_EQ(RecordsOf(log, L"installer\tcopy"),
              std::vector<std::wstring>{addOn_ + L"a.gms\t" + folders_.gms + L"a.gms"});
    EXPECT_EQ(RecordsOf(log, L"installer\tmessage"),
              std::vector<std::wstring>{L"information\t安装成功！"});
    EXPECT_EQ(log.back(), L"installer\tend\t0\t安装成功");
}

int main(int argc, char** argv) {
    return RunTestMain(argc, argv);
}
