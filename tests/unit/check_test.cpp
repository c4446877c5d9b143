// What only `instinfo check` finds: each description gives its findings, one "line severity
// code" each, and the words that name the mistake. That the check quotes the run's own stop
// message is agreement_test.cpp's.

#include "addon_folder.h"
#include "install/run.h"
#include "test_programs.h"
#include "tools/instinfo/check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

using namespace tamrick;
using tamrick::test::Bitmap;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

namespace {

using Files = std::vector<std::pair<std::string, std::string>>; // name, bytes

// "line severity code" for each finding, in order.
std::vector<std::string> Summary(const CheckReport& report) {
    std::vector<std::string> out;
    for (const Finding& f : report.findings) {
        static constexpr const char* kNames[] = {"error", "warning", "note"};
        out.push_back(std::to_string(f.line) + " " + kNames[static_cast<int>(f.severity)] + " " +
                      f.code);
    }
    return out;
}

// Every description without AddonId has the note "no-addon-id": it is set aside here, so that
// the other findings are seen alone; `unrecorded` says whether it was there.
CheckReport CheckOf(const AddOnFolder& folder, const std::string& description, const Files& files,
                    bool* unrecorded = nullptr) {
    if (!description.empty()) {
        folder.Description(description);
    }
    for (const auto& [name, bytes] : files) {
        folder.File(name, bytes);
    }
    CheckReport report = CheckFolder(folder.Prefix());
    const bool noted = std::erase_if(report.findings,
                                     [](const Finding& f) { return f.code == "no-addon-id"; }) > 0;
    if (unrecorded != nullptr) {
        *unrecorded = noted;
    }
    return report;
}

const std::string kBanner = Bitmap(420, 78);
const std::string kKnown = "(X3 to X8, 2017 to 2025, a major number from 13 to 99, or a range "
                           "A-B of them)";

struct Case {
    const char* name;
    std::string description;
    Files files;
    std::vector<std::string> summary;
    std::vector<std::string> says; // each somewhere in the text of the findings
    friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
};

class Check : public ::testing::TestWithParam<Case> {};

TEST_P(Check, FindsWhatTheInstallerWillDoUnmeant) {
    AddOnFolder folder;
    const CheckReport report = CheckOf(folder, GetParam().description, GetParam().files);
    EXPECT_THAT(Summary(report), ElementsAreArray(GetParam().summary));
    std::string said;
    for (const Finding& f : report.findings) {
        said += ToUtf8(f.message) + "\n";
    }
    for (const std::string& words : GetParam().says) {
        EXPECT_THAT(said, HasSubstr(words));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, Check,
    ::testing::Values(
        Case{"Clean",
             "SetupTitle=T\r\nFlagsPicture=flags.bmp\r\nFileItem=c|a.gms|1|GMSPath|正在安装...\r\n"
             "FileItem=c|w.xml|1|ImportWorkspace\r\nFileItem=k|old.gms|0|UserGMSPath|\r\n",
             {{"a.gms", "x"}, {"w.xml", "x"}, {"flags.bmp", kBanner}},
             {},
             {}},
        Case{"UnreadableDescription",
             "",
             {{"InstInfo.ini/x", "x"}}, // a folder of that name
             {"0 error unreadable-description"},
             {}},
        Case{"NoFileItemLine",
             "SetupTitle=T\r\nFileItem c|a.gms|1|gmspath\r\n",
             {},
             {"0 error no-fileitem", "0 note banner-missing", "2 warning no-equals"},
             {"no \"fileitem\" line: the installer ends at start-up without a word"}},
        Case{"IgnoredKeys",
             "FilItem=c|a.gms|0|gmspath\nSetupTilte=T\nFile Item=c|a.gms|0|gmspath\n"
             "\tFlagsPicture=b.bmp\nVersion=1.2\n; FileItem=c|old.gms|0|gmspath\n=value\n"
             "[Files]\nfileitem=c|a.gms|0|gmspath\nPublsher=P\n",
             {{"a.gms", "x"}},
             {"0 note banner-missing", "1 warning misspelt-key", "2 warning misspelt-key",
              "3 warning key-blank", "4 warning key-blank", "5 note unknown-key",
              "7 note empty-key", "10 warning misspelt-key"},
             {"\"\\tFlagsPicture\" has a leading tab"}},
        Case{"ASecondEqualsSign",
             "SetupTitle=A = B\r\nFileItem=c|a.gms|0|gmspath|x=y\r\n",
             {{"a.gms", "x"}},
             {"0 note banner-missing", "1 warning value-cut", "2 warning value-cut"},
             {}},
        Case{"RepeatedTitleOrBanner",
             "SetupTitle=One\nFlagsPicture=b.bmp\nSetupTitle=Two\nFlagsPicture=b.bmp\n"
             "SetupTitle=\nFileItem=c|a.gms|0|gmspath\n",
             {{"a.gms", "x"}, {"b.bmp", kBanner}},
             {"3 warning repeated-key", "4 note repeated-key", "5 warning repeated-key"},
             {"(also on line 3): the last line wins, and its empty value gives the default"}},
        Case{"TooFewOrTooManyFields",
             "FileItem=c|a.gms|1\r\nFileItem=\r\nFileItem=c|a.gms|0|gmspath\r\n"
             "FileItem=c|a.gms|0|gmspath|安装|extra|more\r\n",
             {{"a.gms", "x"}},
             {"0 note banner-missing", "1 warning too-few-fields", "2 warning too-few-fields",
              "4 warning too-many-fields"},
             {"empty item"}},
        Case{"ActionsOtherThanCAndK",
             "FileItem=c |a.gms|1|gmspath\nFileItem=\tK|a.gms|1|gmspath\n"
             "FileItem=Copy|a.gms|1|gmspath\nFileItem=|a.gms|1|gmspath\n",
             {{"a.gms", "x"}},
             {"0 warning nothing-to-do", "0 note banner-missing", "1 warning action-blank",
              "2 warning action-blank", "3 warning unknown-action", "4 warning unknown-action"},
             {"action \"\\tk\" has a leading tab", "empty action",
              "no item copies, imports or deletes anything: the installer reports success having "
              "changed nothing"}},
        Case{"RequiredIsOnlyTheExactOne",
             "FileItem=c|a.gms| 1|gmspath\nFileItem=c|a.gms|yes|gmspath\n"
             "FileItem=c|a.gms|0|gmspath\nFileItem=c|a.gms||gmspath\n",
             {{"a.gms", "x"}},
             {"0 note banner-missing", "1 warning required-blank", "2 warning required-not-1"},
             {"Required \" 1\" is not \"1\" (it has a leading space): the item is optional"}},
        Case{"UnknownTargets",
             "FileItem=c|a.gms|1|gmspth\nFileItem=c|a.gms|0|nowhere\n"
             "FileItem=c|a.gms|0|UserGMSPath\nFileItem=c|w.xml|0|ImportWorkspace\n"
             "FileItem=c|a.gms|0|gmspath |安装\nFileItem=k|a.gms|0|ImportWorkspace\n",
             {{"a.gms", "x"}, {"w.xml", "x"}},
             {"0 note banner-missing", "1 error unknown-target", "2 warning unknown-target",
              "5 warning unknown-target", "6 warning unknown-target"},
             {"unknown target \"gmspth\" (did you mean \"gmspath\"?): no folder was resolved "
              "before, so the installation stops with the message\r\nCorelDRAW X3 可能没有正确",
              "so the item is skipped",
              "\"gmspath \" (it has a trailing space): the item uses the previous item's folder, "
              "\"usergmspath\" from line 3"}},
        Case{"MissingSources",
             "FileItem=c|gone.gms|1|gmspath\nFileItem=c|gone.xml|1|importworkspace\n"
             "FileItem=c|gone.txt|0|gmspath\nFileItem=c|sub|0|gmspath\n"
             "FileItem=c|a.gms |1|gmspath\nFileItem=c|sub\\B.GMS|1|gmspath\n"
             "FileItem=c|sub\\b.gms|1|gmspath\nFileItem=k|not-here.gms|0|gmspath\n",
             {{"a.gms", "x"}, {"sub/b.gms", "x"}},
             {"0 note banner-missing", "1 error source-missing", "2 error source-missing",
              "3 warning source-missing", "4 warning source-missing", "5 error source-missing",
              "6 note source-case"},
             {"import source \"gone.xml\"", "\"sub\" is a folder",
              "\"a.gms \" is not in the folder, but it is without a trailing space",
              "\"sub\\B.GMS\" is in the folder as \"b.gms\""}},
        // There, but not inside: a setup can't carry it.
        Case{"AStepUpOutOfTheFolder",
             "FileItem=c|..\\a.gms|1|gmspath\n",
             {{"a.gms", "x"}},
             {"0 note banner-missing", "1 error source-missing", "1 error payload-outside"},
             {"copy source \"..\\a.gms\" is not inside the add-on folder (a \"..\" step up): a "
              "setup carries only the folder's own files"}},
        Case{"ARequiredDeleteOfWhatIsNotThere",
             "FileItem=k|old.gms|1|gmspath\n",
             {},
             {"0 note banner-missing", "1 warning required-delete"},
             {}},
        Case{"BannerNotAPicture",
             "FileItem=k|old.gms|0|gmspath\nFlagsPicture=b.bmp\n",
             {{"b.bmp", "just text"}},
             {"2 error banner-not-picture"},
             {"\"b.bmp\" is not a picture (no BMP, PNG, JPEG or GIF signature): the installer "
              "stops at start-up"}},
        Case{"BannerCutOff",
             "FileItem=k|old.gms|0|gmspath\nFlagsPicture=b.bmp\n",
             {{"b.bmp", Bitmap(420, 78, 10)}},
             {"2 error banner-not-picture"},
             {"BMP: the pixels are cut off"}},
        Case{"BannerOfAnotherSize",
             "FileItem=k|old.gms|0|gmspath\nFlagsPicture=b.bmp\n",
             {{"b.bmp", Bitmap(400, 60)}},
             {"2 note banner-size"},
             {"400 × 60 pixels; the banner area is 420 × 78"}},
        // Windows decodes TIFF, but the installer takes only the four signatures.
        Case{"BannerInTiff",
             "FileItem=k|old.gms|0|gmspath\nFlagsPicture=b.bmp\n",
             {{"b.bmp", std::string("II*\0\x08\0\0\0", 8)}},
             {"2 error banner-not-picture"},
             {"window shows, with the message\r\n运行时错误 '481':\r\n\r\n图片无效"}},
        Case{"BannerInPng",
             "FileItem=k|old.gms|0|gmspath\nFlagsPicture=b.bmp\n",
             {{"b.bmp", std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x01\xA4\0\0\0\x4E"
                                    "\x08\x02\0\0\0xxxx",
                                    33)}}, // 420 × 78
             {"2 note banner-needs-wic"},
             {}},
        // "安装" in code page 936 on line 2; not valid UTF-8.
        Case{"AnsiText",
             "FileItem=k|old.gms|0|gmspath\r\nSetupTitle=\xB0\xB2\xD7\xB0\r\n",
             {},
             {"0 note banner-missing", "2 note ansi-text"},
             {"the description is not UTF-8 and holds non-ASCII text: it is read in the user's "
              "ANSI code page"}},
        Case{"HostVersionsThatCantBeRead",
             "HostVersions=X7\r\n"
             "hostversions=x7 - 2020, X9,, 12, 2020-X8, 17, 2026, X7，X8, 2O20\r\n"
             "FileItem=c|a.gms|1|GMSPath|\r\n",
             {{"a.gms", "x"}},
             {"0 note banner-missing", "2 warning repeated-key", "2 warning host-version-unknown",
              "2 note host-version-empty", "2 warning host-version-out-of-range",
              "2 warning host-version-reversed", "2 warning host-version-duplicate",
              "2 warning host-version-unknown", "2 warning host-version-unknown",
              "2 warning host-version-unknown", "2 note host-versions"},
             {kKnown + " (did you mean \"2020\"?)",
              "\"X9\" is no version of CorelDRAW that the installer knows " + kKnown +
                  ": the installer ignores it",
              "\"12\" is outside the major numbers 13 (X3) to 99",
              "range \"2020-X8\" runs backwards, so it names nothing (did you mean \"X8-2020\"?)",
              "\"17\" names X7 again",
              kKnown + " (a version newer than the table is written as its major number)",
              "\"X7，X8\" is no version",
              "(entries are separated by \",\" only: it holds another separator)",
              "the installer looks for CorelDRAW X7 至 2020 and installs into each one it finds",
              "\"本程序只能在安装有 CorelDRAW X7 至 2020 的系统中使用。\" and closes nothing"}},
        Case{"HostVersionsNamingNothing",
             "HostVersions=junk\r\nFileItem=c|a.gms|1|GMSPath|\r\n",
             {{"a.gms", "x"}},
             {"0 note banner-missing", "1 warning host-version-unknown",
              "1 warning host-versions-none"},
             {"names no version that can be read: the installer serves CorelDRAW X3 alone, as "
              "without the key"}},
        Case{"HostVersionsEmpty",
             "HostVersions=\r\nFileItem=c|a.gms|1|GMSPath|\r\n",
             {{"a.gms", "x"}},
             {"0 note banner-missing", "1 note host-versions-none"},
             {}},
        Case{"AnImportUpToX8",
             "HostVersions=X7-X8\r\nFileItem=c|w.xml|1|ImportWorkspace\r\n",
             {{"w.xml", "x"}},
             {"0 note banner-missing", "1 note host-versions"},
             {}},
        Case{"WithAnAddonIdTheNoHostMessageQuotedSaysTheRunWasUndone",
             "AddonId=T\nHostVersions=X7\nFileItem=k|old.gms|0|gmspath\n",
             {},
             {"0 note banner-missing", "2 note host-versions"},
             {"where it is not, it closes nothing and says\r\n本程序只能在安装有 CorelDRAW X7 "
              "的系统中使用。\r\n" +
              ToUtf8(kChangesUndoneLine)}},
        Case{"AnImportAfterX8IsUnconfirmed",
             "HostVersions=X7-2017\r\nFileItem=c|w.xml|1|ImportWorkspace\r\n",
             {{"w.xml", "x"}},
             {"0 note banner-missing", "1 note host-versions", "1 note import-unconfirmed"},
             {}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(CheckAddonId, AnIdTheInstallerIgnoresIsAnErrorAndNoneAtAllIsNoted) {
    const struct {
        std::string lines;
        std::vector<std::string> summary;
        bool unrecorded;
    } kCases[] = {
        {"", {}, true},
        {"AddonId=Tamrick.Tools_2-b\n", {}, false},
        {"AddonId=a.\n", {"2 error addon-id"}, false},
        // The last line wins.
        {"AddonId=a b\naddonid=ab\n", {"3 warning repeated-key"}, false},
        {"AddonId=ab\naddonid=a b\n", {"3 warning repeated-key", "3 error addon-id"}, false},
    };
    AddOnFolder folder;
    for (const auto& c : kCases) {
        bool unrecorded = false;
        const CheckReport report = CheckOf(folder, "FileItem=k|old.gms|0|gmspath\n" + c.lines,
                                           {{"flags.bmp", kBanner}}, &unrecorded);
        EXPECT_EQ(Summary(report), c.summary) << c.lines;
        EXPECT_EQ(unrecorded, c.unrecorded) << c.lines;
    }
    EXPECT_THAT(CheckText(CheckFolder(folder.Prefix()), L"x"),
                HasSubstr("AddonId \"a b\" is no valid id (1 to 64 letters, digits, \".\", \"-\" "
                          "and \"_\", not ending in \".\"): the installer ignores the key, and "
                          "the installation is not recorded"));
}

// The text is the documented examples'.
TEST(CheckOutput, JsonHasCountsAndTheExitStatusCountsErrors) {
    AddOnFolder folder;
    const CheckReport report = CheckOf(folder, "FileItem=c |a.gms|1|gmspath\n", {});
    const std::string json = CheckJson(report, L"x/InstInfo.ini");
    EXPECT_THAT(json, HasSubstr(R"({"line": 1, "severity": "warning", "code": "action-blank", )"
                                R"("message": "action \"c \" has a trailing space)"));
    EXPECT_THAT(json, HasSubstr(R"({"line": null, "severity": "note", "code": "banner-missing")"));
    EXPECT_THAT(json, HasSubstr("\"errors\": 0,\n  \"warnings\": 2,\n  \"notes\": 1\n}"));
    EXPECT_EQ(CheckExitStatus(report, false), 0);
    EXPECT_EQ(CheckExitStatus(report, true), 1);

    const CheckReport ansi = CheckOf(folder, "FileItem=k|a|0|gmspath\nSetupTitle=\xB0\xB2\n", {});
    EXPECT_THAT(CheckJson(ansi, L"InstInfo.ini"), HasSubstr(R"("encoding": "ansi")"));
    EXPECT_EQ(CheckExitStatus(ansi, true), 0) << "notes don't count, even with strict";

    std::filesystem::remove(folder.path() / "InstInfo.ini");
    const CheckReport missing = CheckFolder(folder.Prefix());
    EXPECT_THAT(Summary(missing), ElementsAreArray({"0 error missing-description"}));
    EXPECT_EQ(
        ToUtf8(missing.findings[0].message),
        "not found: the installer shows \"缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。\" "
        "and ends");
    EXPECT_THAT(CheckJson(missing, L"InstInfo.ini"), HasSubstr(R"("encoding": null)"));
    EXPECT_EQ(CheckExitStatus(missing, false), 1);
}

} // namespace
