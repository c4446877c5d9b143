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

} // namespace

TEST(WindowDpi, EveryPartGrowsWithTheDisplay) {
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

    // Each part, as it is at 96 DPI, looks as much larger as the text does, in the same place;
    // a pixel either way is the rounding's.
    const double factor = dpi / 96.0;
    const RECT client = drv::ClientRectOnScreen(*window);
    const struct {
        const wchar_t* control; // none: the client area
        RECT designed;
    } parts[] = {{nullptr, {0, 0, 432, 158}},
                 {L"Button", {56, 103, 385, 144}},
                 {L"Static", {5, 5, 425, 83}}};
    for (const auto& part : parts) {
        RECT shown{0, 0, client.right - client.left, client.bottom - client.top};
        if (part.control) {
            const auto control = drv::FindChild(*window, part.control);
            ASSERT_TRUE(control);
            shown = drv::RectInClient(*window, control->rect);
        }
        EXPECT_NEAR(shown.left, part.designed.left * factor, 1);
        EXPECT_NEAR(shown.top, part.designed.top * factor, 1);
        EXPECT_NEAR(shown.right, part.designed.right * factor, 1);
        EXPECT_NEAR(shown.bottom, part.designed.bottom * factor, 1);
    }

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
