// The add-on's record, the recorded run and the removal, over one simulated disk: the host's
// files, the backups, the record as it is on the disk (what was flushed) and the entry.

#include "base/error.h"
#include "install/reports.h"
#include "install/run.h"
#include "record/journal.h"
#include "record/record.h"
#include "record/removal.h"
#include "tests/unit/run_fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

using namespace tamrick;
using tamrick::test::FakeCloser;
using tamrick::test::FakeHost;
using tamrick::test::FakeWindow;
using ::testing::HasSubstr;

namespace {

// A power cut: the process is gone, what was not flushed is lost.
struct PowerCut {};

struct Disk {
    std::map<std::wstring, std::string> files; // the host's folders and the add-on's folder
    std::map<std::uint64_t, std::string> backups;
    std::optional<std::string> record; // as flushed
    std::optional<EntryValues> entry;
    bool uninstaller = false;
    int entryWrites = 0;
    // Changes left before the power goes; negative: it never does.
    int budget = -1;
    bool dead = false; // the power went: nothing reaches the disk any more

    void Spend() {
        if (dead || budget == 0) {
            dead = true;
            throw PowerCut{};
        }
        if (budget > 0) {
            --budget;
        }
    }
    // What the user sees in CorelDRAW's folders.
    std::map<std::wstring, std::string> HostFiles() const {
        std::map<std::wstring, std::string> host;
        for (const auto& [path, content] : files) {
            if (!path.starts_with(L"C:\\AddOn\\")) {
                host.emplace(path, content);
            }
        }
        return host;
    }
    bool RecordFolderExists() const { return record || uninstaller || !backups.empty(); }
};

std::string FakeHash(const std::string& content) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016zx", std::hash<std::string>{}(content));
    return std::string(hex) + hex + hex + hex;
}

class FakeStore final : public RecordStore {
  public:
    explicit FakeStore(Disk& disk) : disk_(disk) {}

    std::wstring RecordPath() const override {
        return L"C:\\ProgramData\\Tamrick\\demo\\Record.txt";
    }
    std::optional<std::string> ReadRecord() override { return disk_.record; }
    void CutRecord(std::size_t size) override {
        disk_.Spend();
        disk_.record->resize(size);
    }
    void Append(std::string_view line) override {
        pending_ += line;
        pending_ += '\n';
    }
    void Flush() override {
        if (pending_.empty()) {
            return;
        }
        if (disk_.budget == 0 && !disk_.dead) {
            // Cut half-way through the write.
            disk_.record = disk_.record.value_or("") + pending_.substr(0, pending_.size() / 2);
        }
        disk_.Spend();
        disk_.record = disk_.record.value_or("") + pending_;
        pending_.clear();
    }
    std::optional<std::string> HashOf(const std::wstring& path) override {
        const auto it = disk_.files.find(path);
        return it == disk_.files.end() ? std::nullopt : std::optional(FakeHash(it->second));
    }
    bool FileExists(const std::wstring& path) override { return disk_.files.contains(path); }
    std::uint64_t SizeOf(const std::wstring& path) override { return disk_.files.at(path).size(); }
    void RemoveFile(const std::wstring& path) override {
        disk_.Spend();
        disk_.files.erase(path);
    }
    void SaveBackup(const std::wstring& path, std::uint64_t id) override {
        disk_.Spend();
        disk_.backups[id] = disk_.files.at(path);
    }
    std::optional<std::string> BackupHash(std::uint64_t id) override {
        const auto it = disk_.backups.find(id);
        return it == disk_.backups.end() ? std::nullopt : std::optional(FakeHash(it->second));
    }
    void RestoreBackup(std::uint64_t id, const std::wstring& path) override {
        disk_.Spend();
        disk_.files[path] = disk_.backups.at(id);
        disk_.backups.erase(id);
    }
    void DropBackup(std::uint64_t id) override {
        disk_.Spend();
        disk_.backups.erase(id);
    }
    void PlaceUninstaller() override {
        disk_.Spend();
        disk_.uninstaller = true;
    }
    void WriteEntry(const EntryValues& values) override {
        disk_.Spend();
        if (failEntry) {
            throw Error(5, L"拒绝访问。");
        }
        disk_.entry = values;
        ++disk_.entryWrites;
    }
    void RemoveEntry() override {
        disk_.Spend();
        disk_.entry.reset();
    }
    void RemoveRecordFolder() override {
        disk_.Spend();
        disk_.record.reset();
        disk_.backups.clear();
        disk_.uninstaller = false;
    }
    bool failEntry = false;

  private:
    Disk& disk_;
    std::string pending_;
};

class DiskFiles final : public FileSystemOps {
  public:
    explicit DiskFiles(Disk& disk) : disk_(disk) {}
    bool FileExists(const std::wstring& path) override { return disk_.files.contains(path); }
    void CopyFileInto(const std::wstring& source, const std::wstring& folder) override {
        disk_.Spend();
        disk_.files[folder + source.substr(source.rfind(L'\\') + 1)] = disk_.files.at(source);
    }
    void RemoveFile(const std::wstring& path) override {
        disk_.Spend();
        disk_.files.erase(path);
    }

  private:
    Disk& disk_;
};

class Face final : public RemovalFace {
  public:
    bool Confirm(const std::wstring& text) override {
        confirmation = text;
        return answerOk;
    }
    void ShowMessage(const std::wstring& text, MessageKind kind) override {
        message = text;
        error = kind == MessageKind::Error;
    }
    void Pause(std::chrono::milliseconds /*duration*/) override {}
    bool answerOk = true;
    std::wstring confirmation;
    std::wstring message;
    bool error = false;
};

FileItem Copy(std::wstring name, std::wstring required = L"1") {
    return FileItem{L"c", std::move(name), std::move(required), L"gmspath", L""};
}
FileItem Delete(std::wstring name) {
    return FileItem{L"k", std::move(name), L"0", L"gmspath", L""};
}

class RecordTest : public ::testing::Test {
  protected:
    RecordTest() {
        // What the user had before the add-on came: a file the add-on replaces, one it deletes.
        disk_.files = {{L"C:\\V17\\GMS\\a.gms", "user's a"},
                       {L"C:\\V17\\GMS\\old.gms", "old"},
                       {L"C:\\V22\\GMS\\keep.txt", "unrelated"},
                       {L"C:\\AddOn\\a.gms", "add-on a 1.0"},
                       {L"C:\\AddOn\\b.gms", "add-on b 1.0"}};
        before_ = disk_.HostFiles();
        initial_ = disk_.files;
        state_.AppFolder = L"C:\\AddOn\\";
        state_.HostVersions = {17, 22};
        state_.AddonId = L"Tamrick.Demo";
        state_.AddonName = L"Demo";
        state_.AddonVersion = L"1.0";
        state_.FileItems = FileItemTable{Copy(L"a.gms"), Copy(L"b.gms"), Delete(L"old.gms")};
    }

    RunOutcome Install() {
        FakeStore store(disk_);
        store.failEntry = failEntry_;
        Journal journal(store, AddonFactsOf(state_, RecordScope::Machine));
        FakeCloser closer(steps_);
        std::unique_ptr<Host> host;
        std::unique_ptr<FileSystemOps> files;
        RunServices services{
            window_, closer,
            [](std::span<const int> named) { return std::vector<int>(named.begin(), named.end()); },
            // Version <major> keeps its macros in C:\V<major>\GMS\.
            [this](int major) {
                auto version = std::make_unique<FakeHost>(steps_);
                version->folders[L"gmspath"] = L"C:\\V" + std::to_wstring(major) + L"\\GMS\\";
                return version;
            },
            [this] { return std::make_unique<DiskFiles>(disk_); }};
        services.record = &journal;
        const RunOutcome outcome = RunInstallation(state_, RunMembers{host, files}, services);
        if (disk_.dead) {
            disk_.dead = false;
            disk_.budget = -1;
            throw PowerCut{};
        }
        return outcome;
    }

    RemovalOutcome Remove() {
        FakeStore store(disk_);
        FakeCloser closer(steps_);
        const RemovalOutcome outcome = RunRemoval(RemovalServices{face_, closer, store});
        disk_.dead = false;
        disk_.budget = -1;
        return outcome;
    }

    Disk disk_;
    std::map<std::wstring, std::string> before_;
    std::map<std::wstring, std::string> initial_;
    SharedState state_;
    test::Log steps_;
    FakeWindow window_{steps_};
    Face face_;
    bool failEntry_ = false;
};

TEST_F(RecordTest, RemovalPutsBackWhatWasReplacedAndDeletedAndTakesTheRestAway) {
    // An imported workspace can't be taken back: it is named, once for each version.
    disk_.files[L"C:\\AddOn\\w.cdws"] = "workspace";
    state_.FileItems->push_back(FileItem{L"c", L"w.cdws", L"1", L"importworkspace", L""});
    ASSERT_EQ(Install(), RunOutcome::Succeeded);
    EXPECT_EQ(disk_.files.at(L"C:\\V22\\GMS\\a.gms"), "add-on a 1.0");
    EXPECT_FALSE(disk_.files.contains(L"C:\\V17\\GMS\\old.gms"));
    ASSERT_TRUE(disk_.entry);
    EXPECT_EQ(disk_.entry->displayName, L"Demo");
    EXPECT_EQ(disk_.entry->displayVersion, L"1.0");
    // Two copies in each version, twelve bytes each.
    EXPECT_EQ(disk_.entry->estimatedBytes, 4u * 12u);
    EXPECT_TRUE(disk_.uninstaller);

    const RemovalOutcome outcome = Remove();
    EXPECT_EQ(outcome, RemovalOutcome::Removed);
    EXPECT_EQ(ExitCodeFor(EndingOf(outcome)), 0);
    EXPECT_EQ(disk_.HostFiles(), before_);
    EXPECT_FALSE(disk_.entry);
    EXPECT_FALSE(disk_.RecordFolderExists());
    EXPECT_EQ(face_.confirmation, L"将要卸载“Demo”，并从 CorelDRAW X7、2020 中删除它的文件。\r\n" +
                                      std::wstring(kHostCloseWarning));
    EXPECT_EQ(face_.message,
              L"卸载成功！\r\n导入到 CorelDRAW X7 的工作区无法自动卸载，请在 CorelDRAW 中删除它："
              L"C:\\AddOn\\w.cdws\r\n导入到 CorelDRAW 2020 的工作区无法自动卸载，请在 CorelDRAW "
              L"中删除它：C:\\AddOn\\w.cdws");
    EXPECT_FALSE(face_.error);
}

TEST_F(RecordTest, AFileChangedSinceIsKeptAndNamedAndAFileThatTookADeletedNameStays) {
    ASSERT_EQ(Install(), RunOutcome::Succeeded);
    disk_.files[L"C:\\V17\\GMS\\a.gms"] = "edited by the user";
    disk_.files[L"C:\\V17\\GMS\\old.gms"] = "a new old.gms";
    const RemovalOutcome outcome = Remove();
    EXPECT_EQ(outcome, RemovalOutcome::RemovedKeptChanged);
    EXPECT_EQ(ExitCodeFor(EndingOf(outcome)), 13);
    EXPECT_EQ(disk_.files.at(L"C:\\V17\\GMS\\a.gms"), "edited by the user");
    EXPECT_EQ(disk_.files.at(L"C:\\V17\\GMS\\old.gms"), "a new old.gms");
    EXPECT_FALSE(disk_.files.contains(L"C:\\V22\\GMS\\a.gms"));
    EXPECT_EQ(face_.message,
              L"卸载成功！\r\n以下文件在安装后被修改过，已保留：\r\nC:\\V17\\GMS\\a.gms");
    EXPECT_FALSE(disk_.RecordFolderExists());
}

TEST_F(RecordTest, AFailedFirstInstallationLeavesNothingAndItsMessageSaysSo) {
    // The second version's copy of b finds it gone.
    state_.FileItems = FileItemTable{Copy(L"a.gms"), Delete(L"old.gms"), Copy(L"c.gms")};
    ASSERT_EQ(Install(), RunOutcome::MissingFile);
    EXPECT_EQ(steps_.back(),
              L"error " + MissingFileReport(L"C:\\AddOn\\c.gms") + L"\r\n" + kChangesUndoneLine);
    EXPECT_EQ(disk_.HostFiles(), before_);
    EXPECT_FALSE(disk_.entry);
    EXPECT_FALSE(disk_.RecordFolderExists());

    // An entry that can't be written fails the run as well: nothing is half-listed.
    state_.FileItems = FileItemTable{Copy(L"a.gms")};
    failEntry_ = true;
    ASSERT_EQ(Install(), RunOutcome::Failed);
    EXPECT_EQ(steps_.back(),
              L"error 发生意外错误，拒绝访问。\r\n" + std::wstring(kChangesUndoneLine));
    EXPECT_EQ(disk_.HostFiles(), before_);
    EXPECT_FALSE(disk_.RecordFolderExists());
}

TEST_F(RecordTest, AFailedUpgradeLeavesTheReleaseAndAnUpgradeAndItsRemovalReturnToTheFirst) {
    ASSERT_EQ(Install(), RunOutcome::Succeeded);
    const auto released = disk_.HostFiles();
    disk_.files[L"C:\\AddOn\\a.gms"] = "add-on a 2.0";
    state_.AddonVersion = L"2.0";
    state_.FileItems = FileItemTable{Copy(L"a.gms"), Delete(L"b.gms"), Copy(L"missing.gms")};
    ASSERT_EQ(Install(), RunOutcome::MissingFile);
    EXPECT_EQ(disk_.HostFiles(), released);
    EXPECT_EQ(disk_.entry->displayVersion, L"1.0");
    EXPECT_TRUE(disk_.uninstaller);

    state_.FileItems->pop_back();
    ASSERT_EQ(Install(), RunOutcome::Succeeded);
    EXPECT_EQ(disk_.files.at(L"C:\\V17\\GMS\\a.gms"), "add-on a 2.0");
    EXPECT_FALSE(disk_.files.contains(L"C:\\V17\\GMS\\b.gms"));
    EXPECT_EQ(disk_.entry->displayVersion, L"2.0");
    EXPECT_EQ(disk_.entryWrites, 2);

    EXPECT_EQ(Remove(), RemovalOutcome::Removed);
    EXPECT_EQ(disk_.HostFiles(), before_);
}

TEST_F(RecordTest, ARemovalCutOffAnywhereFinishesWhenStartedAgain) {
    ASSERT_EQ(Install(), RunOutcome::Succeeded);
    const Disk installed = disk_;
    for (int cut = 0;; ++cut) {
        disk_ = installed;
        disk_.budget = cut;
        const RemovalOutcome first = Remove();
        if (first == RemovalOutcome::Removed) {
            EXPECT_GT(cut, 10) << "every step was cut once";
            break;
        }
        ASSERT_EQ(first, RemovalOutcome::Failed) << cut;
        ASSERT_EQ(Remove(), RemovalOutcome::Removed) << "cut after " << cut << " steps";
        EXPECT_EQ(disk_.HostFiles(), before_) << cut;
        EXPECT_FALSE(disk_.entry) << cut;
        EXPECT_FALSE(disk_.RecordFolderExists()) << cut;
    }
}

TEST_F(RecordTest, AnInstallationCutOffAnywhereIsTakenBackByTheNextRunOrTheRemoval) {
    for (int cut = 0;; ++cut) {
        disk_ = Disk{};
        disk_.files = initial_;
        disk_.budget = cut;
        try {
            if (Install() == RunOutcome::Succeeded) {
                EXPECT_GT(cut, 10);
                break;
            }
        } catch (const PowerCut&) {
        }
        const Disk cutOff = disk_;
        // The next run takes the cut-off one back first, then installs.
        ASSERT_EQ(Install(), RunOutcome::Succeeded) << cut;
        EXPECT_EQ(Remove(), RemovalOutcome::Removed) << cut;
        EXPECT_EQ(disk_.HostFiles(), before_) << cut;
        // Removed without another run: the same.
        disk_ = cutOff;
        if (disk_.record) {
            EXPECT_NE(Remove(), RemovalOutcome::Failed) << cut;
            EXPECT_EQ(disk_.HostFiles(), before_) << cut;
        }
    }
}

TEST_F(RecordTest, CancelNoRecordAndADamagedRecordChangeNothing) {
    ASSERT_EQ(Install(), RunOutcome::Succeeded);
    const Disk installed = disk_;
    face_.answerOk = false;
    EXPECT_EQ(Remove(), RemovalOutcome::Cancelled);
    EXPECT_EQ(disk_.files, installed.files);
    EXPECT_TRUE(face_.message.empty());

    face_.answerOk = true;
    disk_.record->insert(disk_.record->find("write"), "bogus\n");
    const RemovalOutcome damaged = Remove();
    EXPECT_EQ(ExitCodeFor(EndingOf(damaged)), 14);
    EXPECT_EQ(face_.message,
              L"安装记录(C:\\ProgramData\\Tamrick\\demo\\Record.txt)已损坏，无法卸载。"
              L"没有做任何更改。");
    EXPECT_TRUE(face_.error);
    EXPECT_EQ(disk_.files, installed.files);

    disk_.record.reset();
    EXPECT_EQ(Remove(), RemovalOutcome::NoRecord);
    EXPECT_THAT(face_.message, HasSubstr(L"找不到安装记录"));
}

TEST(RecordFormat, WhatIsWrittenReadsBackAndACutOffLastLineIsDropped) {
    Change write{1,    ChangeKind::Write,    1,  17,   L"C:\\Corel\\GMS\\a.gms",
                 true, std::string(64, 'a'), "", false};
    Change remove{2, ChangeKind::Delete, 1, 22, L"\\\\server\\share\\b.gms", true, "", "", false};
    const std::string text = HeaderLine(RecordScope::User, L"Demo") + "\n" +
                             ReleaseLine({1, L"1.0", L"演示\t插件", L"Tamrick", false}) + "\n" +
                             ChangeLine(write) + "\n" + WrittenLine(1, std::string(64, 'b')) +
                             "\n" + ChangeLine(remove) + "\n" + UndoneLine(2) + "\n" + DoneLine(1) +
                             "\n";
    const std::optional<Record> record = ParseRecord(text);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->scope, RecordScope::User);
    EXPECT_EQ(record->releases.at(0).name, L"演示 插件"); // the tab would end the field
    EXPECT_TRUE(record->releases.at(0).done);
    ASSERT_EQ(record->changes.size(), 2u);
    EXPECT_EQ(record->changes[0].path, write.path);
    EXPECT_EQ(record->changes[0].written, std::string(64, 'b'));
    EXPECT_TRUE(record->changes[1].undone);
    EXPECT_EQ(record->Versions(), std::vector<int>{17});

    // A line cut off as it was written is dropped, whatever it holds.
    const std::optional<Record> cut = ParseRecord(text + "undone\t1\tgarbage");
    ASSERT_TRUE(cut);
    EXPECT_FALSE(cut->changes[0].undone);
}

TEST(RecordFormat, ARecordThatIsNotExactlyOursIsDamaged) {
    const std::string head = "tamrick-record\t1\tmachine\tDemo\nrelease\t1\t1.0\tDemo\tTamrick\n";
    const std::string hash(64, 'c');
    const std::string damaged[] = {
        "",                                    // nothing
        "tamrick-record\t2\tmachine\tDemo\n",  // a format of the future
        "tamrick-record\t1\teveryone\tDemo\n", // no such scope
        "tamrick-record\t1\tmachine\t..\n",    // not an add-on id
        "tamrick-record\t1\tmachine\tDemo\nwrite\t1\t17\t0\t" + hash + "\tC:\\a\n", // no release
        head + "write\t2\t17\t0\t" + hash + "\tC:\\a\n",           // ids out of order
        head + "write\t1\t17\t0\t" + hash.substr(1) + "\tC:\\a\n", // a short hash
        head + "write\t1\t017\t0\t" + hash + "\tC:\\a\n",          // a leading zero
        head + "write\t1\t17\t2\t" + hash + "\tC:\\a\n",           // backup neither 0 nor 1
        head + "delete\t1\t17\tC:\\a\\..\\Windows\\x.dll\n",       // climbs out
        head + "delete\t1\t17\ta\\relative.gms\n",                 // relative
        head + "delete\t1\t17\tC:/forward/slashes\n",
        head + "delete\t1\t100\tC:\\a\n",       // no such version
        head + "delete\t1\t17\tC:\\a\xff\n",    // not UTF-8
        head + "written\t1\t" + hash + "\n",    // of no write
        head + "undone\t1\n",                   // of no change
        head + "done\t2\n",                     // of no release
        head + "\n",                            // an empty line
        head + "release\t3\t\t\t\n",            // a release skipped
        head + "delete\t1\t17\tC:\\a\textra\n", // a field too many
    };
    for (const std::string& text : damaged) {
        EXPECT_FALSE(ParseRecord(text)) << text;
    }
    EXPECT_TRUE(ParseRecord(head + "delete\t1\t17\tC:\\a\n"));
}

} // namespace
