// The installation run of the real installer under Wine, against the stand-in host: what a
// person sees (the confirmation, the button, the final message and its icon) and what lands on
// disk, in the host's log and in the installer's. The other ways a run ends are pinned over
// fakes (tests/unit/run_test.cpp); here are the roads a person takes.

#include "tests/run/run_fixture.h"

#include <string>
#include <vector>

namespace drv = tamrick::driver;
using tamrick::ToUtf8;
using namespace tamrick::test;
using namespace std::chrono_literals;

TEST_F(RunE2E, AFullInstallCopiesImportsAndDeletesAfterClosingTheRunningHost) {
    Description("SetupTitle=Tamrick 工具箱\r\n"
                "FileItem=c|宏工具.gms|1|GMSPath|正在安装宏工程...\r\n"
                "FileItem=c|User.gms|0|UserGMSPath|\r\n"
                "FileItem=c|Palette.xml|1|UserDataPath|正在安装调色板...\r\n"
                "FileItem=c|Readme.txt|0|ApplicationPath|\r\n"
                "FileItem=c|Missing.gms|0|GMSPath|可选文件\r\n"
                "FileItem=c|Workspace.xml|1|ImportWorkspace|正在导入工作区...\r\n"
                "FileItem=k|Old.gms|0|GMSPath|正在删除旧版本...\r\n"
                "FileItem=x|nothing|0|gmspath|\r\n");
    AddOnFile(L"宏工具.gms", "new macros");
    AddOnFile(L"User.gms", "user macros");
    AddOnFile(L"Palette.xml", "<palette/>");
    AddOnFile(L"Readme.txt", "read me");
    AddOnFile(L"Workspace.xml", "<workspace/>");
    drv::WriteFileBytes(folders_.gms + L"宏工具.gms", "old macros");
    drv::WriteFileBytes(folders_.gms + L"Old.gms", "to be deleted");

    // A CorelDRAW that the user left running.
    const drv::Process running = StandIn().StartPlainly();
    ASSERT_TRUE(running.running());

    const HWND window = Start(LogSwitch());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(drv::WindowText(window), L"Tamrick 工具箱");
    EXPECT_EQ(Button(window).text, L"点这里开始安装");
    EXPECT_TRUE(Button(window).enabled);

    const drv::MessageBoxInfo confirm = ClickAndAnswer(window, IDOK);
    EXPECT_EQ(confirm.title, L"Tamrick Installer");
    EXPECT_EQ(confirm.text, kConfirmText);
    EXPECT_EQ(confirm.icon, drv::IconKind::Warning) << drv::ToString(confirm.icon);
    ASSERT_EQ(confirm.buttons.size(), 2u);
    EXPECT_EQ(confirm.buttons[0].id, IDOK);
    EXPECT_EQ(confirm.buttons[1].id, IDCANCEL);

    // During the pause: the running host is closed by force, the button is disabled with its
    // first caption, and the window still answers.
    EXPECT_TRUE(running.WaitForExit(8s))
        << "the running CorelDRAW was not closed before the pause ended";
    EXPECT_TRUE(drv::WaitForIdle(window, 5s)) << "the window stopped answering during the pause";
    EXPECT_EQ(Button(window).text, L"正在初始化，请稍候...");
    EXPECT_FALSE(Button(window).enabled);

    std::wstring caption;
    const drv::MessageBoxInfo done = FinalMessage(window, &caption);
    EXPECT_EQ(done.text, L"安装成功！");
    EXPECT_EQ(done.title, L"Tamrick Installer");
    EXPECT_EQ(done.icon, drv::IconKind::Information) << drv::ToString(done.icon);
    EXPECT_EQ(caption, L"安装过程结束！");
    EXPECT_EQ(exitCode_, std::optional<DWORD>(0));

    EXPECT_EQ(ReadFile(folders_.gms + L"宏工具.gms"), "new macros");
    EXPECT_EQ(ReadFile(folders_.userGms + L"User.gms"), "user macros");
    EXPECT_EQ(ReadFile(folders_.userData + L"Palette.xml"), "<palette/>");
    EXPECT_EQ(ReadFile(folders_.programs + L"Readme.txt"), "read me");
    // Deleted, nothing else left behind, and nothing for the skipped or imported items.
    EXPECT_EQ(FilesIn(folders_.gms), std::vector<std::wstring>{L"宏工具.gms"});
    EXPECT_EQ(FilesIn(folders_.userGms), std::vector<std::wstring>{L"User.gms"});
    EXPECT_EQ(FilesIn(folders_.userData), std::vector<std::wstring>{L"Palette.xml"});

    const std::vector<std::wstring> calls = StandIn().LoggedCalls();
    EXPECT_EQ(CountOf(calls, L"Application\tcreate"), 1u);
    EXPECT_EQ(CountOf(calls, L"Application.Visible\tput\tFalse"), 2u);
    EXPECT_EQ(CountOf(calls, L"Application.ImportWorkspace\tcall\t" + addOn_ + L"Workspace.xml"),
              1u);
    ASSERT_FALSE(calls.empty()) << "the host was never asked";
    EXPECT_EQ(calls.back(), L"CorelDRW.exe\texit") << "the host did not end on release";

    // The windowed run writes the log that a silent one writes.
    const std::vector<std::wstring> log = Log();
    EXPECT_EQ(RecordsOf(log, L"installer\tmessage"),
              std::vector<std::wstring>{L"information\t安装成功！"});
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), L"installer\tend\t0\t安装成功");
}

TEST_F(RunE2E, CancelChangesNothingAndAClosedWindowDuringThePauseEndsTheProgramThere) {
    Description("FileItem=c|a.gms|1|GMSPath|\r\n");
    AddOnFile(L"a.gms", "a");
    const drv::Process running = StandIn().StartPlainly();
    ASSERT_TRUE(running.running());

    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    for (int click = 0; click < 2; ++click) {
        const drv::MessageBoxInfo confirm = ClickAndAnswer(window, IDCANCEL);
        EXPECT_EQ(confirm.text, kConfirmText) << "click " << click;
        // The box is gone and the window is idle again.
        EXPECT_TRUE(drv::WaitUntil([&] { return !IsWindow(confirm_); }));
        ASSERT_TRUE(drv::WaitForIdle(window));
        EXPECT_EQ(Button(window).text, L"点这里开始安装");
        EXPECT_TRUE(Button(window).enabled);
    }
    EXPECT_TRUE(running.running())
        << "the running CorelDRAW was closed although the user cancelled";
    EXPECT_TRUE(StandIn().LoggedCalls().empty()) << "the host was started";

    // Confirmed at last, then closed during the pause.
    ClickAndAnswer(window, IDOK);
    ASSERT_TRUE(drv::WaitForIdle(window));
    ASSERT_FALSE(Button(window).enabled);
    drv::RequestClose(window);
    EXPECT_EQ(process_->WaitForExit(), std::optional<DWORD>(1))
        << "a close request during the pause did not end it, or not as closed before the end";
    // Ended in the pause: the run never went on to start the host.
    EXPECT_TRUE(StandIn().LoggedCalls().empty()) << "the host was started after the close";
    EXPECT_TRUE(FilesIn(folders_.gms).empty());
}

int main(int argc, char** argv) {
    return RunTestMain(argc, argv);
}
