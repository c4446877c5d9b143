// The installation into several versions of CorelDRAW under Wine: the real installer, X3's
// stand-in of the suite, and a stand-in of its own for each later version, each registered as a
// setup of that version registers it, with its own folders and log. Silently: run_cli_e2e.cpp;
// which versions are found, in either registry view: host_binding_test.cpp.

#include "tests/run/run_fixture.h"

#include <string>
#include <vector>

namespace drv = tamrick::driver;
using namespace tamrick::test;

namespace {

class VersionsE2E : public RunE2E {
  protected:
    // The time a version's log gives a call ("time<TAB>major<TAB>what..."); empty if never made.
    static std::wstring TimeOf(const Version& version, const std::wstring& call) {
        for (const std::wstring& line : version.standIn.LogLines()) {
            if (line.substr(line.find(L'\t') + 1) == call) {
                return line.substr(0, line.find(L'\t'));
            }
        }
        return L"";
    }
};

constexpr const char* kThreeItems =
    "FileItem=c|宏工具.gms|1|GMSPath|正在安装宏工程...\r\n"
    "FileItem=c|Palette.xml|1|UserDataPath|\r\n"
    "FileItem=c|Workspace.xml|1|ImportWorkspace|正在导入工作区...\r\n";

} // namespace

TEST_F(VersionsE2E, ThreeVersionsInstalledTheTwoNamedGetEveryItemInAscendingOrder) {
    const Version& x7 = Install(17);
    const Version& v2018 = Install(20);
    const Version& v2020 = Install(22);
    Description("SetupTitle=Tamrick 工具箱\r\nHostVersions=2020, x7\r\n" +
                std::string(kThreeItems));
    AddOnFile(L"宏工具.gms", "macros");
    AddOnFile(L"Palette.xml", "<palette/>");
    AddOnFile(L"Workspace.xml", "<workspace/>");

    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    const drv::MessageBoxInfo confirm = ClickAndAnswer(window, IDOK);
    EXPECT_EQ(confirm.text, std::wstring(kConfirmText) + L"\r\n将安装到 CorelDRAW X7、2020。");
    EXPECT_EQ(confirm.icon, drv::IconKind::Warning) << drv::ToString(confirm.icon);
    std::wstring caption;
    const drv::MessageBoxInfo done = FinalMessage(window, &caption);
    EXPECT_EQ(done.text, L"安装成功！\r\n已安装到 CorelDRAW X7、2020。");
    EXPECT_EQ(done.icon, drv::IconKind::Information) << drv::ToString(done.icon);
    EXPECT_EQ(caption, L"安装过程结束！");
    EXPECT_EQ(exitCode_, std::optional<DWORD>(0));

    for (const Version* version : {&x7, &v2020}) {
        EXPECT_EQ(ReadFile(version->folders.gms + L"宏工具.gms"), "macros");
        EXPECT_EQ(ReadFile(version->folders.userData + L"Palette.xml"), "<palette/>");
    }
    EXPECT_EQ(x7.standIn.LoggedCalls(),
              (std::vector<std::wstring>{
                  L"17\tApplication\tcreate", L"17\tApplication.Visible\tput\tFalse",
                  L"17\tApplication.GMSManager\tget", L"17\tGMSManager.GMSPath\tget",
                  L"17\tApplication.UserDataPath\tget",
                  L"17\tApplication.ImportWorkspace\tcall\t" + addOn_ + L"Workspace.xml",
                  L"17\tApplication.Visible\tput\tFalse", L"17\tCorelDRW.exe\texit"}));
    const std::vector<std::wstring> v2020Calls = v2020.standIn.LoggedCalls();
    ASSERT_FALSE(v2020Calls.empty()) << "2020 was never asked";
    EXPECT_EQ(v2020Calls.front(), L"22\tApplication\tcreate");
    // X7's object was released, and its server gone, before 2020's was created.
    const std::wstring x7Exit = TimeOf(x7, L"17\tCorelDRW.exe\texit");
    const std::wstring v2020Create = TimeOf(v2020, L"22\tApplication\tcreate");
    ASSERT_FALSE(x7Exit.empty());
    EXPECT_LE(x7Exit, v2020Create);
    // The version installed but not named, and X3, were not touched.
    EXPECT_TRUE(v2018.standIn.LoggedCalls().empty());
    EXPECT_TRUE(FilesIn(v2018.folders.gms).empty());
    EXPECT_TRUE(StandIn().LoggedCalls().empty());
    EXPECT_TRUE(FilesIn(folders_.gms).empty());
}

TEST_F(VersionsE2E, NoneOfTheNamedVersionsInstalledIsSaidAtOnceAndNothingIsClosed) {
    Install(20);
    Description("HostVersions=X7-2017, 2020\r\nFileItem=c|a.gms|1|GMSPath|\r\n");
    AddOnFile(L"a.gms", "a");
    // A CorelDRAW that the user left running.
    const drv::Process running = StandIn().StartPlainly();
    ASSERT_TRUE(running.running());

    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    // No confirmation: the message follows the click at once.
    drv::PressButton(window, kCmdInstallId);
    const drv::MessageBoxInfo message = FinalMessage(window);
    EXPECT_EQ(message.text, L"本程序只能在安装有 CorelDRAW X7 至 2017、2020 的系统中使用。");
    EXPECT_EQ(message.icon, drv::IconKind::Error) << drv::ToString(message.icon);
    EXPECT_EQ(exitCode_, std::optional<DWORD>(429)) << "none of the named versions installed";
    EXPECT_TRUE(running.running())
        << "the running CorelDRAW was closed although nothing was to be installed";
    EXPECT_TRUE(versions_.at(20)->standIn.LoggedCalls().empty());
    EXPECT_TRUE(FilesIn(versions_.at(20)->folders.gms).empty());
}

int main(int argc, char** argv) {
    return RunTestMain(argc, argv);
}
