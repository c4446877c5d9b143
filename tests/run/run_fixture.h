#pragma once
// What the Wine tests of the whole installation share: the real installer in an add-on folder
// of the test prefix, the stand-in host registered there with its four folders, and the driver
// reading what a person sees.

#include "driver/driver.h"
#include "tests/support/standin_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tamrick::test {

// The pause, the host's start and the walk.
inline constexpr std::chrono::milliseconds kRunTimeout{60000};
inline constexpr int kCmdInstallId = 1001;
inline constexpr const wchar_t* kConfirmText = L"将要强制关闭正在运行的 CorelDRAW！\r\n"
                                               L"请保存您的工作并退出 CorelDRAW，以免造成损失。";

std::wstring TempRoot();

// The stand-in of a version other than X3's, and its folders.
struct Version {
    Version(const std::wstring& built, int major)
        : folder(TempRoot() + L"host" + std::to_wstring(major) + L"\\"), standIn(folder, built),
          folders(folder) {}
    std::wstring folder;
    StandInControl standIn;
    HostFolders folders;
};

class RunE2E : public testing::Test {
  protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Installs and registers the stand-in of a version, as its setup would; unregistered after
    // the case.
    const Version& Install(int major);

    void Description(const std::string& utf8);
    void AddOnFile(const std::wstring& name, const std::string& content);

    // Starts the installer with `arguments` and waits for its window.
    HWND Start(const std::wstring& arguments = L"");
    driver::Control Button(HWND window) const;
    // Clicks the install button and answers the warning; returns the warning as read.
    driver::MessageBoxInfo ClickAndAnswer(HWND window, int answer);
    // The message that ends the run, read, with the button as it stands meanwhile; then OK
    // and the end of the program.
    driver::MessageBoxInfo FinalMessage(HWND window, std::wstring* caption = nullptr);

    // Runs the installer with `arguments` to its end, watched from before its first instruction.
    Watched RunWatched(const std::wstring& arguments,
                       std::chrono::milliseconds timeout = kRunTimeout) const {
        return test::RunWatched(addOn_ + L"TamrickInstaller.exe", addOn_, arguments, timeout);
    }

    // A log path with a space and a Chinese name, quoted as an administrator would.
    std::wstring LogPath() const { return TempRoot() + L"日志 文件\\install.log"; }
    std::wstring LogSwitch() const { return L"/LOG=\"" + LogPath() + L"\""; }
    std::vector<std::wstring> Log() const { return LogRecords(LogPath()); }

    HostFolders folders_{TempRoot()};
    std::map<int, std::unique_ptr<Version>> versions_;
    std::wstring addOn_;
    std::optional<driver::Process> process_;
    HWND confirm_ = nullptr;
    // The installer's exit code, once FinalMessage saw it end.
    std::optional<DWORD> exitCode_;
};

// The test program's main: `NAME INSTALLER.exe`.
int RunTestMain(int argc, char** argv);

} // namespace tamrick::test
