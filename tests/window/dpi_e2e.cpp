// The window at a higher DPI (the prefix's display runs at 150 %): every size scales by the
// same factor. The picture it leaves shows the text drawn at that size, not blown up.

#include "driver/driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;
namespace drv = tamrick::driver;

namespace {

fs::path gInstaller; // set from the command line, read-only afterwards
fs::path gWork;
int gExpectedDpi = 0;

int Scaled(int designed, int dpi) {
    return MulDiv(designed, dpi, 96);
}

int Width(const RECT& r) {
    return r.right - r.left;
}
int Height(const RECT& r) {
    return r.bottom - r.top;
}

} // namespace

TEST(WindowDpi, EverySizeScalesWithTheDisplay) {
    const tamrick::UniqueScreenDc screen(GetDC(nullptr));
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    ASSERT_EQ(dpi, gExpectedDpi) << "the prefix does not run at the DPI this test is for";

    const fs::path folder = gWork / "dpi";
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(gInstaller, folder / "TamrickInstaller.exe");
    drv::WriteFileBytes(folder / "InstInfo.ini", "fileitem=c|a.gms|1|gmspath|\r\n");
    const drv::Process process = drv::Process::Launch(folder / "TamrickInstaller.exe", folder);
    const auto window = drv::WaitForWindowOfClass(process.pid(), L"TamrickInstallerWindow");
    ASSERT_TRUE(window) << "no window";
    drv::WaitForIdle(*window);

    const RECT client = drv::ClientRectOnScreen(*window);
    EXPECT_EQ(Width(client), Scaled(432, dpi));
    EXPECT_EQ(Height(client), Scaled(158, dpi));

    const auto button = drv::FindChild(*window, L"Button");
    ASSERT_TRUE(button);
    const RECT b = drv::RectInClient(*window, button->rect);
    EXPECT_EQ(b.left, Scaled(56, dpi));
    EXPECT_EQ(b.top, Scaled(103, dpi));
    EXPECT_EQ(Width(b), Scaled(329, dpi));
    EXPECT_EQ(Height(b), Scaled(41, dpi));

    const auto banner = drv::FindChild(*window, L"Static");
    ASSERT_TRUE(banner);
    const RECT p = drv::RectInClient(*window, banner->rect);
    EXPECT_EQ(p.left, Scaled(5, dpi));
    EXPECT_EQ(p.top, Scaled(5, dpi));
    EXPECT_EQ(Width(p), Scaled(420, dpi));
    EXPECT_EQ(Height(p), Scaled(78, dpi));

    drv::MoveMouseTo({0, 0});
    drv::SaveBmp(drv::CaptureWindow(*window), gWork / "window-150.bmp");
    drv::RequestClose(*window);
    EXPECT_TRUE(process.WaitForExit());
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: dpi_e2e INSTALLER.exe WORK-FOLDER DPI\n");
        return 2;
    }
    gInstaller = drv::FromUnixPath(argv[1]);
    gWork = drv::FromUnixPath(argv[2]);
    gExpectedDpi = std::atoi(argv[3]);
    fs::create_directories(gWork);
    return RUN_ALL_TESTS();
}
