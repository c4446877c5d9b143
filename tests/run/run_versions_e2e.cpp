// The installation into several versions of CorelDRAW under Wine: the real installer, X3's
// stand-in of the suite, and a stand-in of its own for each later version, each registered as a
// setup of that version registers it, with its own folders and log.

#include "tests/run/run_fixture.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace drv = tamrick::driver;
namespace fs = std::filesystem;
using tamrick::ToUtf8;
using namespace tamrick::test;

namespace {

// The x86_64 build's stand-in, for the i686 suite's host of the other width; empty in the x86_64
// build, which registers its own stand-in in the other registry view instead.
std::wstring OtherWidthStandIn() {
#ifdef TAMRICK_OTHER_WIDTH_STANDIN
    return drv::FromUnixPath(TAMRICK_OTHER_WIDTH_STANDIN).wstring();
#else
    return L"";
#endif
}

// The stand-in of one version, and its folders.
struct Version {
    Version(const std::wstring& built, int major)
        : folder(TempRoot() + L"host" + std::to_wstring(major) + L"\\"), standIn(built, folder),
          folders(folder) {}
    std::wstring folder;
    StandInControl standIn;
    HostFolders folders;
};

class VersionsE2E : public RunE2E {
  protected:
    // Installs and registers the stand-in of a version, from this build unless another is given;
    // with otherView, in the other width's registry view.
    const Version& Install(int major, const std::wstring& built = StandIn().built(),
                           bool otherView = false) {
        auto version = std::make_unique<Version>(built, major);
        fs::remove_all(version->folder);
        fs::create_directories(version->folder);
        version->standIn.WriteConfig(L"version=" + std::to_wstring(major) + L"\n" +
                                     version->folders.Config());
        EXPECT_TRUE(version->standIn.Install()) << "version " << major;
        if (otherView) {
            EXPECT_EQ(version->standIn.Run(L"/UnregServer"), 0u);
            EXPECT_EQ(version->standIn.Run(L"/RegServer /OtherView"), 0u);
        }
        for (const auto& f : {version->folders.programs, version->folders.gms,
                              version->folders.userGms, version->folders.userData}) {
            fs::create_directories(f);
        }
        return *(versions_[major] = std::move(version));
    }

    void TearDown() override {
        RunE2E::TearDown();
        for (const auto& [major, version] : versions_) {
            EXPECT_EQ(version->standIn.Run(L"/UnregServer"), 0u) << "version " << major;
        }
    }

    // The time a version's log gives a call ("time<TAB>major<TAB>what..."); empty if never made.
    static std::wstring TimeOf(const Version& version, const std::wstring& call) {
        for (const std::wstring& line : version.standIn.LogLines()) {
            if (line.substr(line.find(L'\t') + 1) == call) {
                return line.substr(0, line.find(L'\t'));
            }
        }
        return L"";
    }

    // Presses the install button and reads the message that follows at once, without a
    // confirmation.
    drv::MessageBoxInfo ClickForMessage(HWND window) {
        drv::PressButton(window, kCmdInstallId);
        return FinalMessage(window);
    }

    std::map<int, std::unique_ptr<Version>> versions_;
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
    EXPECT_EQ(v2020.standIn.LoggedCalls().front(), L"22\tApplication\tcreate");
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

TEST_F(VersionsE2E, X3AndX7InstalledWithoutTheKeyX3AloneGetsTheAddOnAsAlways) {
    const Version& x7 = Install(17);
    Description("FileItem=c|a.gms|1|GMSPath|\r\n");
    AddOnFile(L"a.gms", "a");

    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ClickAndAnswer(window, IDOK).text, kConfirmText);
    std::wstring caption;
    const drv::MessageBoxInfo done = FinalMessage(window, &caption);
    EXPECT_EQ(done.text, L"安装成功！");
    EXPECT_EQ(caption, L"安装过程结束！");
    EXPECT_EQ(FilesIn(folders_.gms), std::vector<std::wstring>{L"a.gms"});
    EXPECT_EQ(StandIn().LoggedCalls().front(), L"Application\tcreate");
    EXPECT_TRUE(x7.standIn.LoggedCalls().empty());
    EXPECT_TRUE(FilesIn(x7.folders.gms).empty());
}

// Without X3 the message says so after the pause, whatever other version is there.
TEST_F(VersionsE2E, OnlyX7InstalledWithoutTheKeyGetsTheMessageOfOld) {
    ASSERT_EQ(StandIn().Run(L"/UnregServer"), 0u);
    struct Reregister {
        ~Reregister() { EXPECT_EQ(StandIn().Run(L"/RegServer"), 0u); }
    } reregister;
    const Version& x7 = Install(17);
    Description("FileItem=c|a.gms|1|GMSPath|\r\n");
    AddOnFile(L"a.gms", "a");

    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    ClickAndAnswer(window, IDOK);
    std::wstring caption;
    const drv::MessageBoxInfo done = FinalMessage(window, &caption);
    EXPECT_EQ(done.text, L"本程序只能在安装有 CorelDRAW X3 的系统中使用。");
    EXPECT_EQ(done.icon, drv::IconKind::Error) << drv::ToString(done.icon);
    EXPECT_EQ(caption, L"正在检查 CorelDRAW X3...");
    EXPECT_EQ(exitCode_, std::optional<DWORD>(429));
    EXPECT_TRUE(x7.standIn.LoggedCalls().empty());
    EXPECT_TRUE(FilesIn(x7.folders.gms).empty());
}

TEST_F(VersionsE2E, NoneOfTheNamedVersionsInstalledIsSaidAtOnceAndNothingIsClosed) {
    Install(20);
    Description("HostVersions=X7-2017, 2020\r\nFileItem=c|a.gms|1|GMSPath|\r\n");
    AddOnFile(L"a.gms", "a");
    // A CorelDRAW that the user left running.
    const tamrick::UniqueHandle running = StandIn().StartPlainly();
    ASSERT_TRUE(running);

    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    const drv::MessageBoxInfo message = ClickForMessage(window);
    EXPECT_EQ(message.text, L"本程序只能在安装有 CorelDRAW X7 至 2017、2020 的系统中使用。");
    EXPECT_EQ(message.icon, drv::IconKind::Error) << drv::ToString(message.icon);
    EXPECT_EQ(exitCode_, std::optional<DWORD>(429)) << "none of the named versions installed";
    EXPECT_EQ(WaitForSingleObject(running.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the running CorelDRAW was closed although nothing was to be installed";
    EXPECT_TRUE(versions_.at(20)->standIn.LoggedCalls().empty());
    EXPECT_TRUE(FilesIn(versions_.at(20)->folders.gms).empty());
    // Started plainly it registered nothing, so ending it by force leaves COM sound.
    TerminateProcess(running.get(), 0);
    WaitForSingleObject(running.get(), INFINITE);
}

TEST_F(VersionsE2E, ARequiredFileMissingInTheSecondVersionStopsThereWithTheFirstsFilesInPlace) {
    const Version& x7 = Install(17);
    const Version& v2020 = Install(22);
    Description("HostVersions=17,22\r\n"
                "FileItem=c|a.gms|1|GMSPath|\r\n"
                "FileItem=k|old.gms|1|GMSPath|\r\n");
    AddOnFile(L"a.gms", "a");
    // Only X7 has the old file that the second item deletes.
    drv::WriteFileBytes(x7.folders.gms + L"old.gms", "old");

    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    ClickAndAnswer(window, IDOK);
    const drv::MessageBoxInfo report = FinalMessage(window);
    EXPECT_EQ(report.text, L"缺少安装必需的文件，文件(" + v2020.folders.gms +
                               L"old.gms)不存在。\r\n请联系软件作者寻求帮助。");
    EXPECT_EQ(report.icon, drv::IconKind::Error) << drv::ToString(report.icon);
    EXPECT_EQ(exitCode_, std::optional<DWORD>(4));
    EXPECT_EQ(FilesIn(x7.folders.gms), std::vector<std::wstring>{L"a.gms"});
    EXPECT_EQ(FilesIn(v2020.folders.gms), std::vector<std::wstring>{L"a.gms"});
}

TEST_F(VersionsE2E, AHostOfTheOtherWidthIsFoundAndInstalledInto) {
    // The x86_64 installer with a host registered in the 32-bit registry view, or the i686
    // installer with the x86_64 build's stand-in: the host's class is in the other view only.
    const std::wstring other = OtherWidthStandIn();
    if (sizeof(void*) == 4 && !fs::exists(other)) {
        FAIL() << "the x86_64 build's stand-in is missing (" << ToUtf8(other)
               << "): build the mingw-x86_64 preset before this suite";
    }
    const Version& x8 =
        sizeof(void*) == 8 ? Install(18, StandIn().built(), true) : Install(18, other);
    Description("HostVersions=X8\r\nFileItem=c|a.gms|1|GMSPath|\r\n");
    AddOnFile(L"a.gms", "a");

    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    ClickAndAnswer(window, IDOK);
    const drv::MessageBoxInfo done = FinalMessage(window);
    EXPECT_EQ(done.text, L"安装成功！\r\n已安装到 CorelDRAW X8。");
    EXPECT_EQ(FilesIn(x8.folders.gms), std::vector<std::wstring>{L"a.gms"});
    EXPECT_EQ(x8.standIn.LoggedCalls().front(), L"18\tApplication\tcreate");
}

// --- Silent, with a log ------------------------------------------------------------------------

TEST_F(VersionsE2E, SilentlyEveryNamedVersionGetsTheAddOnAndTheLogNamesEach) {
    const Version& x7 = Install(17);
    const Version& v2020 = Install(22);
    Description("HostVersions=X7-2020\r\nFileItem=c|a.gms|1|GMSPath|\r\n");
    AddOnFile(L"a.gms", "a");
    const std::wstring log = TempRoot() + L"versions.log";
    fs::remove(log);

    const Watched run = RunWatched(L"/S \"/LOG=" + log + L"\"");
    EXPECT_EQ(run.code, std::optional<DWORD>(0));
    EXPECT_TRUE(run.windows.empty()) << ToUtf8(run.windows.front());
    EXPECT_EQ(FilesIn(x7.folders.gms), std::vector<std::wstring>{L"a.gms"});
    EXPECT_EQ(FilesIn(v2020.folders.gms), std::vector<std::wstring>{L"a.gms"});

    const std::vector<std::wstring> records = LogRecords(log);
    EXPECT_EQ(RecordsOf(records, L"installer\tsetting").back(), L"HostVersions\tX7 至 2020");
    EXPECT_EQ(RecordsOf(records, L"installer\thost"),
              (std::vector<std::wstring>{L"CorelDRAW X7", L"CorelDRAW 2020"}));
    EXPECT_EQ(RecordsOf(records, L"installer\tfolder"),
              (std::vector<std::wstring>{L"X7\tgmspath\t" + x7.folders.gms,
                                         L"2020\tgmspath\t" + v2020.folders.gms}));
    EXPECT_EQ(RecordsOf(records, L"installer\tmessage"),
              std::vector<std::wstring>{
                  L"information\t安装成功！\\x0D\\x0A已安装到 CorelDRAW X7、2020。"});
    EXPECT_EQ(records.back(), L"installer\tend\t0\t安装成功");
}

TEST_F(VersionsE2E, SilentlyNoneOfTheNamedVersionsEndsAtOnceWith429) {
    Description("HostVersions=X7-2017\r\nFileItem=c|a.gms|1|GMSPath|\r\n");
    AddOnFile(L"a.gms", "a");
    const std::wstring log = TempRoot() + L"versions.log";
    fs::remove(log);
    // At once: nothing is closed and there is no pause.
    const Watched run = RunWatched(L"/S \"/LOG=" + log + L"\"", std::chrono::seconds(8));
    EXPECT_EQ(run.code, std::optional<DWORD>(429));
    EXPECT_TRUE(run.windows.empty());
    const std::vector<std::wstring> records = LogRecords(log);
    EXPECT_EQ(RecordsOf(records, L"installer\tmessage"),
              std::vector<std::wstring>{
                  L"error\t本程序只能在安装有 CorelDRAW X7 至 2017 的系统中使用。"});
    EXPECT_TRUE(RecordsOf(records, L"installer\tconfirm").empty());
    EXPECT_EQ(records.back(), L"installer\tend\t429\t没有安装所需版本的 CorelDRAW");
}

int main(int argc, char** argv) {
    return RunTestMain(argc, argv);
}
