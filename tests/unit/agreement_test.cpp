// The packager's tool says what the installer says: a description goes through the installation
// run over plain fakes and through `instinfo plan` and `check`, and both must quote the run's own
// message. How each step is worded is plan_test.cpp's and check_test.cpp's.

#include "addon_folder.h"
#include "description/reader.h"
#include "install/reports.h"
#include "install/run.h"
#include "run_fakes.h"
#include "tools/instinfo/check.h"
#include "tools/instinfo/plan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using namespace tamrick;
using namespace tamrick::test;
using ::testing::HasSubstr;

namespace {

// The add-on's files are looked up on disk; CorelDRAW's are taken to be there.
class Files final : public FakeFiles {
  public:
    Files(Log& log, std::wstring appFolder) : FakeFiles(log), appFolder_(std::move(appFolder)) {}
    bool FileExists(const std::wstring& path) override {
        return !path.starts_with(appFolder_) || std::filesystem::is_regular_file(path);
    }

  private:
    std::wstring appFolder_;
};

// The message that a user sees last, every version named taken to be installed.
std::wstring Installed(const std::wstring& folder) {
    SharedState state;
    state.AppFolder = folder;
    ApplyDescription(ReadDescription(folder).description, state);
    Log log;
    FakeWindow window(log);
    FakeCloser closer(log);
    std::unique_ptr<tamrick::Host> hostApp;
    std::unique_ptr<FileSystemOps> files;
    RunServices services{
        window, closer,
        [](std::span<const int> named) { return std::vector<int>(named.begin(), named.end()); },
        [&log](int major) {
            auto host = std::make_unique<FakeHost>(log);
            for (const std::wstring_view key : kFolderTargets) {
                host->folders[std::wstring(key)] = L"C:\\" + std::to_wstring(major);
            }
            return host;
        },
        [&] { return std::make_unique<Files>(log, folder); }};
    RunInstallation(state, RunMembers{hostApp, files}, services);
    std::wstring message;
    for (const std::wstring& line : log) {
        if (line.starts_with(L"error ") || line.starts_with(L"info ")) {
            message = line.substr(line.find(L' ') + 1); // without the fake's word for its kind
        }
    }
    return message;
}

TEST(Agreement, ThePlanAndTheCheckQuoteTheStopOfTheRunInTheVersionWhereItStops) {
    AddOnFolder folder;
    folder.Description(
        "HostVersions=X7-2020\nFileItem=c|a.gms|1|GMSPath\nFileItem=c|b.gms|1|UserGMSPath\n");
    folder.File("a.gms");
    const std::wstring message = Installed(folder.Prefix());
    ASSERT_THAT(ToUtf8(message), HasSubstr("b.gms"));

    const Plan plan = MakePlan(folder.Prefix());
    EXPECT_EQ(plan.steps.end()[-2].kind, "message-error");
    EXPECT_EQ(plan.steps.end()[-2].text, message);
    EXPECT_EQ(plan.steps.end()[-2].version, std::optional<int>(17));
    std::wstring said;
    for (const Finding& f : CheckFolder(folder.Prefix()).findings) {
        said += f.message + L"\n";
    }
    EXPECT_THAT(ToUtf8(said), HasSubstr("copy source \"b.gms\" is not in the folder: the "
                                        "installation stops with the message\r\n" +
                                        ToUtf8(message)));
}

} // namespace
