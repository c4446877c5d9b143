// The driver itself: what the end-to-end tests rely on it to see and do.
#include "driver/driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <future>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace tamrick::driver {
namespace {

class DriverTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { icons_ = std::make_unique<IconReader>(IconReader::Calibrate()); }
    static void TearDownTestSuite() { icons_.reset(); }
    static std::unique_ptr<IconReader> icons_;
};
std::unique_ptr<IconReader> DriverTest::icons_;

// Shows a message box on another thread, reads it as a test would, and presses its last button.
MessageBoxInfo ShowAndRead(const IconReader& icons, const wchar_t* text, UINT flags, int& pressed) {
    MessageBoxInfo info;
    pressed = ShowOwnMessageBox(text, L"Driver test", flags, [&](HWND box) {
        info = ReadMessageBox(box, icons);
        return info.buttons.empty() ? IDOK : info.buttons.back().id;
    });
    return info;
}

TEST_F(DriverTest, ReadsTitleTextButtonsAndIconOfAMessageBox) {
    int pressed = 0;
    const auto info =
        ShowAndRead(*icons_, L"第一行\r\n第二行", MB_OKCANCEL | MB_ICONWARNING, pressed);
    EXPECT_EQ(info.title, L"Driver test");
    EXPECT_EQ(info.text, L"第一行\r\n第二行");
    ASSERT_EQ(info.buttons.size(), 2u);
    EXPECT_EQ(info.buttons[0].id, IDOK);
    EXPECT_EQ(info.buttons[1].id, IDCANCEL);
    EXPECT_STREQ(ToString(info.icon), "warning");
    EXPECT_EQ(pressed, IDCANCEL);
}

TEST_F(DriverTest, TellsEachIconKindApart) {
    const std::pair<UINT, const char*> cases[] = {{MB_ICONERROR, "error"},
                                                  {MB_ICONWARNING, "warning"},
                                                  {MB_ICONINFORMATION, "information"},
                                                  {MB_ICONQUESTION, "question"},
                                                  {0, "none"}};
    for (const auto& [flag, expected] : cases) {
        int pressed = 0;
        const auto info = ShowAndRead(*icons_, L"icon", MB_OK | flag, pressed);
        EXPECT_STREQ(ToString(info.icon), expected);
        EXPECT_EQ(pressed, IDOK);
    }
}

TEST(DriverProcess, ReportsTheExitCodeOfAProgramThatEnded) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::filesystem::path cmd = std::filesystem::path(system) / L"cmd.exe";
    const auto process = Process::Launch(cmd, system, L"/c exit 7");
    EXPECT_EQ(process.WaitForExit(), std::optional<DWORD>(7));
    EXPECT_FALSE(process.running());
}

// A window of a thread of its own, filled with one colour once it is let go. Until then its
// thread answers every message sent to it but holds back its painting: it is on the screen with
// nothing of its own drawn there.
class HeldBackWindow {
  public:
    static constexpr COLORREF kColour = RGB(0x33, 0x66, 0xCC);
    static constexpr RECT kRect{120, 90, 320, 190}; // screen coordinates

    HeldBackWindow() : go_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        std::promise<HWND> created;
        auto window = created.get_future();
        thread_ = std::thread([this, &created] { Run(created); });
        hwnd_ = window.get();
    }
    HeldBackWindow(const HeldBackWindow&) = delete;
    HeldBackWindow& operator=(const HeldBackWindow&) = delete;
    ~HeldBackWindow() {
        LetItPaint();
        PostMessageW(hwnd_, WM_CLOSE, 0, 0);
        thread_.join();
    }

    HWND hwnd() const { return hwnd_; }
    void LetItPaint() const { SetEvent(go_.get()); }

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        switch (message) {
        case WM_NCCREATE: {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            return TRUE;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            const auto go = reinterpret_cast<HANDLE>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            // Sent messages are handled meanwhile: the thread answers, it just doesn't paint.
            while (MsgWaitForMultipleObjects(1, &go, FALSE, INFINITE, QS_SENDMESSAGE) !=
                   WAIT_OBJECT_0) {
                MSG pending;
                PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            }
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(hwnd, &paint);
            const HBRUSH brush = CreateSolidBrush(kColour);
            FillRect(dc, &paint.rcPaint, brush);
            DeleteObject(brush);
            EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd, message, wparam, lparam);
        }
    }

    void Run(std::promise<HWND>& created) {
        WNDCLASSW cls{};
        cls.lpfnWndProc = Proc;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = L"TamrickHeldBackWindow";
        RegisterClassW(&cls);
        const HWND hwnd =
            CreateWindowExW(WS_EX_TOPMOST, cls.lpszClassName, L"held back", WS_POPUP | WS_VISIBLE,
                            kRect.left, kRect.top, kRect.right - kRect.left,
                            kRect.bottom - kRect.top, nullptr, nullptr, cls.hInstance, go_.get());
        created.set_value(hwnd);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            DispatchMessageW(&msg);
        }
    }

    UniqueHandle go_;
    std::thread thread_;
    HWND hwnd_ = nullptr;
};

TEST(DriverPictures, ASettledCaptureWaitsForTheWindowsOwnDrawing) {
    HeldBackWindow window;
    ASSERT_NE(window.hwnd(), nullptr);
    auto settled = std::async(std::launch::async,
                              [&] { return CaptureSettled(window.hwnd(), HeldBackWindow::kRect); });
    // The window answers, but whatever the screen shows there is not its drawing yet.
    EXPECT_EQ(settled.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    window.LetItPaint();
    const Capture capture = settled.get();
    ASSERT_EQ(capture.width, 200);
    ASSERT_EQ(capture.height, 100);
    const std::uint32_t colour = 0x3366CC;
    EXPECT_EQ(std::count(capture.pixels.begin(), capture.pixels.end(), colour),
              static_cast<std::ptrdiff_t>(capture.pixels.size()));
}

TEST(DriverPictures, ASettledCaptureOfAWindowThatNeverPaintsFailsAtTheBound) {
    HeldBackWindow window;
    ASSERT_NE(window.hwnd(), nullptr);
    EXPECT_THROW(
        CaptureSettled(window.hwnd(), HeldBackWindow::kRect, std::chrono::milliseconds(500)),
        std::runtime_error);
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
