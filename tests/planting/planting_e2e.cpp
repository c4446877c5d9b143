// DLLs planted beside the installer under the names of system DLLs, with Wine told to prefer a
// DLL in the program's folder (as Windows does for every DLL outside its known list): a whole
// installation runs, and none of them is ever loaded.

#include "base/text_encoding.h"
#include "driver/driver.h"
#include "tests/support/standin_control.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
namespace drv = tamrick::driver;
using namespace tamrick::test;
using namespace std::chrono_literals;

namespace {

constexpr int kCmdInstallId = 1001;

struct Paths {
    fs::path installer;
    fs::path planted; // the DLL that leaves a marker when loaded
    fs::path probe;   // a program that imports comctl32, as the installer once did
    fs::path banner;  // a PNG, so that the picture code runs
    fs::path setup;   // a setup file made by instinfo pack; empty where this build has none
    std::vector<std::wstring> names;
};
Paths gPaths; // set from the command line, read-only afterwards

std::wstring TempRoot() {
    return TestTempFolder(L"planting");
}

// A fresh folder holding the program and a planted copy under each name.
fs::path FolderWithPlanted(const std::wstring& name, const fs::path& program,
                           const std::vector<std::wstring>& names) {
    const fs::path folder = TempRoot() + name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(program, folder / program.filename());
    for (const std::wstring& dll : names) {
        fs::copy_file(gPaths.planted, folder / (dll + L".dll"));
    }
    return folder;
}

std::vector<std::wstring> Markers(const fs::path& folder) {
    std::vector<std::wstring> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == L".loaded") {
            found.push_back(entry.path().stem().wstring());
        }
    }
    return found;
}

TEST(Planting, TheHarnessSeesAPlantedDllWhereAProgramImportsTheCommonControls) {
    // The common controls themselves come from the system: they load uxtheme.
    const fs::path folder = FolderWithPlanted(L"probe", gPaths.probe, {L"uxtheme"});
    drv::Process probe = drv::Process::Launch(folder / gPaths.probe.filename(), folder);
    ASSERT_TRUE(probe.WaitForExit(30s)) << "the probe did not end";
    EXPECT_FALSE(Markers(folder).empty())
        << "Wine did not prefer the planted DLLs: this test would see nothing";
}

TEST(Planting, AWholeInstallationLoadsNothingFromTheProgramsFolder) {
    QuitStandIns();
    ASSERT_TRUE(StandIn().Install());
    const HostFolders folders(TempRoot());
    folders.Recreate();
    StandIn().WriteConfig(folders.Config());

    const fs::path folder = FolderWithPlanted(L"addon", gPaths.installer, gPaths.names);
    fs::copy_file(gPaths.banner, folder / "banner.png");
    drv::WriteFileBytes(folder / "Tools.gms", "macros");
    drv::WriteFileBytes(folder / "Workspace.xml", "<workspace/>");
    drv::WriteFileBytes(folder / "InstInfo.ini",
                        "SetupTitle=Planting\r\nFlagsPicture=banner.png\r\n"
                        "FileItem=c|Tools.gms|1|GMSPath|\r\n"
                        "FileItem=c|Workspace.xml|1|ImportWorkspace|\r\n");

    drv::Process installer = drv::Process::Launch(folder / gPaths.installer.filename(), folder);
    const auto window = drv::WaitForWindowOfClass(installer.pid(), L"TamrickInstallerWindow");
    ASSERT_TRUE(window) << "the installer window did not open";
    drv::PressButton(*window, kCmdInstallId);
    const HWND confirm = NextMessageBox(installer.pid());
    ASSERT_NE(confirm, nullptr) << "no confirmation";
    drv::PressButton(confirm, IDOK);
    const HWND done = NextMessageBox(installer.pid(), confirm);
    ASSERT_NE(done, nullptr) << "the run showed no final message";
    drv::PressButton(done, IDOK);
    EXPECT_EQ(installer.WaitForExit(30s), std::optional<DWORD>(0)) << "the installation failed";
    QuitStandIns();

    EXPECT_TRUE(fs::exists(folders.gms + L"Tools.gms")) << "the installation did not run";
    EXPECT_EQ(Markers(folder), std::vector<std::wstring>{}) << "loaded from the program's folder";
}

TEST(Planting, TheSetupFileLoadsNothingFromItsFolder) {
    if (gPaths.setup.empty()) {
        GTEST_SKIP() << "this build has no setup program";
    }
    const fs::path folder = FolderWithPlanted(L"setup", gPaths.setup, gPaths.names);
    drv::Process setup = drv::Process::Launch(folder / gPaths.setup.filename(), folder);
    // It unpacks and starts the installer from its own temporary folder; closing that ends both.
    const HWND installer = WaitForWindowNamed(L"TamrickInstallerWindow", 30s);
    ASSERT_NE(installer, nullptr) << "the setup did not start the installer";
    drv::PostCloseMessage(installer);
    EXPECT_TRUE(setup.WaitForExit(30s)) << "the setup did not end";
    EXPECT_EQ(Markers(folder), std::vector<std::wstring>{}) << "loaded from the setup's folder";
}

} // namespace

// planting_e2e INSTALLER PLANTED_DLL PROBE BANNER SETUP|- NAME...
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 7) {
        std::fprintf(stderr,
                     "usage: planting_e2e INSTALLER PLANTED PROBE BANNER SETUP|- NAME...\n");
        return 2;
    }
    gPaths.installer = drv::FromUnixPath(argv[1]);
    gPaths.planted = drv::FromUnixPath(argv[2]);
    gPaths.probe = drv::FromUnixPath(argv[3]);
    gPaths.banner = drv::FromUnixPath(argv[4]);
    if (std::string(argv[5]) != "-") {
        gPaths.setup = drv::FromUnixPath(argv[5]);
    }
    for (int i = 6; i < argc; ++i) {
        gPaths.names.push_back(fs::path(argv[i]).wstring());
    }
    return RUN_ALL_TESTS();
}
