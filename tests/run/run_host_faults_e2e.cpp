// The installation run against a host that is busy, slow to start, hung in one of its dialogs
// or crashing, as the real host on an old machine often is right after the forced close: what
// the window does meanwhile, the message that ends the run, and what lands on disk. How long a
// busy host is waited for, and the binding's answers to each fault: host_busy_test.cpp and
// host_binding_test.cpp.

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

// How many of the host's logged calls start with `prefix`.
std::size_t CallsStartingWith(const std::vector<std::wstring>& calls, const std::wstring& prefix) {
    return static_cast<std::size_t>(std::count_if(
        calls.begin(), calls.end(), [&](const std::wstring& c) { return c.starts_with(prefix); }));
}

// Waits until the host's log holds `times` calls that start with `prefix`.
bool WaitForCall(const std::wstring& prefix, std::chrono::milliseconds timeout,
                 std::size_t times = 1) {
    return drv::WaitUntil(
        [&] { return CallsStartingWith(StandIn().LoggedCalls(), prefix) >= times; }, timeout);
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

    // What a person sees while the host keeps the run waiting: a window that answers, with the
    // button disabled under the step's caption.
    void ExpectWaitingWindow(HWND window, const std::wstring& caption) {
        EXPECT_TRUE(drv::WaitForIdle(window, 2s)) << "the window stopped answering";
        EXPECT_EQ(Button(window).text, caption) << ToUtf8(Button(window).text);
        EXPECT_FALSE(Button(window).enabled);
    }
};

TEST_F(HostFaultsE2E, AHostSlowToStartAndThenBusyIsWaitedForAndEveryItemLands) {
    // Registered only after 8 s, then busy for 5 s from its first call of Visible.
    const HWND window = StartRun(L"slowstart=8\nbusy=5,Visible");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(drv::WaitUntil([] { return !StandInProcesses().empty(); }, 30s))
        << "the host is not starting";
    ExpectWaitingWindow(window, kCheckingCaption);
    EXPECT_EQ(CallsStartingWith(StandIn().LoggedCalls(), L"Application\tcreate"), 0u)
        << "the host started sooner than configured";
    // Turned away twice: the run is trying again.
    ASSERT_TRUE(WaitForCall(L"Application.Visible\tbusy", 30s, 2)) << "the host was not busy";
    ExpectWaitingWindow(window, kCheckingCaption);

    std::wstring caption;
    const drv::MessageBoxInfo done = FinalMessage(window, &caption);
    EXPECT_EQ(done.text, L"安装成功！");
    EXPECT_EQ(done.icon, drv::IconKind::Information) << drv::ToString(done.icon);
    EXPECT_EQ(caption, L"安装过程结束！");
    EXPECT_EQ(ReadFile(folders_.gms + L"a.gms"), "macros");
    EXPECT_EQ(ReadFile(folders_.userData + L"Palette.xml"), "<palette/>");
    EXPECT_EQ(exitCode_, std::optional<DWORD>(0));
    const std::vector<std::wstring> calls = StandIn().LoggedCalls();
    EXPECT_EQ(CallsStartingWith(calls, L"Application\tcreate"), 1u);
    EXPECT_EQ(CallsStartingWith(calls,
                                L"Application.ImportWorkspace\tcall\t" + addOn_ + L"Workspace.xml"),
              1u);
}

TEST_F(HostFaultsE2E, AHungImportKeepsTheWindowAnsweringAndAltF4EndsTheProgram) {
    const HWND window = StartRun(L"hang=ImportWorkspace");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCall(L"Application.ImportWorkspace\tcall", 40s)) << "no import";
    ExpectWaitingWindow(window, kImportCaption);

    // Keys on the window are dropped while the host works, but not the system's close.
    drv::PressAltF4(window);
    // A hung window would never end; the bound only has to outlast a loaded machine.
    EXPECT_TRUE(process_->WaitForExit(20s)) << "Alt+F4 during a hung call did not end it";
    EXPECT_EQ(FilesIn(folders_.gms), std::vector<std::wstring>{L"a.gms"});
    EXPECT_TRUE(FilesIn(folders_.userData).empty()) << "an item after the hung one ran";
}

// Last: a host that crashed while serving stays registered in Wine's services, and this test's
// run restarts the prefix's wineserver afterwards.
using HostGoneE2E = HostFaultsE2E;

TEST_F(HostGoneE2E, AHostThatDiesInTheImportEndsTheRunWithTheUnexpectedErrorMessage) {
    const HWND window = StartRun(L"crash=ImportWorkspace");
    ASSERT_NE(window, nullptr);
    std::wstring caption;
    const drv::MessageBoxInfo report = FinalMessage(window, &caption);
    EXPECT_TRUE(report.text.starts_with(kUnexpectedPrefix)) << ToUtf8(report.text);
    EXPECT_GT(report.text.size(), std::wstring(kUnexpectedPrefix).size())
        << "the error's description is missing";
    EXPECT_EQ(report.icon, drv::IconKind::Error) << drv::ToString(report.icon);
    EXPECT_EQ(caption, kImportCaption) << ToUtf8(caption);
    EXPECT_EQ(exitCode_, std::optional<DWORD>(6)) << "any other error";
    EXPECT_EQ(FilesIn(folders_.gms), std::vector<std::wstring>{L"a.gms"});
    EXPECT_TRUE(FilesIn(folders_.userData).empty()) << "an item after the failed one ran";
    EXPECT_TRUE(StandInProcesses().empty());
}

} // namespace

int main(int argc, char** argv) {
    return RunTestMain(argc, argv);
}
