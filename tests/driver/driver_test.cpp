// The driver itself: what the end-to-end tests rely on it to see and do.
#include "base/text_encoding.h"
#include "driver/driver.h"
#include "held_back_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tamrick::driver {
namespace {

// What a watch saw of a run of the window maker in `mode`: its own windows only.
std::vector<WindowWatch::Seen> Watch(const std::wstring& mode) {
    Process maker = Process::LaunchSuspended(OwnFolder() / "window_maker.exe", OwnFolder(), mode);
    WindowWatch watch(maker.pid());
    maker.Resume();
    EXPECT_EQ(maker.WaitForExit(), std::optional<DWORD>(0));
    return watch.Stop();
}

bool SawMakersWindow(const std::vector<WindowWatch::Seen>& seen) {
    return std::ranges::any_of(seen, [](const WindowWatch::Seen& window) {
        return window.class_name == L"WindowMakerWindow" && window.top_level;
    });
}

TEST(WindowWatch, SeesAWindowShownForAMomentOrNeverAndNothingOfAProgramWithoutWindows) {
    EXPECT_TRUE(SawMakersWindow(Watch(L"flash")));
    const auto hidden = Watch(L"hidden");
    EXPECT_TRUE(SawMakersWindow(hidden));
    for (const WindowWatch::Seen& window : hidden) {
        EXPECT_FALSE(window.visible) << tamrick::ToUtf8(window.class_name);
    }
    const auto none = Watch(L"none");
    EXPECT_TRUE(none.empty()) << tamrick::ToUtf8(none.front().class_name);
}

TEST(DriverMessageBox, ReadsTitleTextButtonsAndEachIconKind) {
    const IconReader icons = IconReader::Calibrate();
    const std::pair<UINT, const char*> cases[] = {{MB_ICONERROR, "error"},
                                                  {MB_ICONWARNING, "warning"},
                                                  {MB_ICONINFORMATION, "information"},
                                                  {MB_ICONQUESTION, "question"},
                                                  {0, "none"}};
    for (const auto& [flag, expected] : cases) {
        // Shown by another process, read as a test would, and its last button pressed.
        MessageBoxInfo info;
        const int pressed =
            ShowMessageBox(L"第一行\r\n第二行", L"Driver test", MB_OKCANCEL | flag, [&](HWND box) {
                info = ReadMessageBox(box, icons);
                return info.buttons.empty() ? IDOK : info.buttons.back().id;
            });
        EXPECT_EQ(info.title, L"Driver test");
        EXPECT_EQ(info.text, L"第一行\r\n第二行");
        ASSERT_EQ(info.buttons.size(), 2u);
        EXPECT_EQ(info.buttons[0].id, IDOK);
        EXPECT_EQ(info.buttons[1].id, IDCANCEL);
        EXPECT_STREQ(ToString(info.icon), expected);
        EXPECT_EQ(pressed, IDCANCEL);
    }
}

TEST(DriverProcess, ReportsTheExitCodeOfAProgramThatEnded) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const auto process =
        Process::Launch(std::filesystem::path(system) / L"cmd.exe", system, L"/c exit 7");
    EXPECT_EQ(process.WaitForExit(), std::optional<DWORD>(7));
    EXPECT_FALSE(process.running());
}

// held_back_window.exe's window: on the screen, answering, but painting only once let go.
class HeldBackWindow {
  public:
    HeldBackWindow()
        : name_(L"tamrick-held-back-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++count_)),
          go_(CreateEventW(nullptr, TRUE, FALSE, name_.c_str())),
          process_(Process::Launch(OwnFolder() / L"held_back_window.exe", OwnFolder(), name_)) {
        if (const auto window = WaitForWindowOfClass(process_.pid(), test::kHeldBackClass)) {
            hwnd_ = *window;
        }
    }
    // Ending process_ ends the window.
    ~HeldBackWindow() { LetItPaint(); }
    HeldBackWindow(const HeldBackWindow&) = delete;
    HeldBackWindow& operator=(const HeldBackWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    void LetItPaint() const { SetEvent(go_.get()); }

  private:
    static inline int count_ = 0; // a fresh event for each window
    std::wstring name_;
    UniqueHandle go_;
    Process process_;
    HWND hwnd_ = nullptr;
};

TEST(DriverPictures, ASettledCaptureWaitsForTheWindowsOwnDrawingUpToTheBound) {
    HeldBackWindow window;
    ASSERT_NE(window.hwnd(), nullptr);
    // The window answers, but whatever the screen shows there is not its drawing yet.
    EXPECT_THROW(CaptureSettled(window.hwnd(), test::kHeldBackRect, std::chrono::milliseconds(500)),
                 std::runtime_error);
    window.LetItPaint();
    const Capture capture = CaptureSettled(window.hwnd(), test::kHeldBackRect);
    ASSERT_EQ(capture.width, 200);
    ASSERT_EQ(capture.height, 100);
    const std::uint32_t colour = (GetRValue(test::kHeldBackColour) << 16) |
                                 (GetGValue(test::kHeldBackColour) << 8) |
                                 GetBValue(test::kHeldBackColour);
    EXPECT_EQ(std::count(capture.pixels.begin(), capture.pixels.end(), colour),
              static_cast<std::ptrdiff_t>(capture.pixels.size()));
}

TEST(DriverPictures, WritesABmpThatHoldsTheCapturedPixels) {
    Capture capture;
    capture.width = 3;
    capture.height = 2;
    capture.pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xFFFFFF, 0x000000};
    const auto path = OwnFolder() / L"driver_test_capture.bmp";
    SaveBmp(capture, path);
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_EQ(bytes.size(), 54u + 2 * 12u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    // First row, top-down: blue, green, red bytes of red.
    EXPECT_EQ(static_cast<unsigned char>(bytes[54 + 2]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[54 + 12 + 0]), 0x56);
    std::filesystem::remove(path);
}

} // namespace
} // namespace tamrick::driver
