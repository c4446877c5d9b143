// The installation run against a host that is busy, slow to start, hung in one of its dialogs
// or crashing, as the real host on an old machine often is right after the forced close: what
// the window does meanwhile, the message that ends the run, and what lands on disk.

#include "tests/run/run_fixture.h"

#include <algorithm>
#include <string>
#include <vector>

namespace drv = tamrick::driver;
using tamrick::ToUtf8;
using namespace tamrick::test;
using namespace std::chrono_literals;

namespace {

constexpr const wchar_t* kCheckingCaption = L"正在检查 CorelDRAW X3...";
constexpr const wchar_t* kImportCaption = L"正在导入工作区...";
constexpr const wchar_t* kUnexpectedPrefix = L"发生意外错误，";

std::size_t Count(const std::vector<std::wstring>& calls, const std::wstring& prefix) {
    return static_cast<std::size_t>(std::count_if(
        calls.begin(), calls.end(), [&](const std::wstring& c) { return c.starts_with(prefix); }));
}

// Polls the host's log until a call that starts with `prefix` is in it.
bool WaitForCall(const std::wstring& prefix, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Count(StandIn().LoggedCalls(), prefix) > 0) {
            return true;
        }
        Sleep(100);
    }
    return false;
}

class HostFaultsE2E : public RunE2E {
  protected:
    // A host with that fault, and a run of a copy, an import and a copy after it, confirmed;
    // the installer's window, or null when it did not open.
    HWND StartRun(const std::wstring& fault) {
        StandIn().WriteConfig(folders_.Config() + fault + L"\n");
        Description("FileItem=c|a.gms|1|GMSPath|正在安装宏工程...\r\n"
                    "FileItem=c|Workspace.xml|1|ImportWorkspace|正在导入工作区...\r\n"
                    "FileItem=c|Palette.xml|1|UserDataPath|正在安装调色板...\r\n");
        AddOnFile(L"a.gms", "macros");
        AddOnFile(L"Workspace.xml", "<workspace/>");
        AddOnFile(L"Palette.xml", "<palette/>");
        const HWND window = Start();
        if (window != nullptr) {
            ClickAndAnswer(window, IDOK);
        }
        return window;
    }

    void ExpectSuccess(HWND window) {
        std::wstring caption;
        const drv::MessageBoxInfo done = FinalMessage(window, &caption);
        EXPECT_EQ(done.text, L"安装成功！");
        EXPECT_EQ(done.icon, drv::IconKind::Information) << drv::ToString(done.icon);
        EXPECT_EQ(caption, L"安装过程结束！");
        EXPECT_EQ(ReadFile(folders_.gms + L"a.gms"), "macros");
        EXPECT_EQ(ReadFile(folders_.userData + L"Palette.xml"), "<palette/>");
        EXPECT_EQ(exitCode_, std::optional<DWORD>(0));
    }

    // The message of an error that ends the run, with the button's caption meanwhile.
    void ExpectUnexpectedError(HWND window, const std::wstring& caption,
                               std::chrono::milliseconds timeout = kRunTimeout) {
        std::wstring shown;
        const drv::MessageBoxInfo report = FinalMessage(window, &shown, timeout);
        EXPECT_TRUE(report.text.starts_with(kUnexpectedPrefix)) << ToUtf8(report.text);
        EXPECT_GT(report.text.size(), std::wstring(kUnexpectedPrefix).size())
            << "the error's description is missing";
        EXPECT_EQ(report.icon, drv::IconKind::Error) << drv::ToString(report.icon);
        EXPECT_EQ(shown, caption) << ToUtf8(shown);
        EXPECT_EQ(exitCode_, std::optional<DWORD>(6)) << "any other error";
    }

    bool WaitForCaption(HWND window, const std::wstring& caption,
                        std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (Button(window).text == caption) {
                return true;
            }
            Sleep(100);
        }
        return false;
    }

    // What a person sees while the host keeps the run waiting: a window that answers, with the
    // button disabled under the step's caption.
    void ExpectWaitingWindow(HWND window, const std::wstring& caption) {
        EXPECT_TRUE(drv::WaitForIdle(window, 2s)) << "the window stopped answering";
        EXPECT_EQ(Button(window).text, caption) << ToUtf8(Button(window).text);
        EXPECT_FALSE(Button(window).enabled);
    }

    void ExpectNothingCopied() {
        for (const auto& folder :
             {folders_.programs, folders_.gms, folders_.userGms, folders_.userData}) {
            EXPECT_TRUE(FilesIn(folder).empty()) << ToUtf8(folder);
        }
    }
};

TEST_F(HostFaultsE2E, AHostBusyAfterItsStartIsWaitedForAndEveryItemLands) {
    const HWND window = StartRun(L"busy=15");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCall(L"Application\tbusy", 30s)) << "the host was not asked";
    Sleep(2000);
    ExpectWaitingWindow(window, kCheckingCaption);

    ExpectSuccess(window);

    const std::vector<std::wstring> calls = StandIn().LoggedCalls();
    EXPECT_GE(Count(calls, L"Application\tbusy"), 2u);
    EXPECT_EQ(Count(calls, L"Application\tcreate"), 1u);
    EXPECT_EQ(Count(calls, L"Application.ImportWorkspace\tcall\t" + addOn_ + L"Workspace.xml"), 1u);
}

TEST_F(HostFaultsE2E, AHostBusyForLongerThanTheLimitEndsTheRunWithTheUnexpectedErrorMessage) {
    const HWND window = StartRun(L"busy=150");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCall(L"Application\tbusy", 30s)) << "the host was not asked";
    const auto firstRefusal = std::chrono::steady_clock::now();
    Sleep(2000);
    ExpectWaitingWindow(window, kCheckingCaption);

    // Not "CorelDRAW X3 is not installed": it is there, and busy.
    ExpectUnexpectedError(window, kCheckingCaption, 90s);
    EXPECT_GE(std::chrono::steady_clock::now() - firstRefusal, 58s)
        << "the run gave up before the host had turned it away for a minute";
    ExpectNothingCopied();
    EXPECT_EQ(Count(StandIn().LoggedCalls(), L"Application\tcreate"), 0u);
}

TEST_F(HostFaultsE2E, ASlowStartKeepsTheWindowAnsweringAndTheRunThenSucceeds) {
    const HWND window = StartRun(L"slowstart=20");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCaption(window, kCheckingCaption, 30s));
    for (int i = 0; i < 4; ++i) {
        Sleep(2000);
        ExpectWaitingWindow(window, kCheckingCaption);
    }
    EXPECT_EQ(Count(StandIn().LoggedCalls(), L"Application\tcreate"), 0u)
        << "the host started sooner than configured";

    ExpectSuccess(window);
}

TEST_F(HostFaultsE2E, AltF4DuringASlowStartEndsTheProgramAtOnce) {
    const HWND window = StartRun(L"slowstart=25");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCaption(window, kCheckingCaption, 30s));
    Sleep(3000);
    ASSERT_FALSE(StandInProcesses().empty()) << "the host is not starting";
    ExpectWaitingWindow(window, kCheckingCaption);

    drv::PressAltF4(window);
    EXPECT_TRUE(process_->WaitForExit(3s)) << "Alt+F4 while the host started did not end it";
    ExpectNothingCopied();
    EXPECT_EQ(Count(StandIn().LoggedCalls(), L"Application\tcreate"), 0u);
}

TEST_F(HostFaultsE2E, AHungImportKeepsTheWindowAnsweringAndACloseRequestEndsTheProgram) {
    const HWND window = StartRun(L"hang=ImportWorkspace");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCall(L"Application.ImportWorkspace\tcall", 40s)) << "no import";
    Sleep(2000);
    ExpectWaitingWindow(window, kImportCaption);

    // As another program or the system asks it to close.
    drv::PostCloseMessage(window);
    EXPECT_TRUE(process_->WaitForExit(3s)) << "a close request during a hung call did not end it";
    EXPECT_EQ(FilesIn(folders_.gms), std::vector<std::wstring>{L"a.gms"});
    EXPECT_TRUE(FilesIn(folders_.userData).empty()) << "an item after the hung one ran";
}

// Last: a host that crashed while serving stays registered in Wine's services, and this test's
// run restarts the prefix's wineserver afterwards.
using HostGoneE2E = HostFaultsE2E;

TEST_F(HostGoneE2E, AHostThatDiesInTheImportEndsTheRunWithTheUnexpectedErrorMessage) {
    const HWND window = StartRun(L"crash=ImportWorkspace");
    ASSERT_NE(window, nullptr);
    ExpectUnexpectedError(window, kImportCaption);
    EXPECT_EQ(FilesIn(folders_.gms), std::vector<std::wstring>{L"a.gms"});
    EXPECT_TRUE(FilesIn(folders_.userData).empty()) << "an item after the failed one ran";
    EXPECT_TRUE(StandInProcesses().empty());
}

} // namespace

int main(int argc, char** argv) {
    return RunTestMain(argc, argv);
}
