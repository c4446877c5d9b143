// The packager's tool says what the installer does: the same descriptions go through the
// installation run over plain fakes and through `instinfo plan` and `check`, and the tool must
// report the run's own message, versions and rows.

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
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace tamrick;
using namespace tamrick::test;
using ::testing::HasSubstr;

namespace {

// What a user would see of a run, and which versions and rows it reached.
struct Seen {
    std::wstring message;
    std::vector<int> versions;
    std::vector<std::pair<int, std::size_t>> rows; // version, row
    bool operator==(const Seen&) const = default;
};

// The add-on's files are looked up on disk; CorelDRAW's are taken to be there.
std::wstring VersionFolder(int major, std::wstring_view key) {
    return L"C:\\" + std::to_wstring(major) + L"\\" + std::wstring(key);
}

class Files final : public FakeFiles {
  public:
    Files(Log& log, std::wstring appFolder) : FakeFiles(log), appFolder_(std::move(appFolder)) {}
    bool FileExists(const std::wstring& path) override {
        return !path.starts_with(appFolder_) || std::filesystem::is_regular_file(path);
    }

  private:
    std::wstring appFolder_;
};

class Watch final : public RunObserver {
  public:
    explicit Watch(Seen& seen) : seen_(seen) {}
    void HostOpened(int major) override { seen_.versions.push_back(major); }
    void ItemStarting(std::size_t row, std::wstring_view) override {
        seen_.rows.emplace_back(seen_.versions.back(), row);
    }

  private:
    Seen& seen_;
};

Seen Installed(const std::wstring& folder) {
    SharedState state;
    state.AppFolder = folder;
    ApplyDescription(ReadDescription(folder).description, state);
    Seen seen;
    Log log;
    FakeWindow window(log);
    FakeCloser closer(log);
    Watch watch(seen);
    std::unique_ptr<tamrick::Host> hostApp;
    std::unique_ptr<FileSystemOps> files;
    RunServices services{
        window, closer,
        [](std::span<const int> named) { return std::vector<int>(named.begin(), named.end()); },
        // Every version answers every folder key with a folder of its own.
        [&log](int major) {
            auto host = std::make_unique<FakeHost>(log);
            for (const std::wstring_view key : kFolderTargets) {
                host->folders[std::wstring(key)] = VersionFolder(major, key);
            }
            return host;
        },
        [&] { return std::make_unique<Files>(log, folder); }};
    services.observer = &watch;
    RunInstallation(state, RunMembers{hostApp, files}, services);
    // The message the user sees last, without the fake's word for its kind.
    for (const std::wstring& line : log) {
        if (line.starts_with(L"error ") || line.starts_with(L"info ")) {
            seen.message = line.substr(line.find(L' ') + 1);
        }
    }
    return seen;
}

Seen Planned(const std::wstring& folder) {
    PlanOptions options;
    for (const int major : {13, 17, 18, 19, 20, 21, 22}) {
        for (const std::wstring_view key : kFolderTargets) {
            options.versionFolders[major][std::wstring(key)] = VersionFolder(major, key);
        }
    }
    const Plan plan = MakePlan(folder, options);
    Seen seen;
    for (const PlanStep& step : plan.steps) {
        const int version = step.version.value_or(13);
        if (step.kind == "open-host") {
            seen.versions.push_back(version);
        } else if (step.item) {
            seen.rows.emplace_back(version, step.item->row);
        } else if (step.kind.starts_with("message-")) {
            seen.message = step.text;
        }
    }
    return seen;
}

struct Case {
    const char* name;
    const char* description;
    std::vector<const char*> files;
    const char* checkSays; // in the finding of the row where the run stops, after its message
    friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
};

class Agreement : public ::testing::TestWithParam<Case> {};

TEST_P(Agreement, ThePlanAndTheCheckReportWhatTheRunDoes) {
    AddOnFolder folder;
    folder.Description(GetParam().description);
    for (const char* file : GetParam().files) {
        folder.File(file);
    }
    const Seen installed = Installed(folder.Prefix());
    ASSERT_FALSE(installed.message.empty());
    EXPECT_EQ(Planned(folder.Prefix()), installed);

    const CheckReport report = CheckFolder(folder.Prefix());
    std::wstring said;
    for (const Finding& f : report.findings) {
        said += f.message + L"\n";
    }
    // The message is quoted whole, as the user will see it.
    EXPECT_THAT(ToUtf8(said), HasSubstr(ToUtf8(installed.message)));
    EXPECT_THAT(ToUtf8(said), HasSubstr(GetParam().checkSays));
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, Agreement,
    ::testing::Values(
        // No folder carried to a first item with an unknown target: the stop names the version.
        Case{"UnknownFirstTargetInOneVersion",
             "HostVersions=2019\nFileItem=c|a.gms|1|nowhere\n",
             {"a.gms"},
             "CorelDRAW 2019 可能没有正确安装"},
        Case{"MissingFileInTheFirstOfSeveralVersions",
             "HostVersions=X7-2020\nFileItem=c|a.gms|1|GMSPath\nFileItem=c|b.gms|1|UserGMSPath\n",
             {"a.gms"},
             "copy source \"b.gms\" is not in the folder"}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
