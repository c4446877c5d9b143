// The setup file as a user meets it: packed by instinfo.exe, started, the installer's window
// from the unpacked folder, the installation landing in the host's folders, and afterwards no
// trace in the temporary folder; a damaged download, a second start and a signed setup. And as an
// administrator deploys it: silent, logged, its exit codes, from a batch file; the folder an
// administrator's setup unpacks into, and a standard user's.

#include "driver/driver.h"
#include "setup/unpack_folder_win32.h"
#include "tests/support/standin_control.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
namespace drv = tamrick::driver;
using tamrick::ToUtf8;
using namespace tamrick::test;
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
    return TestTempFolder(L"setup");
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
// status. Forced, it packs a description with errors too, as a failing add-on needs.
DWORD Pack(const std::wstring& folder, const std::wstring& setup, bool force = false) {
    // Without the backslash, which would escape the closing quote.
    return RunToEnd(L"\"" + gInstinfo.wstring() + L"\" pack " + (force ? L"--force " : L"") +
                    L"-o \"" + setup + L"\" \"" + folder.substr(0, folder.size() - 1) + L"\"");
}

// The installer's window, from whichever process shows it.
HWND WaitForInstallerWindow() {
    return WaitForWindowNamed(L"TamrickInstallerWindow", kRunTimeout);
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
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
        folders_.Recreate();
        addOn_ = TempRoot() + L"addon\\";
        fs::remove_all(addOn_);
        fs::create_directories(addOn_);
        fs::remove(LogPath());
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

    drv::Process& Start(const std::wstring& setup, const std::wstring& arguments = {}) {
        setup_.emplace(drv::Process::Launch(setup, TempRoot(), arguments));
        return *setup_;
    }

    // Runs a setup to its end in TempRoot, watching the windows of it and of the installer.
    static Watched RunWatched(const std::wstring& setup, const std::wstring& arguments) {
        return tamrick::test::RunWatched(
            setup, TempRoot(), arguments, kRunTimeout,
            {fs::path(setup).filename().wstring(), L"TamrickInstaller.exe"});
    }

    std::wstring LogPath() const { return TempRoot() + L"部署 日志.log"; }
    std::wstring LogSwitch() const { return L"/LOG=\"" + LogPath() + L"\""; }

    HostFolders folders_{TempRoot()};
    std::wstring addOn_;
    std::optional<drv::Process> setup_;
};

TEST_F(SetupE2E, TheDemoAddOnInstallsFromItsSetupAndLeavesNothingBehind) {
    // The demo add-on is for X7 and 2020: here CorelDRAW 2020 is installed, with the folders of
    // X3's stand-in.
    const StandInControl v2020(TempRoot() + L"host22\\");
    fs::create_directories(v2020.folder());
    v2020.WriteConfig(L"version=22\n" + folders_.Config());
    v2020.ClearLog();
    ASSERT_TRUE(v2020.Install());
    struct Unregister {
        const StandInControl& standIn;
        ~Unregister() { EXPECT_EQ(standIn.Run(L"/UnregServer"), 0u); }
    } unregister{v2020};

    const std::wstring demo = TempRoot() + L"TamrickDemo\\";
    fs::remove_all(demo);
    fs::copy(gDemo, demo, fs::copy_options::recursive);
    fs::create_directories(demo + L"子目录\\深 层");
    drv::WriteFileBytes(demo + L"子目录\\深 层\\说明 文件.txt", "中文内容");
    // A setup carries what the description names: here a file in Chinese sub-folders too.
    drv::WriteFileBytes(demo + L"InstInfo.ini",
                        ReadFile(gDemo / "InstInfo.ini") +
                            "FileItem=c|子目录\\深 层\\说明 文件.txt|1|UserDataPath|\r\n");
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
    EXPECT_EQ(info.text, L"安装成功！\r\n已安装到 CorelDRAW 2020。");
    drv::PressButton(done, IDOK);

    EXPECT_EQ(process.WaitForExit(kRunTimeout), std::optional<DWORD>(0));
    EXPECT_TRUE(SetupFolders().empty()) << "the unpacked folder was left behind";
    EXPECT_EQ(FilesIn(folders_.gms), std::vector<std::wstring>{L"TamrickTools.gms"});
    EXPECT_EQ(FilesIn(folders_.userGms), std::vector<std::wstring>{L"TamrickUser.gms"});
    EXPECT_EQ(FilesIn(folders_.userData),
              (std::vector<std::wstring>{L"TamrickPalette.xml", L"说明 文件.txt"}));
    EXPECT_EQ(FilesIn(folders_.programs), std::vector<std::wstring>{L"TamrickReadme.txt"});
    const std::vector<std::wstring> calls = v2020.LoggedCalls();
    const std::wstring imported = L"22\tApplication.ImportWorkspace\tcall\t" +
                                  unpacked[0].wstring() + L"\\TamrickWorkspace.xml";
    // File names match in any case: Wine hands the installer its folder as the disk spells it.
    EXPECT_NE(std::find_if(calls.begin(), calls.end(),
                           [&](const std::wstring& call) {
                               return _wcsicmp(call.c_str(), imported.c_str()) == 0;
                           }),
              calls.end())
        << ToUtf8(imported);
}

TEST_F(SetupE2E, ADamagedSetupSaysSoOrSilentlyLogsItUnpacksNothingAndEndsWith9) {
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

    const Watched run = RunWatched(cut, L"/S " + LogSwitch());
    EXPECT_EQ(run.code, std::optional<DWORD>(9));
    EXPECT_EQ(run.windows, std::vector<std::wstring>{});
    EXPECT_TRUE(SetupFolders().empty());
    const std::vector<std::wstring> log = LogRecords(LogPath());
    EXPECT_EQ(RecordsOf(log, L"setup\tmessage"),
              std::vector<std::wstring>{L"error\t安装程序已损坏，可能是下载不完整。\\x0D\\x0A"
                                        L"请重新下载安装程序后再运行。"});
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), L"setup\tend\t9\t安装包已损坏");
}

TEST_F(SetupE2E, SilentlyOrFromABatchFileTheSetupPassesItsArgumentsOnAndReturnsTheInstallersCode) {
    const std::wstring setup = PackSmallAddOn();
    const Watched run = RunWatched(setup, L"/S " + LogSwitch());
    EXPECT_EQ(run.code, std::optional<DWORD>(0));
    EXPECT_EQ(run.windows, std::vector<std::wstring>{});
    EXPECT_EQ(ReadFile(folders_.gms + L"a.gms"), "a");
    EXPECT_TRUE(SetupFolders().empty()) << "the unpacked folder was left behind";

    // Both programs' records in one log: the setup's around the installer's.
    const std::vector<std::wstring> log = LogRecords(LogPath());
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log.front(), L"setup\tstart\t1.0.0.30\t" + setup + L"\t/S " + LogSwitch());
    const std::vector<std::wstring> unpacked = RecordsOf(log, L"setup\tunpack");
    ASSERT_EQ(unpacked.size(), 1u);
    EXPECT_EQ(_wcsnicmp(unpacked[0].c_str(), SystemTempPath().c_str(), SystemTempPath().size()), 0)
        << "an administrator's setup unpacks under Windows' temporary folder: "
        << ToUtf8(unpacked[0]);
    EXPECT_TRUE(unpacked[0].ends_with(L"\\\tprotected")) << ToUtf8(unpacked[0]);
    const std::wstring folder = unpacked[0].substr(0, unpacked[0].find(L'\t'));
    EXPECT_EQ(RecordsOf(log, L"setup\trun"),
              std::vector<std::wstring>{folder + L"TamrickInstaller.exe\t/S " + LogSwitch()});
    // The installer knows its own path as the disk spells it.
    const std::vector<std::wstring> installer = RecordsOf(log, L"installer\tstart");
    ASSERT_EQ(installer.size(), 1u);
    EXPECT_EQ(
        _wcsicmp(installer[0].c_str(),
                 (L"1.0.0.30\t" + folder + L"TamrickInstaller.exe\t/S " + LogSwitch()).c_str()),
        0)
        << ToUtf8(installer[0]);
    EXPECT_EQ(RecordsOf(log, L"installer\tend"), std::vector<std::wstring>{L"0\t安装成功"});
    EXPECT_EQ(log.back(), L"setup\tend\t0\t安装成功");

    // A wrong switch is refused before anything is unpacked.
    drv::Process& process = Start(setup, L"/X");
    const HWND box = NextMessageBox(process.pid());
    ASSERT_NE(box, nullptr) << "no usage box";
    const drv::MessageBoxInfo info = drv::ReadMessageBox(box, Icons());
    EXPECT_TRUE(info.text.starts_with(L"无法识别的开关：/X\r\n\r\n用法：")) << ToUtf8(info.text);
    EXPECT_TRUE(SetupFolders().empty()) << "unpacked for a command line it refuses";
    drv::PressButton(box, IDOK);
    EXPECT_EQ(process.WaitForExit(), std::optional<DWORD>(2));

    const Watched silent = RunWatched(setup, L"/S /?");
    EXPECT_EQ(silent.code, std::optional<DWORD>(2));
    EXPECT_TRUE(silent.windows.empty());

    // The batch file of docs/deploying.md, with this test's paths.
    fs::remove(folders_.gms + L"a.gms");
    const std::wstring script = TempRoot() + L"install.bat";
    drv::WriteFileBytes(script, "@echo off\r\n"
                                "start \"\" /wait \"" +
                                    ToUtf8(setup) + "\" /S /LOG=\"" + ToUtf8(TempRoot()) +
                                    "batch.log\"\r\n"
                                    "if %ERRORLEVEL% EQU 0 (echo installed) else (echo failed with "
                                    "%ERRORLEVEL% & exit /b %ERRORLEVEL%)\r\n");
    EXPECT_EQ(RunToEnd(L"cmd /c \"" + script + L"\""), 0u);
    EXPECT_EQ(ReadFile(folders_.gms + L"a.gms"), "a");

    // A failing installation reaches the script's caller with its code, and the setup still
    // removes what it unpacked.
    drv::WriteFileBytes(addOn_ + L"InstInfo.ini", "FileItem=c|missing.gms|1|GMSPath|\r\n");
    ASSERT_EQ(Pack(addOn_, setup, true), 0u);
    EXPECT_EQ(RunToEnd(L"cmd /c \"" + script + L"\""), 4u);
    EXPECT_TRUE(SetupFolders().empty());
}

TEST_F(SetupE2E, ASignedSetupUnpacksIntoAHeldProtectedFolderAndASecondStartEndsWith11) {
    ASSERT_FALSE(gSigned.empty()) << "no signed setup was given";
    ASSERT_TRUE(fs::exists(gSigned));
    const std::wstring setup = gSigned.wstring();
    Start(setup, LogSwitch());
    const HWND window = WaitForInstallerWindow();
    ASSERT_NE(window, nullptr) << "the signed setup did not start the installer";
    EXPECT_EQ(drv::WindowText(window), L"Tamrick 工具箱 演示版");
    const std::vector<fs::path> unpacked = SetupFolders();
    ASSERT_EQ(unpacked.size(), 1u);
    const std::wstring folder = unpacked[0].wstring();
    // An administrator's setup unpacks into a folder only administrators may change.
    EXPECT_EQ(_wcsicmp(unpacked[0].parent_path().wstring().c_str(),
                       SystemTempPath().substr(0, SystemTempPath().size() - 1).c_str()),
              0)
        << ToUtf8(folder);
    EXPECT_EQ(RecordsOf(LogRecords(LogPath()), L"setup\tunpack"),
              std::vector<std::wstring>{folder + L"\\\tprotected"});

    // Wine keeps of the access list only what Unix permissions hold, and enforces none of it:
    // what shows is that everyone's entry, which Wine gives a plain folder, is not there.
    const tamrick::AccessList list = tamrick::ReadAccessList(folder);
    ASSERT_EQ(list.error, 0u);
    for (const tamrick::AccessEntry& entry : list.entries) {
        EXPECT_NE(entry.trustee, L"S-1-1-0") << "everyone may " << std::hex << entry.mask;
    }
    // Held: nobody can move it aside and put another folder in its place meanwhile.
    EXPECT_FALSE(MoveFileW(folder.c_str(), (folder + L"-moved").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    drv::Process second = drv::Process::Launch(setup, TempRoot());
    EXPECT_EQ(second.WaitForExit(10s), std::optional<DWORD>(11))
        << "the second start went on, or did not say so in its code";
    EXPECT_TRUE(drv::VisibleTopLevelWindows(second.pid()).empty());
    EXPECT_EQ(SetupFolders().size(), 1u) << "the second start unpacked too";

    drv::RequestClose(window);
    // Closed before the end: the installer's code, passed on.
    EXPECT_EQ(setup_->WaitForExit(kRunTimeout), std::optional<DWORD>(1));
    EXPECT_TRUE(SetupFolders().empty()) << "the held, protected folder was not removed";
    EXPECT_TRUE(FilesIn(folders_.gms).empty());
}

TEST_F(SetupE2E, AStandardUsersSetupUnpacksIntoTheirTemporaryFolderOrEndsWith10WithoutOne) {
    const std::wstring setup = PackSmallAddOn();
    const std::wstring log = TempRoot() + L"relative.log";
    fs::remove(log);
    EXPECT_EQ(RunWithoutElevation(L"\"" + setup + L"\" /S /LOG=relative.log", TempRoot()),
              std::optional<DWORD>(0));
    EXPECT_EQ(ReadFile(folders_.gms + L"a.gms"), "a");
    EXPECT_TRUE(SetupFolders().empty());
    const std::vector<std::wstring> records = LogRecords(log);
    const std::vector<std::wstring> unpacked = RecordsOf(records, L"setup\tunpack");
    ASSERT_EQ(unpacked.size(), 1u);
    EXPECT_EQ(_wcsnicmp(unpacked[0].c_str(), TempPath().c_str(), TempPath().size()), 0)
        << ToUtf8(unpacked[0]);
    EXPECT_TRUE(unpacked[0].ends_with(L"\\\tplain")) << ToUtf8(unpacked[0]);
    // The installer, started in another folder, wrote into the setup's log.
    EXPECT_EQ(RecordsOf(records, L"setup\tend"), std::vector<std::wstring>{L"0\t安装成功"});
    EXPECT_EQ(RecordsOf(records, L"installer\tend"), std::vector<std::wstring>{L"0\t安装成功"});

    // A temporary folder that is not there: nothing can be unpacked, and the log says why.
    fs::remove_all(folders_.gms);
    fs::create_directories(folders_.gms);
    EXPECT_EQ(RunWithoutElevation(L"\"" + setup + L"\" /S " + LogSwitch(), TempRoot(),
                                  TempRoot() + L"no such temp"),
              std::optional<DWORD>(10));
    const std::vector<std::wstring> messages = RecordsOf(LogRecords(LogPath()), L"setup\tmessage");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(
        messages[0].starts_with(L"error\t无法创建临时文件夹(" + TempRoot() + L"no such temp"))
        << ToUtf8(messages[0]);
    EXPECT_TRUE(FilesIn(folders_.gms).empty());
}

TEST_F(SetupE2E, AnInstallerThatCantBeStartedEndsTheSetupWith12) {
    drv::WriteFileBytes(addOn_ + L"InstInfo.ini", "FileItem=c|a.gms|1|GMSPath|\r\n");
    drv::WriteFileBytes(addOn_ + L"a.gms", "a");
    // Not a program: the system refuses to start it.
    drv::WriteFileBytes(addOn_ + L"TamrickInstaller.exe", "not a program");
    const std::wstring setup = TempRoot() + L"broken-setup.exe";
    ASSERT_EQ(Pack(addOn_, setup, true), 0u);
    const Watched run = RunWatched(setup, L"/S " + LogSwitch());
    EXPECT_EQ(run.code, std::optional<DWORD>(12));
    EXPECT_TRUE(run.windows.empty());
    const std::vector<std::wstring> log = LogRecords(LogPath());
    const std::vector<std::wstring> messages = RecordsOf(log, L"setup\tmessage");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].starts_with(L"error\t无法启动安装程序(")) << ToUtf8(messages[0]);
    EXPECT_EQ(log.back(), L"setup\tend\t12\t无法启动安装程序");
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
