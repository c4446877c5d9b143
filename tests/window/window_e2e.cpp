// The installer window as a person sees it: title, frame, banner, the banner's link, and
// closing it. The real installer runs under Wine and is driven from outside.
//
// Arguments: the installer, a work folder, the folder for artefacts (the screenshot), the
// test data folder, the https logger.

#include "driver/driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
namespace drv = tamrick::driver;

namespace {

struct Paths {
    fs::path installer;
    fs::path work;
    fs::path artifacts;
    fs::path data;
    fs::path urlLogger;
};
Paths gPaths; // set from the command line, read-only afterwards

const std::wstring kProgramTitle = L"Tamrick Installer";
const std::wstring kInstallCaption = L"点这里开始安装";
const std::string kWebPage = TAMRICK_WEB_PAGE;

// A description with one file item and, when given, a title and a banner name.
std::string Description(const std::string& title = {}, const std::string& picture = {}) {
    std::string text;
    if (!title.empty()) {
        text += "SetupTitle=" + title + "\r\n";
    }
    if (!picture.empty()) {
        text += "FlagsPicture=" + picture + "\r\n";
    }
    return text + "FileItem=c|TamrickTools.gms|1|GMSPath|正在安装宏工程...\r\n";
}

// A fresh add-on folder with a copy of the installer and the description.
fs::path AddOnFolder(const std::string& name, const std::string& description) {
    const fs::path folder = gPaths.work / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(gPaths.installer, folder / "TamrickInstaller.exe");
    drv::WriteFileBytes(folder / "InstInfo.ini", description);
    return folder;
}

std::uint32_t WindowColour() {
    const COLORREF c = GetSysColor(COLOR_BTNFACE);
    return (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
           (static_cast<std::uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}

// How many pixels of a rectangle (in the capture) differ from a colour.
int CountOther(const drv::Capture& c, RECT r, std::uint32_t colour) {
    int count = 0;
    for (LONG y = r.top; y < r.bottom; ++y) {
        for (LONG x = r.left; x < r.right; ++x) {
            count += c.at(static_cast<int>(x), static_cast<int>(y)) != colour ? 1 : 0;
        }
    }
    return count;
}

struct Running {
    drv::Process process;
    HWND window = nullptr;
};

// Starts the installer in the folder and waits for its window, idle and painted.
Running StartAndWaitForWindow(const fs::path& folder) {
    Running r{drv::Process::Launch(folder / "TamrickInstaller.exe", folder), nullptr};
    const auto window = drv::WaitForWindow(r.process.pid());
    if (window) {
        r.window = *window;
        drv::WaitForIdle(r.window);
        // Keep the pointer (and a tooltip) off the window.
        drv::MoveMouseTo({0, 0});
    }
    return r;
}

std::optional<drv::Control> BannerControl(HWND window) {
    return drv::FindChild(window, L"Static");
}
// What the banner shows, once the screen shows the window's own drawing.
drv::Capture CaptureBanner(HWND window) {
    const auto banner = BannerControl(window);
    return banner ? drv::CaptureSettled(window, banner->rect) : drv::Capture{};
}

// --- Layout and title ----------------------------------------------------------------------

// The sizes and places, scaled, are window_dpi's (dpi_e2e.cpp).
TEST(Window, TitleIsTheDescriptionsSetupTitleInAFixedFrameCentredOnTheScreen) {
    const std::string title = "Tamrick 工具箱  演示版 1.0 (测试)";
    Running r = StartAndWaitForWindow(AddOnFolder("title", Description(title)));
    ASSERT_TRUE(r.window) << "no window";
    EXPECT_EQ(drv::WindowText(r.window), L"Tamrick 工具箱  演示版 1.0 (测试)");

    const auto button = drv::FindChild(r.window, L"Button");
    ASSERT_TRUE(button);
    EXPECT_EQ(button->text, kInstallCaption);
    EXPECT_TRUE(button->enabled);
    // Enter presses it.
    EXPECT_EQ(button->style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    const auto banner = BannerControl(r.window);
    ASSERT_TRUE(banner);
    EXPECT_EQ(banner->style & (WS_BORDER | SS_SUNKEN), 0) << "the banner has no frame";

    const LONG style = GetWindowLongW(r.window, GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    const RECT frame = drv::WindowRectOnScreen(r.window);
    EXPECT_NEAR(frame.left + (frame.right - frame.left) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR(frame.top + (frame.bottom - frame.top) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

    // What it looks like, to look at: the window, and with the pointer over the banner, its
    // tooltip.
    fs::create_directories(gPaths.artifacts);
    drv::SaveBmp(drv::CaptureWindow(r.window), gPaths.artifacts / "window.bmp");
    drv::MoveMouseTo({banner->rect.left + 60, banner->rect.top + 30});
    const auto tip = drv::WaitForWindowOfClass(r.process.pid(), L"tooltips_class32");
    ASSERT_TRUE(tip) << "no tooltip over the banner";
    RECT area = frame;
    const RECT tip_rect = drv::WindowRectOnScreen(*tip);
    UnionRect(&area, &area, &tip_rect);
    // The window was settled above; the tooltip is what is new.
    drv::SaveBmp(drv::CaptureSettled(*tip, area), gPaths.artifacts / "window-tooltip.bmp");
    drv::MoveMouseTo({0, 0});
}

// --- The banner ---------------------------------------------------------------------------------

TEST(Banner, WithoutABannerFileTheDesignTimeBannerShows) {
    const drv::Capture designTime = [] {
        Running r = StartAndWaitForWindow(AddOnFolder("design-time", Description()));
        return r.window ? CaptureBanner(r.window) : drv::Capture{};
    }();
    ASSERT_EQ(designTime.width, 420);
    ASSERT_EQ(designTime.height, 78);
    // The dark teal pattern, not an empty area.
    EXPECT_GT(CountOther(designTime, {0, 0, 420, 78}, WindowColour()), 420 * 78 / 2);

    // A hidden banner file or a folder of the banner's name is no banner file.
    for (const bool hidden : {true, false}) {
        const fs::path folder = AddOnFolder(hidden ? "hidden" : "folder", Description());
        if (hidden) {
            fs::copy_file(gPaths.data / "small.png", folder / "flags.bmp");
            ASSERT_TRUE(SetFileAttributesW((folder / "flags.bmp").c_str(), FILE_ATTRIBUTE_HIDDEN));
        } else {
            fs::create_directory(folder / "flags.bmp");
        }
        Running r = StartAndWaitForWindow(folder);
        ASSERT_TRUE(r.window);
        EXPECT_EQ(CaptureBanner(r.window).pixels, designTime.pixels) << folder;
    }
}

// Which formats load, cut to the banner area from the top left, and the same way with or
// without WIC: picture_test.cpp.
TEST(Banner, APngFileNamedByFlagsPictureReplacesItAndASmallerOneLeavesTheWindowColour) {
    const fs::path folder = AddOnFolder("png", Description({}, "标志.png"));
    fs::copy_file(gPaths.data / "small.png", folder / L"标志.png");
    Running r = StartAndWaitForWindow(folder);
    ASSERT_TRUE(r.window);
    const auto shown = CaptureBanner(r.window);
    ASSERT_EQ(shown.width, 420);
    EXPECT_EQ(CountOther(shown, {0, 0, 100, 40}, 0x3366CC), 0);
    EXPECT_EQ(CountOther(shown, {100, 0, 420, 78}, WindowColour()), 0);
    EXPECT_EQ(CountOther(shown, {0, 40, 100, 78}, WindowColour()), 0);
}

TEST(BannerError, ATextFileNamedAsTheBannerEndsWithTheUnhandledErrorReportAndNoWindow) {
    static const drv::IconReader icons = drv::IconReader::Calibrate();
    const fs::path folder = AddOnFolder("not-a-picture", Description());
    drv::WriteFileBytes(folder / "flags.bmp", "This is not a picture.\r\n");
    drv::Process p = drv::Process::Launch(folder / "TamrickInstaller.exe", folder);
    const auto box = drv::WaitForMessageBox(p.pid());
    ASSERT_TRUE(box) << "no message box";
    const auto info = drv::ReadMessageBox(*box, icons);
    EXPECT_EQ(info.title, kProgramTitle);
    EXPECT_EQ(info.text, L"运行时错误 '481':\r\n\r\n图片无效");
    EXPECT_STREQ(drv::ToString(info.icon), "error");
    ASSERT_EQ(info.buttons.size(), 1u);
    EXPECT_EQ(info.buttons[0].id, IDOK);
    // The message box is all there is: the window was never shown.
    for (HWND w : drv::VisibleTopLevelWindows(p.pid())) {
        EXPECT_EQ(drv::WindowClass(w), L"#32770");
    }
    drv::PressButton(*box, IDOK);
    EXPECT_TRUE(p.WaitForExit().has_value());
}

// --- The banner's link
// ----------------------------------------------------------------------------

// Registers the logger as the https handler of this Wine prefix for the test's duration.
class BannerLink : public ::testing::Test {
  protected:
    void SetUp() override {
        log_ = gPaths.urlLogger.parent_path() / "url_log.txt";
        fs::remove(log_);
        const std::wstring command = L"\"" + gPaths.urlLogger.wstring() + L"\" \"%1\"";
        ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, L"https\\shell\\open\\command", nullptr,
                                  REG_SZ, command.c_str(),
                                  static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CLASSES_ROOT, L"https\\shell\\open\\command"); }

    // Waits until the logger has written that many addresses.
    std::vector<std::string> WaitForOpened(size_t count) const {
        std::vector<std::string> lines;
        drv::WaitUntil([&] {
            std::ifstream in(log_, std::ios::binary);
            lines.clear();
            for (std::string line; std::getline(in, line);) {
                lines.push_back(line);
            }
            return lines.size() >= count;
        });
        return lines;
    }

    fs::path log_;
};

TEST_F(BannerLink, EachClickOpensTheWebPageAndChangesNothingElse) {
    Running r = StartAndWaitForWindow(AddOnFolder("link", Description("链接")));
    ASSERT_TRUE(r.window);
    const auto banner = BannerControl(r.window);
    ASSERT_TRUE(banner);
    const RECT p = drv::RectInClient(r.window, banner->rect);
    const auto before = drv::ChildControls(r.window);

    // Points far apart, so that no two clicks make a double click.
    const POINT points[] = {
        {p.left + 30, p.top + 20}, {p.left + 200, p.top + 60}, {p.left + 400, p.top + 10}};
    size_t clicks = 0;
    for (const POINT& point : points) {
        drv::ClickAt(r.window, point);
        ++clicks;
        const auto opened = WaitForOpened(clicks);
        ASSERT_EQ(opened.size(), clicks);
        EXPECT_EQ(opened.back(), kWebPage);
    }
    drv::MoveMouseTo({0, 0});
    drv::WaitForIdle(r.window);

    EXPECT_TRUE(r.process.running());
    EXPECT_EQ(drv::VisibleTopLevelWindows(r.process.pid()), std::vector<HWND>{r.window});
    EXPECT_EQ(drv::WindowText(r.window), L"链接");
    const auto after = drv::ChildControls(r.window);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].text, before[i].text);
        EXPECT_EQ(after[i].enabled, before[i].enabled);
        EXPECT_TRUE(EqualRect(&after[i].rect, &before[i].rect));
    }
}

// --- Closing
// ----------------------------------------------------------------------------------------

struct CloseWay {
    const char* name;
    void (*close)(HWND);
};

class Closing : public ::testing::TestWithParam<CloseWay> {};

TEST_P(Closing, BeforeAnyRunEndsTheProgramWithoutAMessage) {
    const fs::path folder = AddOnFolder(std::string("close-") + GetParam().name, Description());
    Running r = StartAndWaitForWindow(folder);
    ASSERT_TRUE(r.window);
    GetParam().close(r.window);
    // A message box would hold the program until someone answered it. Closed before the end.
    EXPECT_EQ(r.process.WaitForExit(), std::optional<DWORD>(1));
    // Nothing was written beside the installer.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

INSTANTIATE_TEST_SUITE_P(Window, Closing,
                         ::testing::Values(CloseWay{"CloseButton", drv::RequestClose},
                                           CloseWay{"CloseMessage", drv::PostCloseMessage},
                                           CloseWay{"AltF4", [](HWND w) { drv::PressAltF4(w); }}),
                         [](const auto& test) { return std::string(test.param.name); });

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 6) {
        std::fprintf(stderr, "usage: window_e2e INSTALLER WORK ARTIFACTS DATA URL_LOGGER\n");
        return 2;
    }
    gPaths = {drv::FromUnixPath(argv[1]), drv::FromUnixPath(argv[2]), drv::FromUnixPath(argv[3]),
              drv::FromUnixPath(argv[4]), drv::FromUnixPath(argv[5])};
    return RUN_ALL_TESTS();
}
