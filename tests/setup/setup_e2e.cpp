// The setup file as a user meets it: packed by instinfo.exe, started, the installer's window
// from the unpacked folder, the installation landing in the host's folders, and afterwards no
// trace in the temporary folder; a damaged download, a second start and a signed setup.

#include "driver/driver.h"
#include "tests/support/standin_control.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
namespace drv = tamrick::driver;
using tamrick::test::FilesIn;
using tamrick::test::HostFolders;
using tamrick::test::NextMessageBox;
using tamrick::test::QuitStandIns;
using tamrick::test::ReadFile;
using tamrick::test::StandInControl;
using namespace std::chrono_literals;

namespace {

constexpr auto kRunTimeout = 60s;
constexpr int kCmdInstallId = 1001;

// From the command line, read-only afterwards.
fs::path gInstinfo;
fs::path gDemo;
fs::path gSigned;

const std::wstring kDamagedText =
    L"安装程序已损坏，可能是下载不完整。\r\n请重新下载安装程序后再运行。";

std::wstring TempPath() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return temp;
}

std::wstring TempRoot() {
    return TempPath() + L"tamrick-setup\\";
}

const StandInControl& StandIn() {
    static const StandInControl standIn(drv::FromUnixPath(TAMRICK_STANDIN_PATH).wstring(),
                                        TempRoot() + L"host\\");
    return standIn;
}

// Windows' own temporary folder, where an administrator's setup unpacks (and under Wine every
// process runs as one).
std::wstring SystemTempPath() {
    wchar_t windows[MAX_PATH + 1] = {};
    GetSystemWindowsDirectoryW(windows, MAX_PATH + 1);
    return std::wstring(windows) + L"\\Temp\\";
}

// The folders that setups unpacked into and have not removed, in the user's temporary folder and
// in Windows' own.
std::vector<fs::path> SetupFolders() {
    std::vector<fs::path> folders;
    for (const std::wstring& temp : {TempPath(), SystemTempPath()}) {
        for (const auto& e : fs::directory_iterator(temp)) {
            if (e.is_directory() && e.path().filename().wstring().starts_with(L"TamrickSetup.")) {
                folders.push_back(e.path());
            }
        }
    }
    return folders;
}

// Packs a folder (given with its trailing backslash) with the Windows instinfo.exe; its exit
// status.
DWORD Pack(const std::wstring& folder, const std::wstring& setup);

DWORD Pack(const std::wstring& folder, const std::wstring& setup) {
    // Without the backslash, which would escape the closing quote.
    return tamrick::test::RunToEnd(L"\"" + gInstinfo.wstring() + L"\" pack -o \"" + setup +
                                   L"\" \"" + folder.substr(0, folder.size() - 1) + L"\"");
}

// The installer's window, from whichever process shows it.
HWND WaitForInstallerWindow(std::chrono::milliseconds timeout = kRunTimeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const HWND window = FindWindowW(L"TamrickInstallerWindow", nullptr);
        if (window != nullptr && IsWindowVisible(window)) {
            return window;
        }
        Sleep(50);
    }
    return nullptr;
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

const drv::IconReader& Icons() {
    static const drv::IconReader reader = drv::IconReader::Calibrate();
    return reader;
}

class SetupE2E : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        QuitStandIns();
        fs::remove_all(TempRoot());
        fs::create_directories(TempRoot());
        ASSERT_TRUE(StandIn().Install());
    }

    void SetUp() override {
        QuitStandIns();
        for (const fs::path& left : SetupFolders()) {
            fs::remove_all(left);
        }
        StandIn().ClearLog();
        StandIn().WriteConfig(folders_.Config());
        for (const auto& f :
             {folders_.programs, folders_.gms, folders_.userGms, folders_.userData}) {
            fs::remove_all(f);
            fs::create_directories(f);
        }
        addOn_ = TempRoot() + L"addon\\";
        fs::remove_all(addOn_);
        fs::create_directories(addOn_);
    }

    void TearDown() override {
        if (setup_ && setup_->running()) {
            if (const HWND window = FindWindowW(L"TamrickInstallerWindow", nullptr)) {
                drv::RequestClose(window);
            }
            setup_->WaitForExit();
        }
        QuitStandIns();
    }

    // A small add-on, packed by instinfo.exe; the setup's path.
    std::wstring PackSmallAddOn() {
        drv::WriteFileBytes(addOn_ + L"InstInfo.ini",
                            "SetupTitle=小插件\r\nFileItem=c|a.gms|1|GMSPath|\r\n");
        drv::WriteFileBytes(addOn_ + L"a.gms", "a");
        const std::wstring setup = TempRoot() + L"small-setup.exe";
        EXPECT_EQ(Pack(addOn_, setup), 0u);
        return setup;
    }

    drv::Process& Start(const std::wstring& setup) {
        setup_.emplace(drv::Process::Launch(setup, TempRoot()));
        return *setup_;
    }

    HostFolders folders_{TempRoot()};
    std::wstring addOn_;
    std::optional<drv::Process> setup_;
};

TEST_F(SetupE2E, TheDemoAddOnInstallsFromItsSetupAndLeavesNothingBehind) {
    const std::wstring demo = TempRoot() + L"TamrickDemo\\";
    fs::remove_all(demo);
    fs::copy(gDemo, demo, fs::copy_options::recursive);
    fs::create_directories(demo + L"子目录\\深 层");
    drv::WriteFileBytes(demo + L"子目录\\深 层\\说明 文件.txt", "中文内容");
    drv::WriteFileBytes(folders_.gms + L"OldTamrickTools.gms", "old");
    const std::wstring setup = TempRoot() + L"TamrickDemo-setup.exe";
    ASSERT_EQ(Pack(demo, setup), 0u);

    drv::Process& process = Start(setup);
    const HWND window = WaitForInstallerWindow();
    ASSERT_NE(window, nullptr) << "the installer's window did not open";
    EXPECT_EQ(drv::WindowText(window), L"Tamrick 工具箱 演示版");
    EXPECT_NE(ProcessOf(window), process.pid()) << "the window is the installer's, not the setup's";

    // Unpacked into one folder of the setup's own, sub-folders and Chinese names intact.
    const std::vector<fs::path> unpacked = SetupFolders();
    ASSERT_EQ(unpacked.size(), 1u);
    EXPECT_EQ(ReadFile(unpacked[0] / L"子目录" / L"深 层" / L"说明 文件.txt"), "中文内容");
    EXPECT_EQ(ReadFile(unpacked[0] / L"TamrickTools.gms"), ReadFile(gDemo / "TamrickTools.gms"));

    drv::PressButton(window, kCmdInstallId);
    const DWORD installer = ProcessOf(window);
    const HWND confirm = NextMessageBox(installer);
    ASSERT_NE(confirm, nullptr);
    drv::PressButton(confirm, IDOK);
    const HWND done = NextMessageBox(installer, confirm);
    ASSERT_NE(done, nullptr);
    const drv::MessageBoxInfo info = drv::ReadMessageBox(done, Icons());
    EXPECT_EQ(info.text, L"安装成功！");
    drv::PressButton(done, IDOK);

    EXPECT_EQ(process.WaitForExit(kRunTimeout), std::optional<DWORD>(0));
    EXPECT_TRUE(SetupFolders().empty()) << "the unpacked folder was left behind";
    EXPECT_EQ(FilesIn(folders_.gms), std::vector<std::wstring>{L"TamrickTools.gms"});
    EXPECT_EQ(FilesIn(folders_.userGms), std::vector<std::wstring>{L"TamrickUser.gms"});
    EXPECT_EQ(FilesIn(folders_.userData), std::vector<std::wstring>{L"TamrickPalette.xml"});
    EXPECT_EQ(FilesIn(folders_.programs), std::vector<std::wstring>{L"TamrickReadme.txt"});
    const std::vector<std::wstring> calls = StandIn().LoggedCalls();
    const std::wstring imported =
        L"Application.ImportWorkspace\tcall\t" + unpacked[0].wstring() + L"\\TamrickWorkspace.xml";
    // File names match in any case: Wine hands the installer its folder as the disk spells it.
    EXPECT_NE(std::find_if(calls.begin(), calls.end(),
                           [&](const std::wstring& call) {
                               return _wcsicmp(call.c_str(), imported.c_str()) == 0;
                           }),
              calls.end())
        << fs::path(imported).string();
}

TEST_F(SetupE2E, ASecondStartEndsSilentlyWithItsCodeAndClosingTheWindowStillRemovesTheFolder) {
    const std::wstring setup = PackSmallAddOn();
    drv::Process& first = Start(setup);
    const HWND window = WaitForInstallerWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(drv::WindowText(window), L"小插件");

    drv::Process second = drv::Process::Launch(setup, TempRoot());
    EXPECT_EQ(second.WaitForExit(10s), std::optional<DWORD>(11))
        << "the second start went on, or did not say so in its code";
    EXPECT_TRUE(drv::VisibleTopLevelWindows(second.pid()).empty());
    EXPECT_EQ(SetupFolders().size(), 1u) << "the second start unpacked too";

    drv::RequestClose(window);
    // Closed before the end: the installer's code, passed on.
    EXPECT_EQ(first.WaitForExit(kRunTimeout), std::optional<DWORD>(1));
    EXPECT_TRUE(SetupFolders().empty()) << "closing the installer left the folder behind";
    EXPECT_TRUE(FilesIn(folders_.gms).empty());
}

TEST_F(SetupE2E, ATruncatedSetupSaysSoAndUnpacksNothing) {
    const std::wstring setup = PackSmallAddOn();
    const std::string bytes = ReadFile(setup);
    const std::wstring cut = TempRoot() + L"cut-setup.exe";
    drv::WriteFileBytes(cut, bytes.substr(0, bytes.size() - 100));

    drv::Process& process = Start(cut);
    const HWND box = NextMessageBox(process.pid());
    ASSERT_NE(box, nullptr) << "no message";
    const drv::MessageBoxInfo info = drv::ReadMessageBox(box, Icons());
    EXPECT_EQ(info.title, L"Tamrick Installer");
    EXPECT_EQ(info.text, kDamagedText);
    EXPECT_EQ(info.icon, drv::IconKind::Error) << drv::ToString(info.icon);
    EXPECT_TRUE(SetupFolders().empty());
    drv::PressButton(box, IDOK);
    EXPECT_EQ(process.WaitForExit(), std::optional<DWORD>(9)) << "a damaged setup's code";
    EXPECT_EQ(FindWindowW(L"TamrickInstallerWindow", nullptr), nullptr);
    EXPECT_TRUE(SetupFolders().empty());
}

TEST_F(SetupE2E, ASignedSetupStillRuns) {
    ASSERT_FALSE(gSigned.empty()) << "no signed setup was given";
    ASSERT_TRUE(fs::exists(gSigned));
    drv::Process& process = Start(gSigned.wstring());
    const HWND window = WaitForInstallerWindow();
    ASSERT_NE(window, nullptr) << "the signed setup did not start the installer";
    EXPECT_EQ(drv::WindowText(window), L"Tamrick 工具箱 演示版");
    drv::RequestClose(window);
    EXPECT_EQ(process.WaitForExit(kRunTimeout), std::optional<DWORD>(1));
    EXPECT_TRUE(SetupFolders().empty());
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 4 || argc > 5) {
        std::fprintf(stderr, "usage: setup_e2e INSTINFO.exe DIST DEMO [SIGNED-SETUP.exe]\n");
        return 2;
    }
    gInstinfo = drv::FromUnixPath(argv[1]);
    // instinfo.exe takes the setup program and the installer from the distributable.
    SetEnvironmentVariableW(L"TAMRICK_DIST", drv::FromUnixPath(argv[2]).wstring().c_str());
    gDemo = drv::FromUnixPath(argv[3]);
    if (argc == 5) {
        gSigned = drv::FromUnixPath(argv[4]);
    }
    return RUN_ALL_TESTS();
}
