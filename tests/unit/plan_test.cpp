// What `instinfo plan` says of each item and ending that the packagers' document does not show
// (docs_examples runs its plans of demo/, tests/data/addon/ and tests/data/mistakes/), and its
// JSON. That it quotes the run's own message is agreement_test.cpp's.

#include "addon_folder.h"
#include "base/text_encoding.h"
#include "install/run.h"
#include "tools/instinfo/plan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

using namespace tamrick;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

namespace {

// From the first item to the end, "item N: operation: text (folder)" for an item and "kind:
// text" for any other step; every step where no item comes. Paths in the add-on folder as
// "ADDON/name".
std::vector<std::string> Walk(const Plan& plan, const std::wstring& addOn) {
    const auto local = [prefix = ToUtf8(addOn)](const std::wstring& text) {
        std::string t = ToUtf8(text);
        for (auto at = t.find(prefix); at != std::string::npos; at = t.find(prefix)) {
            t.replace(at, prefix.size(), "ADDON/");
        }
        return t;
    };
    std::vector<std::string> out;
    for (const PlanStep& s : plan.steps) {
        if (s.item) {
            out.push_back("item " + std::to_string(s.item->row + 1) + ": " + s.item->operation +
                          ": " + local(s.item->text) + " (" + ToUtf8(s.item->folder) + ")");
        } else {
            out.push_back(s.kind + ": " + local(s.text));
        }
    }
    const auto first = std::find_if(out.begin(), out.end(),
                                    [](const std::string& s) { return s.starts_with("item"); });
    if (first != out.end()) {
        out.erase(out.begin(), first);
    }
    return out;
}

const std::string kBadFolder = "message-error: CorelDRAW X3 可能没有正确安装，路径()不存在。\r\n"
                               "请联系软件作者寻求帮助。";

struct Case {
    const char* name;
    std::string description; // empty: no InstInfo.ini
    std::vector<std::string> files;
    HostFolders folders;
    std::string outcome;
    std::vector<std::string> walk;
    friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
};

class PlanWalk : public ::testing::TestWithParam<Case> {};

TEST_P(PlanWalk, SaysWhatEachItemDoesAndHowTheRunEnds) {
    AddOnFolder folder;
    if (!GetParam().description.empty()) {
        folder.Description(GetParam().description);
    }
    for (const std::string& name : GetParam().files) {
        folder.File(name);
    }
    PlanOptions options;
    options.folders = GetParam().folders;
    const Plan plan = MakePlan(folder.Prefix(), options);
    EXPECT_EQ(plan.outcome, GetParam().outcome);
    EXPECT_THAT(Walk(plan, folder.Prefix()), ElementsAreArray(GetParam().walk));
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, PlanWalk,
    ::testing::Values(
        Case{"AnEmptyFolderSkipsOrStops",
             "FileItem=c|a.gms|0|gmspath\nFileItem=c|a.gms|1|gmspath\n",
             {"a.gms"},
             {{L"gmspath", L""}},
             "abort",
             {"item 1: skipped: skipped: the folder is empty (the item is optional) (gmspath -> "
              "\"\" (empty))",
              "item 2: stop: the installation stops: the folder is empty (gmspath -> \"\" "
              "(empty))",
              kBadFolder, "end: the installer ends"}},
        // The rules are the run's own; here, the words for each way an item goes.
        Case{"ItemsSkippedCarriedOverAndAnEmptyRow",
             "FileItem=c|a.gms|0|nowhere\nFileItem=c|gone.gms|0|gmspath\n"
             "FileItem=c|a.gms\n",
             {"a.gms"},
             {},
             "success",
             {"item 1: skipped: skipped: the folder is empty (the item is optional) (target "
              "\"nowhere\" names no folder; the previous one stays: none yet (empty))",
              "item 2: skipped: skipped: ADDON/gone.gms is not there (the item is optional) "
              "(gmspath -> <gmspath>)",
              "item 3: nothing: nothing: an empty row, left by a last \"fileitem\" line with "
              "too few fields ()",
              "switch: CorelDRAW X3 is kept hidden", "caption: 安装过程结束！",
              "message-information: 安装成功！", "end: the installer ends"}},
        Case{"NoDescription",
             "",
             {},
             {},
             "no-window",
             {"start: InstInfo.ini is missing",
              "message-error: 缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。",
              "end: the installer ends"}},
        Case{"NoFileItemLine",
             "SetupTitle=T\n",
             {},
             {},
             "no-window",
             {"start: no \"fileitem\" line, or InstInfo.ini can't be read: no window opens",
              "end: the installer ends"}}),
    [](const auto& param) { return std::string(param.param.name); });

// The text is the documented examples'.
TEST(PlanOutput, JsonCarriesEachItem) {
    AddOnFolder folder;
    folder.Description("FileItem=c|a.gms|1|gmspath|安装\n");
    folder.File("a.gms");
    const Plan plan = MakePlan(folder.Prefix());
    const std::string json = PlanJson(plan, L"x/InstInfo.ini");
    EXPECT_THAT(json, HasSubstr(R"("outcome": "success")"));
    EXPECT_THAT(json, HasSubstr(R"({"step": 10, "kind": "item", "row": 0, "line": 1, )"
                                R"("caption": "安装", "required": true, )"
                                R"("folder": "gmspath -> <gmspath>", "operation": "copy", )"));
    EXPECT_THAT(json,
                HasSubstr(R"({"step": 13, "kind": "message-information", "text": "安装成功！"})"));
    // Without the key, no versions.
    EXPECT_THAT(json, HasSubstr(R"("hostVersions": null)"));
    EXPECT_THAT(json, ::testing::Not(HasSubstr(R"("version")")));
}

TEST(PlanVersions, TheJsonNamesEachStepsVersionAndTheVersionsTakenAsInstalledCanBeGiven) {
    AddOnFolder folder;
    folder.Description("HostVersions=2020, X7\r\nFileItem=c|a.gms|1|GMSPath|\r\n");
    folder.File("a.gms");
    PlanOptions options;
    Plan plan = MakePlan(folder.Prefix(), options);
    EXPECT_EQ(plan.named, (std::vector<int>{17, 22}));
    EXPECT_EQ(plan.installed, (std::vector<int>{17, 22}));
    std::vector<std::string> tagged;
    for (const PlanStep& s : plan.steps) {
        tagged.push_back(s.version ? std::to_string(*s.version) : "-");
    }
    EXPECT_THAT(tagged,
                ElementsAreArray({"-",  "-", "-",  "-",  "-",  "-",  "-",  "17", "17", "17", "17",
                                  "17", "-", "22", "22", "22", "22", "22", "-",  "-",  "-"}));
    const std::string json = PlanJson(plan, L"InstInfo.ini");
    EXPECT_THAT(json, HasSubstr(R"("hostVersions": {"named": [{"major": 17, "name": "X7"}, )"
                                R"({"major": 22, "name": "2020"}], "installed": [)"));
    EXPECT_THAT(json,
                HasSubstr(R"("kind": "open-host", "version": {"major": 22, "name": "2020"})"));

    // Taken as installed: only the named ones count.
    options.installed = std::vector<int>{18, 22, 26};
    plan = MakePlan(folder.Prefix(), options);
    EXPECT_EQ(plan.installed, (std::vector<int>{22}));
    options.installed = std::vector<int>{};
    plan = MakePlan(folder.Prefix(), options);
    EXPECT_EQ(plan.outcome, "error");
    EXPECT_THAT(ToUtf8(plan.steps[1].text),
                HasSubstr("(CorelDRAW.Application.17, CorelDRAW.Application.22); the plan takes "
                          "none of them to be installed"));
}

// The record and the entry are the documented example's; an import is the one change that stays.
TEST(PlanRecord, WithAnAddonIdAnImportIsSaidToStay) {
    AddOnFolder folder;
    folder.Description("AddonId=T.Tools\r\nFileItem=c|w.xml|1|ImportWorkspace\r\n");
    folder.File("w.xml");
    const Plan plan = MakePlan(folder.Prefix());
    EXPECT_EQ(Walk(plan, folder.Prefix())[0],
              "item 1: import: CorelDRAW imports ADDON/w.xml as a workspace (which no removal "
              "takes back) ()");
}

} // namespace
