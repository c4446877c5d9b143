#include "addon_folder.h"
#include "description/decode.h"
#include "install/run.h"
#include "tools/instinfo/plan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tamrick;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class PlanTest : public ::testing::Test {
  protected:
    Plan Make(const HostFolders& folders = {}) {
        PlanOptions options;
        options.folders = folders;
        return MakeWith(options);
    }
    Plan MakeWith(const PlanOptions& options) {
        return plan_ = MakePlan(folder_.Prefix(), options);
    }

    // "kind: text" for each step; an item as "item N: operation: text".
    std::vector<std::string> Steps() const {
        std::vector<std::string> out;
        for (const PlanStep& s : plan_.steps) {
            if (s.item) {
                out.push_back("item " + std::to_string(s.item->row + 1) + ": " + s.item->operation +
                              ": " + Local(s.item->text));
            } else {
                out.push_back(s.kind + ": " + ToUtf8(s.text));
            }
        }
        return out;
    }

    // The steps of the walk only: from the first item to the end.
    std::vector<std::string> Walk() const {
        std::vector<std::string> all = Steps();
        const auto first = std::find_if(all.begin(), all.end(),
                                        [](const std::string& s) { return s.starts_with("item"); });
        return std::vector<std::string>(first, all.end());
    }

    const PlanItem& Item(std::size_t row) const {
        for (const PlanStep& s : plan_.steps) {
            if (s.item && s.item->row == row) {
                return *s.item;
            }
        }
        throw std::out_of_range("no such item");
    }

    // Paths in the add-on folder shown as "ADDON/name".
    std::string Local(const std::wstring& text) const {
        std::string t = ToUtf8(text);
        const std::string prefix = ToUtf8(folder_.Prefix());
        for (auto at = t.find(prefix); at != std::string::npos; at = t.find(prefix)) {
            t.replace(at, prefix.size(), "ADDON/");
        }
        return t;
    }

    AddOnFolder folder_;
    Plan plan_;
};

const std::string kConfirm = "confirm: 将要强制关闭正在运行的 CorelDRAW！\r\n"
                             "请保存您的工作并退出 CorelDRAW，以免造成损失。";

} // namespace

TEST_F(PlanTest, AGoodFolderRunsEveryStepToTheSuccessMessage) {
    folder_.Description("SetupTitle=演示\r\n"
                        "FileItem=c|a.gms|1|GMSPath|正在安装宏...\r\n"
                        "FileItem=c|w.xml|1|ImportWorkspace\r\n"
                        "FileItem=k|old.gms|0|UserGMSPath|正在删除...\r\n");
    folder_.File("a.gms");
    folder_.File("w.xml");
    Make();
    EXPECT_EQ(plan_.outcome, "success");
    EXPECT_THAT(
        Steps(),
        ElementsAre("window: the window opens, titled \"演示\", with the built-in banner "
                    "(\"flags.bmp\" is not there)",
                    kConfirm, "disable: the button is disabled", "caption: 正在初始化，请稍候...",
                    "close-host: every running CorelDRW.exe is closed by force, without waiting",
                    "pause: pause of 10 s", "caption: 正在检查 CorelDRAW X3...",
                    "open-host: CorelDRAW X3 is started through its automation interface",
                    "switch: CorelDRAW X3 is kept hidden",
                    "item 1: copy: copy ADDON/a.gms to <gmspath>\\a.gms",
                    "item 2: import: CorelDRAW imports ADDON/w.xml as a workspace",
                    "item 3: delete: delete <usergmspath>\\old.gms (if it is there; if not, the "
                    "item is skipped)",
                    "switch: CorelDRAW X3 is kept hidden", "caption: 安装过程结束！",
                    "message-information: 安装成功！", "end: the installer ends"));
    EXPECT_EQ(ToUtf8(Item(0).caption), "正在安装宏...");
    EXPECT_EQ(ToUtf8(Item(1).caption), "正在安装，请稍候...");
    EXPECT_EQ(Item(0).line, 2u);
    EXPECT_TRUE(Item(0).required);
    EXPECT_EQ(ToUtf8(Item(0).folder), "gmspath -> <gmspath>");
    EXPECT_TRUE(Item(1).folder.empty());
}

TEST_F(PlanTest, GivenFoldersAreUsedAsTheHostReturnsThem) {
    folder_.Description("FileItem=c|a.gms|1|gmspath\nFileItem=k|old.gms|1|userdatapath\n");
    folder_.File("a.gms");
    Make({{L"gmspath", L"C:\\Corel\\GMS"}, {L"userdatapath", L"D:\\Data\\"}});
    EXPECT_THAT(Walk(),
                ElementsAre("item 1: copy: copy ADDON/a.gms to C:\\Corel\\GMS\\a.gms",
                            "item 2: delete: delete D:\\Data\\old.gms (if it is there); where "
                            "it is not, the installation stops with the message\r\n"
                            "缺少安装必需的文件，文件(D:\\Data\\old.gms)不存在。\r\n"
                            "请联系软件作者寻求帮助。",
                            "switch: CorelDRAW X3 is kept hidden", "caption: 安装过程结束！",
                            "message-information: 安装成功！", "end: the installer ends"));
}

TEST_F(PlanTest, ARequiredItemWithoutItsFileStopsAtTheAbortReport) {
    folder_.Description("FileItem=c|a.gms|0|gmspath\n"
                        "FileItem=c|gone.gms|1|gmspath\n"
                        "FileItem=c|a.gms|1|usergmspath\n");
    folder_.File("a.gms");
    Make();
    EXPECT_EQ(plan_.outcome, "abort");
    const std::string report = "message-error: 缺少安装必需的文件，文件(" +
                               ToUtf8(folder_.Prefix()) +
                               "gone.gms)不存在。\r\n请联系软件作者寻求帮助。";
    EXPECT_THAT(Walk(),
                ElementsAre("item 1: copy: copy ADDON/a.gms to <gmspath>\\a.gms",
                            "item 2: stop: the installation stops: ADDON/gone.gms is not there",
                            report, "end: the installer ends"));
}

TEST_F(PlanTest, AnEmptyFolderStopsARequiredItemWithTheBadFolderReport) {
    folder_.Description("FileItem=c|a.gms|0|gmspath\nFileItem=c|a.gms|1|gmspath\n");
    folder_.File("a.gms");
    Make({{L"gmspath", L""}});
    EXPECT_EQ(plan_.outcome, "abort");
    EXPECT_THAT(Walk(), ElementsAre("item 1: skipped: skipped: the folder is empty (the item is "
                                    "optional)",
                                    "item 2: stop: the installation stops: the folder is empty",
                                    "message-error: CorelDRAW X3 可能没有正确安装，路径()不存在。"
                                    "\r\n请联系软件作者寻求帮助。",
                                    "end: the installer ends"));
    EXPECT_EQ(ToUtf8(Item(0).folder), "gmspath -> \"\" (empty)");
}

TEST_F(PlanTest, OptionalItemsWithoutTheirFileAreSkippedAndTheWalkGoesOn) {
    folder_.Description("FileItem=c|gone.gms|0|gmspath\nFileItem=c|gone.xml|0|importworkspace\n"
                        "FileItem=c|sub\\a.gms|1|gmspath\n");
    folder_.File("sub/a.gms");
    Make();
    EXPECT_EQ(plan_.outcome, "success");
    EXPECT_THAT(Walk()[0], "item 1: skipped: skipped: ADDON/gone.gms is not there (the item is "
                           "optional)");
    EXPECT_THAT(Walk()[1], "item 2: skipped: skipped: ADDON/gone.xml is not there (the item is "
                           "optional)");
    EXPECT_THAT(Walk()[2], "item 3: copy: copy ADDON/sub\\a.gms to <gmspath>\\a.gms");
}

TEST_F(PlanTest, AnUnknownTargetKeepsThePreviousFolder) {
    folder_.Description("FileItem=c|a.gms|0|nowhere\n"
                        "FileItem=k|old.gms|0|usergmspath\n"
                        "FileItem=c|a.gms|0|usergmspth\n");
    folder_.File("a.gms");
    Make();
    EXPECT_EQ(Walk()[0], "item 1: skipped: skipped: the folder is empty (the item is optional)");
    EXPECT_EQ(ToUtf8(Item(0).folder),
              "target \"nowhere\" names no folder; the previous one stays: none yet (empty)");
    EXPECT_EQ(Walk()[2], "item 3: copy: copy ADDON/a.gms to <usergmspath>\\a.gms");
    EXPECT_EQ(ToUtf8(Item(2).folder),
              "target \"usergmspth\" names no folder; the previous one stays: <usergmspath>\\");
}

TEST_F(PlanTest, ItemsThatDoNothingSayWhy) {
    folder_.Description("FileItem=c |a.gms|1|gmspath|先\nFileItem=c|a.gms\n");
    folder_.File("a.gms");
    Make();
    EXPECT_THAT(Walk(),
                ElementsAre("item 1: nothing: nothing: action \"c \" is neither \"c\" nor "
                            "\"k\"",
                            "item 2: nothing: nothing: an empty row, left by a last "
                            "\"fileitem\" line with too few fields",
                            "switch: CorelDRAW X3 is kept hidden", "caption: 安装过程结束！",
                            "message-information: 安装成功！", "end: the installer ends"));
    EXPECT_EQ(ToUtf8(Item(1).caption), "正在安装，请稍候...");
    EXPECT_EQ(Item(1).line, 0u);
}

TEST_F(PlanTest, AFolderWhereTheWindowNeverOpensEndsAtStartUp) {
    Make();
    EXPECT_EQ(plan_.outcome, "no-window");
    EXPECT_THAT(Steps(),
                ElementsAre("start: InstInfo.ini is missing",
                            "message-error: 缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。",
                            "end: the installer ends"));

    folder_.Description("SetupTitle=T\n");
    Make();
    EXPECT_EQ(plan_.outcome, "no-window");
    EXPECT_THAT(Steps()[0], HasSubstr("no \"fileitem\" line"));

    folder_.Description("FileItem=c|a.gms|1|gmspath\n");
    folder_.File("flags.bmp", "not a picture");
    Make();
    EXPECT_EQ(plan_.outcome, "no-window");
    EXPECT_THAT(Steps(), ElementsAre("start: banner \"flags.bmp\" is not a picture (no BMP, PNG, "
                                     "JPEG or GIF signature): the installer stops before its "
                                     "window shows",
                                     "message-error: 运行时错误 '481':\r\n\r\n图片无效",
                                     "end: the installer ends"));
}

TEST_F(PlanTest, TextIsNumberedAndJsonCarriesEachItem) {
    folder_.Description("FileItem=c|a.gms|1|gmspath|安装\n");
    folder_.File("a.gms");
    Make();
    const std::string text = PlanText(plan_, L"x/InstInfo.ini");
    EXPECT_THAT(text, HasSubstr("plan for x/InstInfo.ini\n 1. the window opens"));
    EXPECT_THAT(text, HasSubstr(" 2. confirmation (warning, OK and Cancel), answered OK:\n"
                                "      将要强制关闭正在运行的 CorelDRAW！\n"
                                "      请保存您的工作并退出 CorelDRAW，以免造成损失。\n"));
    EXPECT_THAT(text, HasSubstr("10. item 1, line 1, required: caption \"安装\"\n"
                                "      folder: gmspath -> <gmspath>\n"
                                "      copy "));
    EXPECT_THAT(text, HasSubstr("13. message (information): 安装成功！\n14. the installer ends\n"
                                "outcome: success\n"));
    const std::string json = PlanJson(plan_, L"x/InstInfo.ini");
    EXPECT_THAT(json, HasSubstr(R"("outcome": "success")"));
    EXPECT_THAT(json, HasSubstr(R"({"step": 10, "kind": "item", "row": 0, "line": 1, )"
                                R"("caption": "安装", "required": true, )"
                                R"("folder": "gmspath -> <gmspath>", "operation": "copy", )"));
    EXPECT_THAT(json,
                HasSubstr(R"({"step": 13, "kind": "message-information", "text": "安装成功！"})"));
}

TEST_F(PlanTest, AnItemWithoutAFolderOfItsOwnShowsTheFolderTheRunReallyCarries) {
    // The first item asks for its folder and is then skipped: the folder stays all the same.
    folder_.Description("FileItem=c|missing.gms|0|GMSPath|\r\n"
                        "FileItem=c|a.gms|1|NoSuchKey|\r\n");
    folder_.File("a.gms");
    Make();
    EXPECT_EQ(Item(0).operation, "skipped");
    EXPECT_EQ(ToUtf8(Item(1).folder),
              "target \"nosuchkey\" names no folder; the previous one stays: <gmspath>");
    EXPECT_EQ(Local(Item(1).text), "copy ADDON/a.gms to <gmspath>\\a.gms");
}

// --- HostVersions ------------------------------------------------------------------------------

TEST_F(PlanTest, EachNamedVersionGetsItsOwnWalkInAscendingOrder) {
    folder_.Description("HostVersions=2020, X7\r\nFileItem=c|a.gms|1|GMSPath|正在安装宏...\r\n");
    folder_.File("a.gms");
    PlanOptions options;
    options.versionFolders[22][L"gmspath"] = L"D:\\2020\\GMS\\";
    MakeWith(options);
    EXPECT_EQ(plan_.outcome, "success");
    EXPECT_EQ(plan_.named, (std::vector<int>{17, 22}));
    EXPECT_EQ(plan_.installed, (std::vector<int>{17, 22}));
    EXPECT_THAT(
        Steps(),
        ElementsAre(
            "window: the window opens, titled \"Tamrick Installer\", with the built-in banner "
            "(\"flags.bmp\" is not there)",
            "find-hosts: the installer looks in the registry for CorelDRAW X7、2020 "
            "(CorelDRAW.Application.17, CorelDRAW.Application.22); the plan takes X7、2020 to be "
            "installed",
            kConfirm + "\r\n将安装到 CorelDRAW X7、2020。", "disable: the button is disabled",
            "caption: 正在初始化，请稍候...",
            "close-host: every running CorelDRW.exe is closed by force, without waiting",
            "pause: pause of 10 s", "caption: 正在检查 CorelDRAW X7...",
            "open-host: CorelDRAW X7 is started through CorelDRAW.Application.17, driven by "
            "member name",
            "switch: CorelDRAW X7 is kept hidden",
            "item 1: copy: copy ADDON/a.gms to <X7:gmspath>\\a.gms",
            "switch: CorelDRAW X7 is kept hidden",
            "release-host: CorelDRAW X7's automation object is released",
            "caption: 正在检查 CorelDRAW 2020...",
            "open-host: CorelDRAW 2020 is started through CorelDRAW.Application.22, driven by "
            "member name",
            "switch: CorelDRAW 2020 is kept hidden",
            "item 1: copy: copy ADDON/a.gms to D:\\2020\\GMS\\a.gms",
            "switch: CorelDRAW 2020 is kept hidden", "caption: 安装过程结束！",
            "message-information: 安装成功！\r\n已安装到 CorelDRAW X7、2020。",
            "end: the installer ends"));
    EXPECT_EQ(ToUtf8(Item(0).caption), "正在安装宏...（X7）");
    // The steps inside a version name it; the JSON says which.
    std::vector<std::string> tagged;
    for (const PlanStep& s : plan_.steps) {
        tagged.push_back(s.version ? std::to_string(*s.version) : "-");
    }
    EXPECT_THAT(tagged, ElementsAre("-", "-", "-", "-", "-", "-", "-", "17", "17", "17", "17", "17",
                                    "-", "22", "22", "22", "22", "22", "-", "-", "-"));
    const std::string json = PlanJson(plan_, L"InstInfo.ini");
    EXPECT_THAT(json, HasSubstr(R"("hostVersions": {"named": [{"major": 17, "name": "X7"}, )"
                                R"({"major": 22, "name": "2020"}], "installed": [)"));
    EXPECT_THAT(json,
                HasSubstr(R"("kind": "open-host", "version": {"major": 22, "name": "2020"})"));
}

TEST_F(PlanTest, TheVersionsTakenAsInstalledCanBeGivenNoneIncluded) {
    folder_.Description("HostVersions=X7-2020\r\nFileItem=c|a.gms|1|GMSPath|\r\n");
    folder_.File("a.gms");
    PlanOptions options;
    options.installed = std::vector<int>{};
    MakeWith(options);
    EXPECT_EQ(plan_.outcome, "error");
    EXPECT_THAT(Steps(), ElementsAre(::testing::StartsWith("window:"),
                                     "find-hosts: the installer looks in the registry for "
                                     "CorelDRAW X7 至 2020 (CorelDRAW.Application.17, "
                                     "CorelDRAW.Application.18, CorelDRAW.Application.19, "
                                     "CorelDRAW.Application.20, CorelDRAW.Application.21, "
                                     "CorelDRAW.Application.22); the plan takes none of them to "
                                     "be installed",
                                     "message-error: 本程序只能在安装有 CorelDRAW X7 至 2020 "
                                     "的系统中使用。",
                                     "end: the installer ends"));

    options.installed = std::vector<int>{18, 26};
    MakeWith(options);
    EXPECT_EQ(plan_.installed, (std::vector<int>{18}));
    EXPECT_THAT(Walk(),
                ::testing::Contains("item 1: copy: copy ADDON/a.gms to <X8:gmspath>\\a.gms"));
}

TEST_F(PlanTest, WithoutTheKeyTheJsonNamesNoVersions) {
    folder_.Description("FileItem=c|a.gms|1|GMSPath|\r\n");
    folder_.File("a.gms");
    Make();
    EXPECT_THAT(PlanJson(plan_, L"InstInfo.ini"), HasSubstr(R"("hostVersions": null)"));
    EXPECT_THAT(PlanJson(plan_, L"InstInfo.ini"), ::testing::Not(HasSubstr(R"("version")")));
}

// --- AddonId -----------------------------------------------------------------------------------

TEST_F(PlanTest, AnAddonIdSaysWhereTheRecordAndTheEntryAreAndAFailureIsUndone) {
    folder_.Description("SetupTitle=演示\r\nAddonId=T.Tools\r\nAddonVersion=1.2\r\n"
                        "FileItem=c|w.xml|1|ImportWorkspace\r\nFileItem=c|a.gms|0|gmspath\r\n");
    folder_.File("w.xml");
    Make();
    const std::string undone = ToUtf8(kChangesUndoneLine);
    EXPECT_EQ(Steps()[1],
              "record: every change is recorded before it is made, in the record folder "
              "(Uninstall.exe, Record.txt, Backups\\ with the files it replaces or "
              "deletes):\r\nas an administrator: %ProgramData%\\Tamrick\\T.Tools\\\r\n"
              "as a standard user: %LOCALAPPDATA%\\Tamrick\\T.Tools\\\r\nwhere the "
              "installation fails, what it changed is taken back and its message ends "
              "with " +
                  undone);
    EXPECT_THAT(
        Walk(),
        ElementsAre("item 1: import: CorelDRAW imports ADDON/w.xml as a workspace (which no "
                    "removal takes back)",
                    "item 2: skipped: skipped: ADDON/a.gms is not there (the item is optional)",
                    "switch: CorelDRAW X3 is kept hidden",
                    "entry: the record is kept and Apps & features lists the add-on: DisplayName "
                    "\"演示\", DisplayVersion \"1.2\", Publisher \"\"\r\n"
                    "as an administrator: HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                    "Uninstall\\Tamrick.T.Tools, removed silently by "
                    "\"%ProgramData%\\Tamrick\\T.Tools\\Uninstall.exe\" /UNINSTALL /S\r\n"
                    "as a standard user: HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                    "Uninstall\\Tamrick.T.Tools, removed silently by "
                    "\"%LOCALAPPDATA%\\Tamrick\\T.Tools\\Uninstall.exe\" /UNINSTALL /S",
                    "caption: 安装过程结束！", "message-information: 安装成功！",
                    "end: the installer ends"));
    EXPECT_THAT(
        PlanText(plan_, L"InstInfo.ini"),
        HasSubstr("deletes):\n      as an administrator: %ProgramData%\\Tamrick\\T.Tools\\\n"
                  "      as a standard user: "));

    folder_.Description("AddonId=T.Tools\r\nFileItem=c|a.gms|1|gmspath\r\n");
    Make();
    EXPECT_EQ(plan_.outcome, "abort");
    EXPECT_THAT(Walk()[1], ::testing::EndsWith("请联系软件作者寻求帮助。\r\n" + undone));
}
