#include "run_fixture.h"

#include <cstdio>

namespace fs = std::filesystem;
namespace drv = tamrick::driver;

namespace tamrick::test {
namespace {

// Set from the command line, read-only afterwards.
fs::path& Installer() {
    static fs::path installer;
    return installer;
}

} // namespace

std::wstring TempRoot() {
    return TestTempFolder(L"run");
}

void RunE2E::SetUpTestSuite() {
    QuitStandIns();
    fs::remove_all(TempRoot());
    fs::create_directories(TempRoot());
    ASSERT_TRUE(StandIn().Install());
}

void RunE2E::SetUp() {
    QuitStandIns();
    StandIn().ClearLog();
    StandIn().WriteConfig(folders_.Config());
    folders_.Recreate();
    addOn_ = TempRoot() + L"addon\\";
    fs::remove_all(addOn_);
    fs::create_directories(addOn_);
    fs::copy_file(Installer(), addOn_ + L"TamrickInstaller.exe");
    fs::remove_all(fs::path(LogPath()).parent_path());
    fs::create_directories(fs::path(LogPath()).parent_path());
}

void RunE2E::TearDown() {
    QuitStandIns();
    for (const auto& [major, version] : versions_) {
        EXPECT_EQ(version->standIn.Run(L"/UnregServer"), 0u) << "version " << major;
    }
}

const Version& RunE2E::Install(int major) {
    auto version = std::make_unique<Version>(StandIn().built(), major);
    fs::remove_all(version->folder);
    fs::create_directories(version->folder);
    version->standIn.WriteConfig(L"version=" + std::to_wstring(major) + L"\n" +
                                 version->folders.Config());
    EXPECT_TRUE(version->standIn.Install()) << "version " << major;
    version->folders.Recreate();
    return *(versions_[major] = std::move(version));
}

void RunE2E::Description(const std::string& utf8) {
    drv::WriteFileBytes(addOn_ + L"InstInfo.ini", utf8);
}

void RunE2E::AddOnFile(const std::wstring& name, const std::string& content) {
    drv::WriteFileBytes(addOn_ + name, content);
}

HWND RunE2E::Start(const std::wstring& arguments) {
    process_.emplace(drv::Process::Launch(addOn_ + L"TamrickInstaller.exe", addOn_, arguments));
    const auto window = drv::WaitForWindowOfClass(process_->pid(), L"TamrickInstallerWindow");
    if (!window) {
        ADD_FAILURE() << "the installer window did not open";
        return nullptr;
    }
    return *window;
}

drv::Control RunE2E::Button(HWND window) const {
    // A window that is gone has no button: the case fails on what it reads, it does not crash.
    return drv::FindChild(window, L"Button").value_or(drv::Control{});
}

drv::MessageBoxInfo RunE2E::ClickAndAnswer(HWND window, int answer) {
    drv::PressButton(window, kCmdInstallId);
    confirm_ = NextMessageBox(process_->pid());
    EXPECT_NE(confirm_, nullptr) << "no confirmation";
    if (confirm_ == nullptr) {
        return {};
    }
    drv::MessageBoxInfo info = drv::ReadMessageBox(confirm_, Icons());
    drv::PressButton(confirm_, answer);
    return info;
}

drv::MessageBoxInfo RunE2E::FinalMessage(HWND window, std::wstring* caption) {
    const HWND box = NextMessageBox(process_->pid(), confirm_, kRunTimeout);
    EXPECT_NE(box, nullptr) << "the run showed no final message";
    if (box == nullptr) {
        return {};
    }
    drv::MessageBoxInfo info = drv::ReadMessageBox(box, Icons());
    if (caption != nullptr) {
        *caption = Button(window).text;
    }
    drv::PressButton(box, IDOK);
    exitCode_ = process_->WaitForExit();
    EXPECT_TRUE(exitCode_) << "the program did not end after the final message";
    return info;
}

int RunTestMain(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s INSTALLER.exe\n", argc > 0 ? argv[0] : "run_e2e");
        return 2;
    }
    Installer() = drv::FromUnixPath(argv[1]);
    return RUN_ALL_TESTS();
}

} // namespace tamrick::test
