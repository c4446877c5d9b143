#include "base/error.h"
#include "install/reports.h"
#include "install/run.h"
#include "install/run_log.h"
#include "recording_sink.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using namespace tamrick;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsSupersetOf;
using ::testing::Not;

namespace {

// Everything the run does to the world, in order, as one line each.
using Log = std::vector<std::wstring>;

class FakeWindow : public RunWindow {
  public:
    explicit FakeWindow(Log& log) : log_(log) {}
    bool Confirm(const std::wstring& text) override {
        log_.push_back(L"confirm " + text);
        return answerOk;
    }
    void DisableButton() override { log_.push_back(L"disable"); }
    void SetCaption(const std::wstring& caption) override { log_.push_back(L"caption " + caption); }
    void PauseWithEvents(std::chrono::milliseconds d) override {
        log_.push_back(L"pause " + std::to_wstring(d.count()));
    }
    void ShowMessage(const std::wstring& text, MessageKind kind) override {
        log_.push_back((kind == MessageKind::Error ? L"error " : L"info ") + text);
    }
    void ReportMissingFile(const std::wstring& path) override {
        ShowMessage(MissingFileReport(path), MessageKind::Error);
    }
    void ReportBadFolder(const std::wstring& path, int major) override {
        ShowMessage(BadFolderReport(path, major), MessageKind::Error);
    }
    bool answerOk = true;

  private:
    Log& log_;
};

// One version of the host; `tag` (" 17") is added to what it logs, empty for X3.
class FakeHost : public Host {
  public:
    explicit FakeHost(Log& log, std::wstring tag = L"") : log_(log), tag_(std::move(tag)) {}
    void Open() override { log_.push_back(L"open" + tag_); }
    void SetInvisible() override { log_.push_back(L"invisible" + tag_); }
    std::optional<std::wstring> ResolveFolder(const std::wstring& key) override {
        if (!FolderForKey(key)) {
            return std::nullopt;
        }
        log_.push_back(L"resolve" + tag_ + L" " + key);
        return folders.at(key);
    }
    void ImportWorkspace(const std::wstring& path) override {
        log_.push_back(L"import" + tag_ + L" " + path);
    }
    void Release() noexcept override { log_.push_back(L"release" + tag_); }
    std::map<std::wstring, std::wstring> folders;

  private:
    Log& log_;
    std::wstring tag_;
};

class FakeFiles : public FileSystemOps {
  public:
    explicit FakeFiles(Log& log) : log_(log) {}
    bool FileExists(const std::wstring& path) override { return files.contains(path); }
    void CopyFileInto(const std::wstring& source, const std::wstring& folder) override {
        const std::wstring name = source.substr(source.rfind(L'\\') + 1);
        if (failing.contains(folder + name)) {
            throw Error(70, L"拒绝访问。");
        }
        log_.push_back(L"copy " + source + L" -> " + folder);
        files.insert(folder + name);
    }
    void RemoveFile(const std::wstring& path) override {
        log_.push_back(L"delete " + path);
        files.erase(path);
    }
    std::set<std::wstring> files;
    std::set<std::wstring> failing;

  private:
    Log& log_;
};

class FakeCloser : public HostCloser {
  public:
    explicit FakeCloser(Log& log) : log_(log) {}
    void StartClosingHost() override {
        if (failsToStart) {
            throw Error(53, L"系统找不到指定的文件。");
        }
        log_.push_back(L"close host");
    }
    bool failsToStart = false;

  private:
    Log& log_;
};

const std::wstring kConfirm = L"confirm 将要强制关闭正在运行的 CorelDRAW！\r\n"
                              L"请保存您的工作并退出 CorelDRAW，以免造成损失。";
const std::wstring kMissingPrefix = L"error 缺少安装必需的文件，文件(";
const std::wstring kContact = L")不存在。\r\n请联系软件作者寻求帮助。";

class RunTest : public ::testing::Test {
  protected:
    RunTest() {
        host_->folders = {{L"gmspath", L"C:\\Corel\\GMS"},
                          {L"usergmspath", L"C:\\Users\\u\\GMS\\"},
                          {L"userdatapath", L"C:\\Users\\u\\Data\\"},
                          {L"applicationpath", L"C:\\Corel\\Programs\\"}};
        state_.AppFolder = L"C:\\AddOn\\";
    }

    void Items(FileItemTable items) { state_.FileItems = std::move(items); }
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
    // X7 and 2020 named, both installed.
    void X7And2020() {
        state_.HostVersions = {17, 22};
        Installed(17);
        Installed(22);
    }
    void Source(const std::wstring& name) { files_->files.insert(state_.AppFolder + name); }

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
                if (major == kX3Major && !versions_.contains(major)) {
                    if (hostError_) {
                        throw *hostError_;
                    }
                    return std::move(host_);
                }
                if (const auto error = hostErrors_.find(major); error != hostErrors_.end()) {
                    throw error->second;
                }
                return std::move(versions_.at(major));
            },
            [this]() -> std::unique_ptr<FileSystemOps> { return std::move(files_); }};
        services.observer = &runLog_;
        hostRaw_ = host_.get();
        filesRaw_ = files_.get();
        return RunInstallation(state_, RunMembers{hostApp_, fileSystem_}, services);
    }

    // What the walk did, without the fixed steps before it.
    Log WalkLog() const {
        Log walk;
        bool started = false;
        for (const auto& line : log_) {
            if (started && line != L"invisible") {
                walk.push_back(line);
            }
            started = started || line == L"invisible";
        }
        return walk;
    }

    Log log_;
    SharedState state_;
    FakeWindow window_{log_};
    FakeCloser closer_{log_};
    std::unique_ptr<FakeHost> host_ = std::make_unique<FakeHost>(log_);
    std::unique_ptr<FakeFiles> files_ = std::make_unique<FakeFiles>(log_);
    FakeHost* hostRaw_ = nullptr;
    FakeFiles* filesRaw_ = nullptr;
    std::optional<Error> hostError_;
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

} // namespace

TEST_F(RunTest, CancelAtTheConfirmationChangesNothingAndLogsOnlyTheAnswer) {
    Items({{L"c", L"a.gms", L"1", L"gmspath", L"x"}});
    window_.answerOk = false;
    EXPECT_EQ(Run(), RunOutcome::Cancelled);
    EXPECT_THAT(log_, ElementsAre(kConfirm));
    EXPECT_FALSE(hostApp_);
    EXPECT_FALSE(fileSystem_);
    ASSERT_EQ(sink_.records.size(), 1u);
    EXPECT_EQ(sink_.records[0].substr(0, 30), L"installer | confirm | cancel |");
}

TEST_F(RunTest, ACompleteRunShowsEveryCaptionInOrderAndSucceeds) {
    Items({{L"c", L"a.gms", L"1", L"gmspath", L"正在安装宏..."},
           {L"c", L"b.xml", L"0", L"userdatapath", L""}});
    Source(L"a.gms");
    Source(L"b.xml");
    EXPECT_EQ(Run(), RunOutcome::Succeeded);
    EXPECT_THAT(log_,
                ElementsAre(kConfirm, L"disable", L"caption 正在初始化，请稍候...", L"close host",
                            L"pause 10000", L"caption 正在检查 CorelDRAW X3...", L"open",
                            L"invisible", L"caption 正在安装宏...", L"resolve gmspath",
                            L"copy C:\\AddOn\\a.gms -> C:\\Corel\\GMS\\",
                            L"caption 正在安装，请稍候...", L"resolve userdatapath",
                            L"copy C:\\AddOn\\b.xml -> C:\\Users\\u\\Data\\", L"invisible",
                            L"caption 安装过程结束！", L"info 安装成功！"));
    EXPECT_TRUE(hostApp_) << "HostApp lives until ShutDown";
    EXPECT_TRUE(fileSystem_);
}

TEST_F(RunTest, AnUnknownTargetWorksInThePreviousItemsFolderWithItsBackslash) {
    Items({{L"c", L"a.gms", L"1", L"gmspath", L""}, {L"c", L"b.gms", L"1", L"GmsPath ", L""}});
    Source(L"a.gms");
    Source(L"b.gms");
    Run();
    EXPECT_THAT(WalkLog(), IsSupersetOf({L"copy C:\\AddOn\\a.gms -> C:\\Corel\\GMS\\",
                                         L"copy C:\\AddOn\\b.gms -> C:\\Corel\\GMS\\"}));
    EXPECT_EQ(log_.back(), L"info 安装成功！");
}

TEST_F(RunTest, AFirstItemWithAnUnknownTargetHasNoFolder) {
    Items({{L"c", L"a.gms", L"0", L"nowhere", L""}});
    Source(L"a.gms");
    Run();
    EXPECT_THAT(log_, Not(Contains(::testing::StartsWith(L"copy"))));
    EXPECT_EQ(log_.back(), L"info 安装成功！");

    // Required, it names the empty folder.
    log_.clear();
    host_ = std::make_unique<FakeHost>(log_);
    files_ = std::make_unique<FakeFiles>(log_);
    Items({{L"c", L"a.gms", L"1", L"nowhere", L""}, {L"c", L"b.gms", L"1", L"gmspath", L""}});
    Source(L"a.gms");
    EXPECT_EQ(Run(), RunOutcome::BadFolder);
    EXPECT_EQ(log_.back(), L"error CorelDRAW X3 可能没有正确安装，路径()不存在。\r\n"
                           L"请联系软件作者寻求帮助。");
    EXPECT_THAT(log_, Not(Contains(L"resolve gmspath"))) << "later items are not processed";
}

TEST_F(RunTest, AfterADeleteTheCarriedFolderIsStillAFolder) {
    Items({{L"k", L"old.gms", L"0", L"usergmspath", L""}, {L"c", L"new.gms", L"1", L"", L""}});
    Source(L"new.gms");
    files_->files.insert(L"C:\\Users\\u\\GMS\\old.gms");
    Run();
    EXPECT_THAT(WalkLog(), IsSupersetOf({L"delete C:\\Users\\u\\GMS\\old.gms",
                                         L"copy C:\\AddOn\\new.gms -> C:\\Users\\u\\GMS\\"}));
    EXPECT_EQ(log_.back(), L"info 安装成功！");
}

TEST_F(RunTest, ARequiredDeleteOfAnAbsentFileNamesTheMissingTarget) {
    Items({{L"k", L"old.gms", L"1", L"gmspath", L""}});
    EXPECT_EQ(Run(), RunOutcome::MissingFile);
    EXPECT_EQ(log_.back(), kMissingPrefix + L"C:\\Corel\\GMS\\old.gms" + kContact);
    EXPECT_THAT(log_, Not(Contains(::testing::StartsWith(L"delete"))));
}

TEST_F(RunTest, AnOptionalDeleteOfAnAbsentFileIsSkippedWithoutAWord) {
    Items({{L"k", L"old.gms", L"0", L"gmspath", L""}});
    Run();
    EXPECT_EQ(log_.back(), L"info 安装成功！");
    EXPECT_THAT(log_, Not(Contains(::testing::StartsWith(L"delete"))));
}

TEST_F(RunTest, OnlyExactlyOneIsRequired) {
    Items({{L"c", L"missing1.gms", L"1 ", L"gmspath", L""},
           {L"c", L"missing2.gms", L" 1", L"gmspath", L""},
           {L"c", L"missing3.gms", L"yes", L"gmspath", L""},
           {L"c", L"missing4.gms", L"1", L"gmspath", L""}});
    Run();
    EXPECT_EQ(log_.back(), kMissingPrefix + L"C:\\AddOn\\missing4.gms" + kContact);
}

TEST_F(RunTest, ImportWorkspaceImportsAnExistingFileAndCopiesNothing) {
    Items({{L"c", L"ws.xml", L"1", L"importworkspace", L""},
           {L"c", L"gone.xml", L"0", L"importworkspace", L""},
           {L"c", L"gone2.xml", L"1", L"importworkspace", L""}});
    Source(L"ws.xml");
    Run();
    EXPECT_THAT(WalkLog(),
                ElementsAre(L"caption 正在安装，请稍候...", L"import C:\\AddOn\\ws.xml",
                            L"caption 正在安装，请稍候...", L"caption 正在安装，请稍候...",
                            kMissingPrefix + L"C:\\AddOn\\gone2.xml" + kContact));
}

TEST_F(RunTest, AnEmptyHostFolderStopsARequiredItemAndSkipsAnOptionalOneSayingWhy) {
    host_->folders[L"userdatapath"] = L"";
    Items({{L"c", L"a.xml", L"0", L"userdatapath", L""},
           {L"k", L"b.gms", L"0", L"nowhere", L""},
           {L"c", L"c.xml", L"1", L"userdatapath", L""}});
    Source(L"a.xml");
    Source(L"c.xml");
    EXPECT_EQ(Run(), RunOutcome::BadFolder);
    EXPECT_THAT(log_, Not(Contains(::testing::StartsWith(L"copy"))));
    EXPECT_EQ(log_.back(),
              L"error CorelDRAW X3 可能没有正确安装，路径()不存在。\r\n请联系软件作者寻求帮助。");
    EXPECT_THAT(sink_.records,
                IsSupersetOf({L"installer | folder | X3 | userdatapath | ",
                              L"installer | skip | C:\\AddOn\\a.xml | optional, no folder for "
                              L"target \"userdatapath\"",
                              L"installer | skip | b.gms | optional, no folder for target "
                              L"\"nowhere\""}));
}

TEST_F(RunTest, AHostThatCantBeCreatedGetsTheCorelDrawMessageAfterThePause) {
    Items({{L"c", L"a.gms", L"1", L"gmspath", L""}});
    hostError_ = Error(kErrCantCreateObject, L"ActiveX 部件不能创建对象");
    EXPECT_EQ(Run(), RunOutcome::HostNotInstalled);
    EXPECT_THAT(log_, IsSupersetOf({L"close host", L"pause 10000"}));
    EXPECT_EQ(log_.back(), L"error 本程序只能在安装有 CorelDRAW X3 的系统中使用。");
    EXPECT_THAT(log_, Not(Contains(::testing::StartsWith(L"caption 正在安装"))));
}

TEST_F(RunTest, AnErrorMidWalkKeepsEarlierItemsAndShowsItsDescription) {
    Items({{L"c", L"a.gms", L"1", L"gmspath", L"first"},
           {L"c", L"b.gms", L"1", L"gmspath", L"second"},
           {L"c", L"c.gms", L"1", L"gmspath", L"third"}});
    Source(L"a.gms");
    Source(L"b.gms");
    Source(L"c.gms");
    files_->failing.insert(L"C:\\Corel\\GMS\\b.gms");
    EXPECT_EQ(Run(), RunOutcome::Failed);
    EXPECT_THAT(log_, Contains(L"copy C:\\AddOn\\a.gms -> C:\\Corel\\GMS\\"));
    EXPECT_THAT(log_, Not(Contains(L"caption third")));
    EXPECT_THAT(log_, Not(Contains(L"caption 安装过程结束！")));
    // The caption is left where the error came.
    EXPECT_EQ(log_[log_.size() - 3], L"caption second");
    EXPECT_EQ(log_.back(), L"error 发生意外错误，拒绝访问。");
}

TEST_F(RunTest, AHostCloserThatCantStartIsAnUnexpectedError) {
    Items({{L"c", L"a.gms", L"1", L"gmspath", L""}});
    closer_.failsToStart = true;
    Run();
    EXPECT_THAT(log_, Not(Contains(L"pause 10000")));
    EXPECT_EQ(log_.back(), L"error 发生意外错误，系统找不到指定的文件。");
}

TEST_F(RunTest, RowsWithOtherActionsOnlyShowTheirCaption) {
    Items({{L"", L"", L"", L"", L""}, {L"c ", L"a.gms", L"1", L"gmspath", L"cap"}});
    Source(L"a.gms");
    Run();
    EXPECT_THAT(WalkLog(), ElementsAre(L"caption 正在安装，请稍候...", L"caption cap",
                                       L"caption 安装过程结束！", L"info 安装成功！"));
}

TEST_F(RunTest, TheLogHasEveryStepWithFullPathsAndTheFinalMessage) {
    Items({{L"c", L"a.gms", L"1", L"gmspath", L"宏"},
           {L"c", L"ws.xml", L"1", L"importworkspace", L""},
           {L"k", L"old.gms", L"0", L"usergmspath", L""},
           {L"k", L"older.gms", L"0", L"usergmspath", L""},
           {L"c", L"gone.gms", L"0", L"", L""},
           {L"x", L"a.gms", L"1", L"gmspath", L""}});
    Source(L"a.gms");
    Source(L"ws.xml");
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

TEST_F(RunTest, EveryEndingIsLoggedWithTheTextTheWindowShows) {
    const auto lastMessage = [this] {
        return sink_.records.back().substr(std::wstring(L"installer | message | error | ").size());
    };
    const auto shown = [this] { return log_.back().substr(std::wstring(L"error ").size()); };

    Items({{L"c", L"missing.gms", L"1", L"gmspath", L""}});
    EXPECT_EQ(Run(), RunOutcome::MissingFile);
    EXPECT_EQ(lastMessage(), shown());
    EXPECT_EQ(shown(), L"缺少安装必需的文件，文件(C:\\AddOn\\missing.gms)不存在。\r\n"
                       L"请联系软件作者寻求帮助。");

    for (auto [items, error, outcome] :
         {std::tuple{FileItemTable{{L"c", L"a.gms", L"1", L"nowhere", L""}}, std::optional<Error>(),
                     RunOutcome::BadFolder},
          std::tuple{FileItemTable{{L"c", L"a.gms", L"1", L"gmspath", L""}},
                     std::optional<Error>(Error(kErrCantCreateObject, L"x")),
                     RunOutcome::HostNotInstalled},
          std::tuple{FileItemTable{{L"c", L"a.gms", L"1", L"gmspath", L""}},
                     std::optional<Error>(Error(70, L"拒绝访问。")), RunOutcome::Failed}}) {
        log_.clear();
        sink_.records.clear();
        hostApp_.reset();
        fileSystem_.reset();
        host_ = std::make_unique<FakeHost>(log_);
        host_->folders = {{L"gmspath", L"C:\\Corel\\GMS"}};
        files_ = std::make_unique<FakeFiles>(log_);
        Items(items);
        Source(L"a.gms");
        hostError_ = error;
        EXPECT_EQ(Run(), outcome);
        EXPECT_EQ(lastMessage(), shown());
    }
}

// --- With versions named in the description ----------------------------------------------------

TEST_F(RunTest, EachNamedVersionThatIsInstalledGetsEveryItemInAscendingOrder) {
    state_.HostVersions = {17, 20, 22};
    Installed(22);
    Installed(17);
    Items({{L"c", L"a.gms", L"1", L"gmspath", L"正在安装宏..."},
           {L"c", L"ws.xml", L"1", L"importworkspace", L""}});
    Source(L"a.gms");
    Source(L"ws.xml");
    EXPECT_EQ(Run(), RunOutcome::Succeeded);
    EXPECT_THAT(log_,
                ElementsAre(L"find 17 20 22", kConfirm + L"\r\n将安装到 CorelDRAW X7、2020。",
                            L"disable", L"caption 正在初始化，请稍候...", L"close host",
                            L"pause 10000", L"caption 正在检查 CorelDRAW X7...", L"open 17",
                            L"invisible 17", L"caption 正在安装宏...（X7）", L"resolve 17 gmspath",
                            L"copy C:\\AddOn\\a.gms -> C:\\V17\\GMS\\",
                            L"caption 正在安装，请稍候...（X7）", L"import 17 C:\\AddOn\\ws.xml",
                            L"invisible 17", L"release 17", L"caption 正在检查 CorelDRAW 2020...",
                            L"open 22", L"invisible 22", L"caption 正在安装宏...（2020）",
                            L"resolve 22 gmspath", L"copy C:\\AddOn\\a.gms -> C:\\V22\\GMS\\",
                            L"caption 正在安装，请稍候...（2020）", L"import 22 C:\\AddOn\\ws.xml",
                            L"invisible 22", L"caption 安装过程结束！",
                            L"info 安装成功！\r\n已安装到 CorelDRAW X7、2020。"));
    EXPECT_TRUE(hostApp_) << "the last version's object lives until ShutDown";
}

TEST_F(RunTest, OneVersionFoundKeepsTheCaptionsAsWritten) {
    state_.HostVersions = {17, 18, 19, 20};
    Installed(18);
    Items({{L"c", L"a.gms", L"1", L"gmspath", L"正在安装宏..."}});
    Source(L"a.gms");
    Run();
    EXPECT_EQ(log_[1], kConfirm + L"\r\n将安装到 CorelDRAW X8。");
    EXPECT_THAT(log_, Contains(L"caption 正在安装宏..."));
    EXPECT_THAT(log_, Not(Contains(::testing::StartsWith(L"release"))));
    EXPECT_EQ(log_.back(), L"info 安装成功！\r\n已安装到 CorelDRAW X8。");
}

TEST_F(RunTest, DestFolderStartsEmptyInEveryVersion) {
    // An item without a folder of its own would take the previous version's folder if the
    // folder were carried across versions.
    X7And2020();
    Items({{L"c", L"a.gms", L"0", L"nowhere", L""}, {L"c", L"b.gms", L"1", L"gmspath", L""}});
    Source(L"a.gms");
    Source(L"b.gms");
    Run();
    EXPECT_THAT(log_, Not(Contains(::testing::StartsWith(L"copy C:\\AddOn\\a.gms"))));
    EXPECT_THAT(log_, IsSupersetOf({L"copy C:\\AddOn\\b.gms -> C:\\V17\\GMS\\",
                                    L"copy C:\\AddOn\\b.gms -> C:\\V22\\GMS\\"}));
    EXPECT_EQ(log_.back(), L"info 安装成功！\r\n已安装到 CorelDRAW X7、2020。");
}

TEST_F(RunTest, AMissingFileInTheSecondVersionStopsThereWithTheFirstVersionsItemsKept) {
    X7And2020();
    Items({{L"c", L"a.gms", L"1", L"gmspath", L""}, {L"k", L"old.gms", L"1", L"gmspath", L""}});
    Source(L"a.gms");
    files_->files.insert(L"C:\\V17\\GMS\\old.gms");
    Run();
    EXPECT_THAT(log_, IsSupersetOf({L"copy C:\\AddOn\\a.gms -> C:\\V17\\GMS\\",
                                    L"delete C:\\V17\\GMS\\old.gms",
                                    L"copy C:\\AddOn\\a.gms -> C:\\V22\\GMS\\"}));
    EXPECT_THAT(log_, Not(Contains(L"caption 安装过程结束！")));
    EXPECT_EQ(log_.back(), kMissingPrefix + L"C:\\V22\\GMS\\old.gms" + kContact);
    EXPECT_TRUE(filesRaw_->files.contains(L"C:\\V17\\GMS\\a.gms"));
}

TEST_F(RunTest, ABadFolderNamesTheVersionItBelongsTo) {
    state_.HostVersions = {17, 24};
    Installed(17);
    Installed(24).folders[L"userdatapath"] = L"";
    Items({{L"c", L"p.xml", L"1", L"userdatapath", L""}});
    Source(L"p.xml");
    Run();
    EXPECT_THAT(log_, Contains(L"copy C:\\AddOn\\p.xml -> C:\\V17\\Data\\"));
    EXPECT_EQ(log_.back(), L"error CorelDRAW 2022/2023 可能没有正确安装，路径()不存在。\r\n"
                           L"请联系软件作者寻求帮助。");
}

TEST_F(RunTest, AFoundVersionThatCantBeStartedGetsTheMessageForThatVersion) {
    state_.HostVersions = {13, 17, 22};
    Installed(13);
    Installed(22);
    Installed(17);
    hostErrors_.emplace(17, Error(kErrCantCreateObject, L"ActiveX 部件不能创建对象"));
    Items({{L"c", L"a.gms", L"1", L"gmspath", L""}});
    Source(L"a.gms");
    Run();
    // X3 first, then X7 fails, and 2020 is never reached.
    EXPECT_THAT(log_, Contains(L"copy C:\\AddOn\\a.gms -> C:\\V13\\GMS\\"));
    EXPECT_THAT(log_, Contains(L"caption 正在检查 CorelDRAW X7..."));
    EXPECT_THAT(log_, Not(Contains(L"caption 正在检查 CorelDRAW 2020...")));
    EXPECT_EQ(log_.back(), L"error 本程序只能在安装有 CorelDRAW X7 的系统中使用。");
}

TEST_F(RunTest, NoneOfTheNamedVersionsInstalledIsSaidAtOnceAndNothingIsClosed) {
    state_.HostVersions = {17, 18, 19, 20, 21, 22};
    Items({{L"c", L"a.gms", L"1", L"gmspath", L""}});
    Source(L"a.gms");
    EXPECT_EQ(Run(), RunOutcome::HostNotInstalled);
    EXPECT_THAT(log_, ElementsAre(L"find 17 18 19 20 21 22",
                                  L"error 本程序只能在安装有 CorelDRAW X7 至 2020 的系统中使用。"));
    EXPECT_FALSE(hostApp_);
}

TEST_F(RunTest, CancelWithVersionsNamedClosesNothing) {
    state_.HostVersions = {17};
    Installed(17);
    Items({{L"c", L"a.gms", L"1", L"gmspath", L""}});
    window_.answerOk = false;
    EXPECT_EQ(Run(), RunOutcome::Cancelled);
    EXPECT_THAT(log_, ElementsAre(L"find 17", kConfirm + L"\r\n将安装到 CorelDRAW X7。"));
}

TEST_F(RunTest, TheLogNamesEachVersionsHostAndFoldersAndEveryEndingItsText) {
    X7And2020();
    Items({{L"c", L"a.gms", L"1", L"gmspath", L""}});
    Source(L"a.gms");
    EXPECT_EQ(Run(), RunOutcome::Succeeded);
    EXPECT_THAT(sink_.records,
                IsSupersetOf({L"installer | host | CorelDRAW X7",
                              L"installer | folder | X7 | gmspath | C:\\V17\\GMS\\",
                              L"installer | copy | C:\\AddOn\\a.gms | C:\\V17\\GMS\\a.gms",
                              L"installer | host | CorelDRAW 2020",
                              L"installer | folder | 2020 | gmspath | C:\\V22\\GMS\\",
                              L"installer | copy | C:\\AddOn\\a.gms | C:\\V22\\GMS\\a.gms"}));
    EXPECT_EQ(sink_.records.back(),
              L"installer | message | information | 安装成功！\r\n已安装到 CorelDRAW X7、2020。");
    EXPECT_EQ(sink_.records.front(), L"installer | confirm | ok | " + kConfirm.substr(8) +
                                         L"\r\n将安装到 CorelDRAW X7、2020。");
}

TEST_F(RunTest, NoneOfTheNamedVersionsIsLoggedWithItsMessage) {
    state_.HostVersions = {17, 18};
    Items({{L"c", L"a.gms", L"1", L"gmspath", L""}});
    EXPECT_EQ(Run(), RunOutcome::HostNotInstalled);
    EXPECT_THAT(sink_.records,
                ElementsAre(L"installer | message | error | 本程序只能在安装有 CorelDRAW X7、X8 "
                            L"的系统中使用。"));
}
