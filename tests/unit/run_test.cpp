// The installation run over plain fakes: what it does to the window, the host and the disk, in
// order, and what its log says. The walks: a table; the full sequences and the log: exact.

#include "base/error.h"
#include "install/reports.h"
#include "install/run.h"
#include "install/run_log.h"
#include "recording_sink.h"
#include "run_fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

using namespace tamrick;
using namespace tamrick::test;
using ::testing::ElementsAre;

namespace {

const std::wstring kConfirm = L"confirm 将要强制关闭正在运行的 CorelDRAW！\r\n"
                              L"请保存您的工作并退出 CorelDRAW，以免造成损失。";
const std::wstring kMissingPrefix = L"error 缺少安装必需的文件，文件(";
const std::wstring kContact = L")不存在。\r\n请联系软件作者寻求帮助。";
const std::wstring kSuccess = L"info 安装成功！";

class RunTest : public ::testing::Test {
  public:
    RunTest() {
        host_->folders = {{L"gmspath", L"C:\\Corel\\GMS"},
                          {L"usergmspath", L"C:\\Users\\u\\GMS\\"},
                          {L"userdatapath", L"C:\\Users\\u\\Data\\"},
                          {L"applicationpath", L"C:\\Corel\\Programs\\"}};
        state_.AppFolder = L"C:\\AddOn\\";
    }

    // Each item as its fields joined by "|", as a description writes it (not lower-cased).
    void Items(const std::vector<std::wstring>& items) {
        FileItemTable table;
        for (const std::wstring& item : items) {
            std::wistringstream row(item);
            std::wstring fields[5];
            for (std::wstring& field : fields) {
                std::getline(row, field, L'|');
            }
            table.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
        }
        state_.FileItems = std::move(table);
    }
    // A version named by the description and installed, with its folders under C:\V<major>\.
    FakeHost& Installed(int major) {
        auto host = std::make_unique<FakeHost>(log_, L" " + std::to_wstring(major));
        const std::wstring root = L"C:\\V" + std::to_wstring(major) + L"\\";
        host->folders = {{L"gmspath", root + L"GMS\\"},
                         {L"usergmspath", root + L"UserGMS\\"},
                         {L"userdatapath", root + L"Data\\"},
                         {L"applicationpath", root + L"Programs\\"}};
        return *(versions_[major] = std::move(host));
    }
    // A file in the add-on folder (a bare name) or anywhere else (a full path).
    void File(const std::wstring& name) {
        files_->files.insert(name.find(L'\\') == std::wstring::npos ? state_.AppFolder + name
                                                                    : name);
    }

    RunOutcome Run() {
        RunServices services{
            window_, closer_,
            [this](std::span<const int> named) {
                std::wstring asked;
                std::vector<int> found;
                for (const int major : named) {
                    asked += L" " + std::to_wstring(major);
                    if (versions_.contains(major)) {
                        found.push_back(major);
                    }
                }
                log_.push_back(L"find" + asked);
                return found;
            },
            [this](int major) -> std::unique_ptr<Host> {
                if (const auto error = hostErrors_.find(major); error != hostErrors_.end()) {
                    throw error->second;
                }
                if (major == kX3Major && !versions_.contains(major)) {
                    return std::move(host_);
                }
                return std::move(versions_.at(major));
            },
            [this]() -> std::unique_ptr<FileSystemOps> { return std::move(files_); }};
        services.observer = &runLog_;
        return RunInstallation(state_, RunMembers{hostApp_, fileSystem_}, services);
    }

    Log log_;
    SharedState state_;
    FakeWindow window_{log_};
    FakeCloser closer_{log_};
    std::unique_ptr<FakeHost> host_ = std::make_unique<FakeHost>(log_);
    std::unique_ptr<FakeFiles> files_ = std::make_unique<FakeFiles>(log_);
    // Installed versions named by the description, and the errors their creation throws.
    std::map<int, std::unique_ptr<FakeHost>> versions_;
    std::map<int, Error> hostErrors_;
    std::unique_ptr<Host> hostApp_;
    std::unique_ptr<FileSystemOps> fileSystem_;
    // What the run's log says, one record a step.
    RecordingSink sink_;
    ProgramLog programLog_{&sink_, L"installer"};
    RunLog runLog_{programLog_};
};

// Whether `want` stands in `log` in that order, others in between.
bool InOrder(const Log& log, const Log& want) {
    auto at = log.begin();
    for (const std::wstring& line : want) {
        at = std::find(at, log.end(), line);
        if (at == log.end()) {
            return false;
        }
        ++at;
    }
    return true;
}

struct Case {
    const char* name;
    std::vector<std::wstring> items;
    std::vector<std::wstring> files; // there before the run
    RunOutcome outcome;
    Log seen;                           // in this order, the last one last
    Log never = {};                     // no line starts so
    Log logged = {};                    // records of the run's log, in this order
    void (*setup)(RunTest&) = nullptr;  // the world's faults
    std::vector<int> named = {};        // HostVersions
    std::vector<int> installed = named; // of those named
    friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
};

class RunWalk : public RunTest, public ::testing::WithParamInterface<Case> {};

TEST_P(RunWalk, DoesWhatTheItemsSayAndEndsWithItsMessage) {
    const Case& c = GetParam();
    Items(c.items);
    for (const std::wstring& file : c.files) {
        File(file);
    }
    state_.HostVersions = c.named;
    for (const int major : c.installed) {
        Installed(major);
    }
    if (c.setup != nullptr) {
        c.setup(*this);
    }
    EXPECT_EQ(Run(), c.outcome);
    EXPECT_TRUE(InOrder(log_, c.seen)) << ::testing::PrintToString(log_);
    EXPECT_EQ(log_.back(), c.seen.back());
    for (const std::wstring& prefix : c.never) {
        for (const std::wstring& line : log_) {
            EXPECT_FALSE(line.starts_with(prefix)) << ::testing::PrintToString(line);
        }
    }
    EXPECT_TRUE(InOrder(sink_.records, c.logged)) << ::testing::PrintToString(sink_.records);
    // Every ending is logged with the text that the window shows, a cancel with its question.
    for (const auto& [shown, logged] :
         {std::pair{L"error ", L"installer | message | error | "},
          std::pair{L"info ", L"installer | message | information | "},
          std::pair{L"confirm ", L"installer | confirm | cancel | "}}) {
        if (log_.back().starts_with(shown)) {
            EXPECT_EQ(sink_.records.back(),
                      logged + log_.back().substr(std::wstring(shown).size()));
        }
    }
    // A cancel does nothing but find and ask, and logs the answer alone.
    if (c.outcome == RunOutcome::Cancelled) {
        EXPECT_EQ(log_, c.seen);
        EXPECT_EQ(sink_.records.size(), 1u);
    }
    // The last version's object lives on until ShutDown, one released before it does not.
    const auto host = std::find_if(log_.rbegin(), log_.rend(), [](const std::wstring& line) {
        return line.starts_with(L"open") || line.starts_with(L"release");
    });
    EXPECT_EQ(hostApp_ != nullptr, host != log_.rend() && host->starts_with(L"open"));
    EXPECT_EQ(fileSystem_ != nullptr, host != log_.rend());
}

const std::wstring kBadFolder = L"error CorelDRAW X3 可能没有正确安装，路径()不存在。\r\n"
                                L"请联系软件作者寻求帮助。";

INSTANTIATE_TEST_SUITE_P(
    Items, RunWalk,
    ::testing::Values(
        Case{"AnUnknownTargetWorksInThePreviousItemsFolderWithItsBackslash",
             {L"c|a.gms|1|gmspath|", L"c|b.gms|1|GmsPath |"},
             {L"a.gms", L"b.gms"},
             RunOutcome::Succeeded,
             {L"copy C:\\AddOn\\a.gms -> C:\\Corel\\GMS\\",
              L"copy C:\\AddOn\\b.gms -> C:\\Corel\\GMS\\", kSuccess}},
        Case{"AFirstRequiredItemWithAnUnknownTargetNamesTheEmptyFolder",
             {L"c|a.gms|1|nowhere|", L"c|b.gms|1|gmspath|"},
             {L"a.gms"},
             RunOutcome::BadFolder,
             {kBadFolder},
             {L"resolve gmspath"}},
        Case{"AfterADeleteTheCarriedFolderIsStillAFolder",
             {L"k|old.gms|0|usergmspath|", L"c|new.gms|1||"},
             {L"new.gms", L"C:\\Users\\u\\GMS\\old.gms"},
             RunOutcome::Succeeded,
             {L"delete C:\\Users\\u\\GMS\\old.gms",
              L"copy C:\\AddOn\\new.gms -> C:\\Users\\u\\GMS\\", kSuccess}},
        Case{"ARequiredDeleteOfAnAbsentFileNamesTheMissingTarget",
             {L"k|old.gms|1|gmspath|"},
             {},
             RunOutcome::MissingFile,
             {kMissingPrefix + L"C:\\Corel\\GMS\\old.gms" + kContact},
             {L"delete"}},
        Case{"OnlyExactlyOneIsRequired",
             {L"c|missing1.gms|1 |gmspath|", L"c|missing2.gms| 1|gmspath|",
              L"c|missing3.gms|yes|gmspath|", L"c|missing4.gms|1|gmspath|"},
             {},
             RunOutcome::MissingFile,
             {kMissingPrefix + L"C:\\AddOn\\missing4.gms" + kContact}},
        Case{"ImportWorkspaceImportsAnExistingFileAndCopiesNothing",
             {L"c|ws.xml|1|importworkspace|", L"c|gone.xml|0|importworkspace|",
              L"c|gone2.xml|1|importworkspace|"},
             {L"ws.xml"},
             RunOutcome::MissingFile,
             {L"import C:\\AddOn\\ws.xml", L"caption 正在安装，请稍候...",
              L"caption 正在安装，请稍候...", kMissingPrefix + L"C:\\AddOn\\gone2.xml" + kContact},
             {L"copy", L"resolve", L"import C:\\AddOn\\gone"}},
        Case{"AnEmptyHostFolderStopsARequiredItemAndSkipsAnOptionalOneSayingWhy",
             {L"c|a.xml|0|userdatapath|", L"k|b.gms|0|nowhere|", L"c|c.xml|1|userdatapath|"},
             {L"a.xml", L"c.xml"},
             RunOutcome::BadFolder,
             {kBadFolder},
             {L"copy"},
             {L"installer | folder | X3 | userdatapath | ",
              L"installer | skip | C:\\AddOn\\a.xml | optional, no folder for target "
              L"\"userdatapath\"",
              L"installer | skip | b.gms | optional, no folder for target \"nowhere\""},
             [](RunTest& run) { run.host_->folders[L"userdatapath"] = L""; }},
        Case{"AnErrorMidWalkKeepsEarlierItemsAndShowsItsDescription",
             {L"c|a.gms|1|gmspath|first", L"c|b.gms|1|gmspath|second", L"c|c.gms|1|gmspath|third"},
             {L"a.gms", L"b.gms", L"c.gms"},
             RunOutcome::Failed, // The caption is left where the error came.
             {L"copy C:\\AddOn\\a.gms -> C:\\Corel\\GMS\\", L"caption second",
              L"error 发生意外错误，拒绝访问。"},
             {L"caption third", L"caption 安装过程结束！"},
             {},
             [](RunTest& run) { run.files_->failing.insert(L"C:\\Corel\\GMS\\b.gms"); }},
        Case{"AHostCloserThatCantStartIsAnUnexpectedError",
             {L"c|a.gms|1|gmspath|"},
             {},
             RunOutcome::Failed,
             {L"error 发生意外错误，系统找不到指定的文件。"},
             {L"pause"},
             {},
             [](RunTest& run) { run.closer_.failsToStart = true; }},
        Case{"RowsWithOtherActionsOnlyShowTheirCaption",
             {L"||||", L"c |a.gms|1|gmspath|cap"},
             {L"a.gms"},
             RunOutcome::Succeeded,
             {L"caption 正在安装，请稍候...", L"caption cap", L"caption 安装过程结束！", kSuccess},
             {L"copy", L"resolve"}}),
    [](const auto& param) { return std::string(param.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Versions, RunWalk,
    ::testing::Values(
        Case{"OneVersionFoundKeepsTheCaptionsAsWritten",
             {L"c|a.gms|1|gmspath|正在安装宏..."},
             {L"a.gms"},
             RunOutcome::Succeeded,
             {kConfirm + L"\r\n将安装到 CorelDRAW X8。", L"caption 正在安装宏...",
              L"info 安装成功！\r\n已安装到 CorelDRAW X8。"},
             {L"release"},
             {},
             nullptr,
             {17, 18, 19, 20},
             {18}},
        // Each version found gets every item in ascending order, the one before released first.
        // An item without a folder of its own would take the previous version's folder if the
        // folder were carried across versions.
        Case{"DestFolderStartsEmptyInEveryVersion",
             {L"c|a.gms|0|nowhere|", L"c|b.gms|1|gmspath|"},
             {L"a.gms", L"b.gms"},
             RunOutcome::Succeeded,
             {L"find 17 20 22", L"copy C:\\AddOn\\b.gms -> C:\\V17\\GMS\\", L"release 17",
              L"copy C:\\AddOn\\b.gms -> C:\\V22\\GMS\\",
              L"info 安装成功！\r\n已安装到 CorelDRAW X7、2020。"},
             {L"copy C:\\AddOn\\a.gms"},
             {L"installer | confirm | ok | " + kConfirm.substr(8) +
                  L"\r\n将安装到 CorelDRAW X7、2020。",
              L"installer | host | CorelDRAW X7",
              L"installer | folder | X7 | gmspath | C:\\V17\\GMS\\",
              L"installer | host | CorelDRAW 2020",
              L"installer | folder | 2020 | gmspath | C:\\V22\\GMS\\"},
             nullptr,
             {17, 20, 22},
             {17, 22}},
        Case{"AMissingFileInTheSecondVersionStopsThereWithTheFirstVersionsItemsKept",
             {L"c|a.gms|1|gmspath|", L"k|old.gms|1|gmspath|"},
             {L"a.gms", L"C:\\V17\\GMS\\old.gms"},
             RunOutcome::MissingFile,
             {L"copy C:\\AddOn\\a.gms -> C:\\V17\\GMS\\", L"delete C:\\V17\\GMS\\old.gms",
              L"copy C:\\AddOn\\a.gms -> C:\\V22\\GMS\\",
              kMissingPrefix + L"C:\\V22\\GMS\\old.gms" + kContact},
             {L"caption 安装过程结束！", L"delete C:\\V17\\GMS\\a.gms"},
             {},
             nullptr,
             {17, 22}},
        Case{"ABadFolderNamesTheVersionItBelongsTo",
             {L"c|p.xml|1|userdatapath|"},
             {L"p.xml"},
             RunOutcome::BadFolder,
             {L"copy C:\\AddOn\\p.xml -> C:\\V17\\Data\\",
              L"error CorelDRAW 2022/2023 可能没有正确安装，路径()不存在。\r\n"
              L"请联系软件作者寻求帮助。"},
             {},
             {},
             [](RunTest& run) { run.versions_.at(24)->folders[L"userdatapath"] = L""; },
             {17, 24}},
        // X3 first, then X7 fails, and 2020 is never reached.
        Case{"AFoundVersionThatCantBeStartedGetsTheMessageForThatVersion",
             {L"c|a.gms|1|gmspath|"},
             {L"a.gms"},
             RunOutcome::HostNotInstalled,
             {L"copy C:\\AddOn\\a.gms -> C:\\V13\\GMS\\", L"caption 正在检查 CorelDRAW X7...",
              L"error 本程序只能在安装有 CorelDRAW X7 的系统中使用。"},
             {L"caption 正在检查 CorelDRAW 2020..."},
             {},
             [](RunTest& run) {
                 run.hostErrors_.emplace(17,
                                         Error(kErrCantCreateObject, L"ActiveX 部件不能创建对象"));
             },
             {13, 17, 22}},
        Case{"CancelAtTheConfirmationChangesNothingAndLogsOnlyTheAnswer",
             {L"c|a.gms|1|gmspath|x"},
             {},
             RunOutcome::Cancelled,
             {L"find 17", kConfirm + L"\r\n将安装到 CorelDRAW X7。"},
             {},
             {},
             [](RunTest& run) { run.window_.answerOk = false; },
             {17}},
        Case{"NoneOfTheNamedVersionsInstalledIsSaidAtOnceAndNothingIsClosed",
             {L"c|a.gms|1|gmspath|"},
             {L"a.gms"},
             RunOutcome::HostNotInstalled,
             {L"find 17 18 19 20 21 22",
              L"error 本程序只能在安装有 CorelDRAW X7 至 2020 的系统中使用。"},
             {L"confirm", L"close"},
             {},
             nullptr,
             {17, 18, 19, 20, 21, 22},
             {}}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace

TEST_F(RunTest, TheLogHasEveryStepWithFullPathsAndTheFinalMessage) {
    Items({L"c|a.gms|1|gmspath|宏", L"c|ws.xml|1|importworkspace|", L"k|old.gms|0|usergmspath|",
           L"k|older.gms|0|usergmspath|", L"c|gone.gms|0||", L"x|a.gms|1|gmspath|"});
    File(L"a.gms");
    File(L"ws.xml");
    files_->files.insert(L"C:\\Users\\u\\GMS\\old.gms");
    EXPECT_EQ(Run(), RunOutcome::Succeeded);
    EXPECT_THAT(
        sink_.records,
        ElementsAre(
            L"installer | confirm | ok | 将要强制关闭正在运行的 CorelDRAW！\r\n"
            L"请保存您的工作并退出 CorelDRAW，以免造成损失。",
            L"installer | host | CorelDRAW X3",
            L"installer | folder | X3 | gmspath | C:\\Corel\\GMS",
            L"installer | copy | C:\\AddOn\\a.gms | C:\\Corel\\GMS\\a.gms",
            L"installer | import | C:\\AddOn\\ws.xml",
            L"installer | folder | X3 | usergmspath | C:\\Users\\u\\GMS\\",
            L"installer | delete | C:\\Users\\u\\GMS\\old.gms",
            L"installer | folder | X3 | usergmspath | C:\\Users\\u\\GMS\\",
            L"installer | skip | C:\\Users\\u\\GMS\\older.gms | optional, nothing to delete",
            L"installer | skip | C:\\AddOn\\gone.gms | optional, the file is not there",
            L"installer | skip | C:\\AddOn\\a.gms | action \"x\" does nothing",
            L"installer | message | information | 安装成功！"));
}
