// Start-up of the installer as a person sees it: the message for a missing description, the
// silent end without file items, and one instance per executable.

#include "base/text_encoding.h"
#include "driver/driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>

namespace fs = std::filesystem;
namespace drv = tamrick::driver;
using namespace std::chrono_literals;

namespace {

fs::path gInstaller; // set from the command line, read-only afterwards
fs::path gWork;

const drv::IconReader& Icons() {
    static const drv::IconReader reader = drv::IconReader::Calibrate();
    return reader;
}

// A fresh add-on folder holding a copy of the installer.
fs::path AddOnFolder(const std::string& name) {
    const fs::path folder = gWork / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(gInstaller, folder / "TamrickInstaller.exe");
    return folder;
}

drv::Process Start(const fs::path& folder) {
    return drv::Process::Launch(folder / "TamrickInstaller.exe", folder);
}

// Watches a process until it ends and tells which visible windows it ever showed, besides one
// that is known to be closing.
std::set<std::wstring> WindowsShownUntilExit(const drv::Process& p, std::optional<DWORD>& code,
                                             HWND closing = nullptr) {
    std::set<std::wstring> seen;
    const auto deadline = std::chrono::steady_clock::now() + drv::kDefaultTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        for (HWND w : drv::VisibleTopLevelWindows(p.pid())) {
            if (w == closing) {
                continue;
            }
            try {
                seen.insert(drv::WindowClass(w) + L" " + drv::WindowText(w));
            } catch (const std::exception&) {
                // Gone between listing and reading: it was shown all the same.
                seen.insert(L"(a window that closed)");
            }
        }
        code = p.WaitForExit(10ms);
        if (code) {
            break;
        }
    }
    return seen;
}

const std::wstring kMissingText = L"缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。";

} // namespace

TEST(Startup, AMissingDescriptionShowsTheMessageAndEndsWithoutAWindow) {
    const fs::path folder = AddOnFolder("missing");
    drv::Process p = Start(folder);
    const auto box = drv::WaitForMessageBox(p.pid());
    ASSERT_TRUE(box) << "no message box";
    const auto info = drv::ReadMessageBox(*box, Icons());
    EXPECT_EQ(info.title, L"Tamrick Installer");
    EXPECT_EQ(info.text, kMissingText);
    EXPECT_EQ(info.icon, drv::IconKind::Error) << drv::ToString(info.icon);
    ASSERT_EQ(info.buttons.size(), 1u);
    EXPECT_EQ(info.buttons[0].id, IDOK);
    EXPECT_EQ(drv::VisibleTopLevelWindows(p.pid()).size(), 1u) << "only the message box shows";

    drv::PressButton(*box, IDOK);
    std::optional<DWORD> code;
    const auto seen = WindowsShownUntilExit(p, code, *box);
    ASSERT_TRUE(code) << "the program did not end after OK";
    EXPECT_EQ(*code, 7u) << "no description";
    for (const auto& w : seen) {
        ADD_FAILURE() << "a window after OK: " << tamrick::ToUtf8(w);
    }
}

TEST(Startup, ADescriptionWithoutFileItemsEndsSilently) {
    const fs::path folder = AddOnFolder("noitems");
    drv::WriteFileBytes(folder / "InstInfo.ini",
                        "[Setup]\r\nSetupTitle=Demo\r\nFlagsPicture=flags.bmp\r\n"
                        "; fileitem=c|a.gms|1|gmspath|x\r\n");
    drv::Process p = Start(folder);
    std::optional<DWORD> code;
    const auto seen = WindowsShownUntilExit(p, code);
    ASSERT_TRUE(code) << "the program did not end";
    EXPECT_EQ(*code, 7u) << "no file items has a code of its own";
    EXPECT_TRUE(seen.empty()) << "it showed " << tamrick::ToUtf8(*seen.begin());
}

TEST(Startup, AFolderNamedInstInfoEndsSilently) {
    const fs::path folder = AddOnFolder("folder");
    fs::create_directory(folder / "InstInfo.ini");
    drv::Process p = Start(folder);
    std::optional<DWORD> code;
    const auto seen = WindowsShownUntilExit(p, code);
    ASSERT_TRUE(code) << "the program did not end";
    EXPECT_EQ(*code, 7u);
    EXPECT_TRUE(seen.empty()) << "it showed " << tamrick::ToUtf8(*seen.begin());
}

TEST(Startup, ASecondStartOfTheSameExecutableEndsAtOnceButAnotherAddOnStarts) {
    // The first copy stays alive while it shows its message.
    const fs::path first = AddOnFolder("lock-a");
    drv::Process a = Start(first);
    const auto boxA = drv::WaitForMessageBox(a.pid());
    ASSERT_TRUE(boxA);

    drv::Process again = Start(first);
    std::optional<DWORD> code;
    const auto seen = WindowsShownUntilExit(again, code);
    ASSERT_TRUE(code) << "the second start did not end";
    EXPECT_EQ(*code, 8u) << "another instance is running: its own code";
    EXPECT_TRUE(seen.empty()) << "the second start showed a window";
    EXPECT_TRUE(a.running()) << "the first copy was disturbed";
    EXPECT_EQ(drv::VisibleTopLevelWindows(a.pid()).size(), 1u);

    // The same program in another add-on folder is another installer.
    const fs::path other = AddOnFolder("lock-b");
    drv::Process b = Start(other);
    const auto boxB = drv::WaitForMessageBox(b.pid());
    ASSERT_TRUE(boxB) << "a different add-on folder was blocked";
    EXPECT_EQ(drv::ReadMessageBox(*boxB, Icons()).text, kMissingText);

    drv::PressButton(*boxB, IDOK);
    drv::PressButton(*boxA, IDOK);
    EXPECT_TRUE(a.WaitForExit());
    EXPECT_TRUE(b.WaitForExit());
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: startup_e2e INSTALLER.exe WORK-FOLDER\n");
        return 2;
    }
    gInstaller = drv::FromUnixPath(argv[1]);
    gWork = drv::FromUnixPath(argv[2]);
    fs::create_directories(gWork);
    return RUN_ALL_TESTS();
}
