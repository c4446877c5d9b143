#include "addon_folder.h"
#include "install/run.h"
#include "test_pictures.h"
#include "tools/instinfo/check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace tamrick;
using tamrick::test::Bitmap;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

class CheckTest : public ::testing::Test {
  protected:
    // Every description without AddonId has the note "no-addon-id": it is set aside here, so
    // that the tests of other findings see only theirs.
    CheckReport Check() {
        report_ = CheckFolder(folder_.Prefix());
        unrecorded_ = std::erase_if(report_.findings,
                                    [](const Finding& f) { return f.code == "no-addon-id"; }) > 0;
        return report_;
    }

    // "line severity code" for each finding, in order.
    std::vector<std::string> Summary() const {
        std::vector<std::string> out;
        for (const Finding& f : report_.findings) {
            static constexpr const char* kNames[] = {"error", "warning", "note"};
            out.push_back(std::to_string(f.line) + " " + kNames[static_cast<int>(f.severity)] +
                          " " + f.code);
        }
        return out;
    }

    // The message of the only finding with that code.
    std::string Message(const std::string& code) const {
        std::string found;
        for (const Finding& f : report_.findings) {
            if (f.code == code) {
                EXPECT_TRUE(found.empty()) << "more than one " << code;
                found = ToUtf8(f.message);
            }
        }
        EXPECT_FALSE(found.empty()) << "no " << code;
        return found;
    }

    AddOnFolder folder_;
    CheckReport report_;
    bool unrecorded_ = false;
};

} // namespace

TEST_F(CheckTest, AMissingOrUnreadableDescriptionIsTheOnlyFinding) {
    Check();
    EXPECT_THAT(Summary(), ElementsAre("0 error missing-description"));
    EXPECT_THAT(Message("missing-description"),
                HasSubstr("缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。"));
    EXPECT_EQ(CheckExitStatus(report_, false), 1);
    EXPECT_THAT(CheckJson(report_, L"InstInfo.ini"), HasSubstr(R"("encoding": null)"));

    std::filesystem::create_directory(folder_.path() / "InstInfo.ini");
    Check();
    EXPECT_THAT(Summary(), ElementsAre("0 error unreadable-description"));
}

TEST_F(CheckTest, ACleanFolderHasNoFindingAndExitsZero) {
    folder_.Description("SetupTitle=T\r\nFlagsPicture=flags.bmp\r\n"
                        "FileItem=c|a.gms|1|GMSPath|正在安装...\r\n"
                        "FileItem=c|w.xml|1|ImportWorkspace\r\n"
                        "FileItem=k|old.gms|0|UserGMSPath|\r\n");
    folder_.File("a.gms");
    folder_.File("w.xml");
    folder_.File("flags.bmp", Bitmap(420, 78));
    Check();
    EXPECT_THAT(Summary(), IsEmpty());
    EXPECT_EQ(CheckExitStatus(report_, true), 0);
}

TEST_F(CheckTest, WithoutAFileItemLineTheInstallerEndsWithoutAWord) {
    folder_.Description("SetupTitle=T\r\nFileItem c|a.gms|1|gmspath\r\n");
    Check();
    EXPECT_THAT(Summary(),
                ElementsAre("0 error no-fileitem", "0 note banner-missing", "2 warning no-equals"));
    EXPECT_THAT(Message("no-fileitem"), HasSubstr("ends at start-up without a word"));
}

TEST_F(CheckTest, KeysTheInstallerIgnoresAreNamedWithWhatWasMeant) {
    folder_.Description("FilItem=c|a.gms|0|gmspath\n"      // one letter short
                        "SetupTilte=T\n"                   // two letters swapped
                        "File Item=c|a.gms|0|gmspath\n"    // inner space
                        "\tFlagsPicture=b.bmp\n"           // tab before the key
                        "Version=1.2\n"                    // some other key
                        "; FileItem=c|old.gms|0|gmspath\n" // commented out, as meant
                        "=value\n"                         // no key at all
                        "[Files]\n"                        // a heading
                        "fileitem=c|a.gms|0|gmspath\n"
                        "Publsher=P\n");
    folder_.File("a.gms");
    Check();
    EXPECT_THAT(Summary(),
                ElementsAre("0 note banner-missing", "1 warning misspelt-key",
                            "2 warning misspelt-key", "3 warning key-blank", "4 warning key-blank",
                            "5 note unknown-key", "7 note empty-key", "10 warning misspelt-key"));
    EXPECT_THAT(ToUtf8(report_.findings[1].message),
                HasSubstr("\"FilItem\": the line is ignored (did you mean \"fileitem\"?)"));
    EXPECT_THAT(ToUtf8(report_.findings[2].message), HasSubstr("did you mean \"setuptitle\"?"));
    EXPECT_THAT(ToUtf8(report_.findings[3].message), HasSubstr("has an inner space"));
    EXPECT_THAT(ToUtf8(report_.findings[4].message),
                HasSubstr("\"\\tFlagsPicture\" has a leading tab"));
}

TEST_F(CheckTest, ASecondEqualsSignCutsTheValue) {
    folder_.Description("SetupTitle=A = B\r\nFileItem=c|a.gms|0|gmspath|x=y\r\n");
    folder_.File("a.gms");
    Check();
    EXPECT_THAT(Summary(),
                ElementsAre("0 note banner-missing", "1 warning value-cut", "2 warning value-cut"));
    EXPECT_THAT(ToUtf8(report_.findings[1].message), HasSubstr("reads only \"A\""));
    EXPECT_THAT(ToUtf8(report_.findings[2].message),
                HasSubstr("reads only \"c|a.gms|0|gmspath|x\""));
}

TEST_F(CheckTest, ARepeatedTitleOrBannerWarnsWhenTheValueChanges) {
    folder_.Description("SetupTitle=One\nFlagsPicture=b.bmp\nSetupTitle=Two\nFlagsPicture=b.bmp\n"
                        "SetupTitle=\nFileItem=c|a.gms|0|gmspath\n");
    folder_.File("a.gms");
    folder_.File("b.bmp", Bitmap(420, 78));
    Check();
    EXPECT_THAT(Summary(), ElementsAre("3 warning repeated-key", "4 note repeated-key",
                                       "5 warning repeated-key"));
    EXPECT_THAT(ToUtf8(report_.findings[0].message),
                HasSubstr("\"setuptitle\" again (also on line 1): the last line wins, \"Two\""));
    EXPECT_THAT(ToUtf8(report_.findings[2].message),
                HasSubstr("(also on line 3): the last line wins, and its empty value gives the "
                          "default"));
}

TEST_F(CheckTest, ItemsWithTooFewFieldsVanishAndFieldsPastTheFifthAreDropped) {
    folder_.Description("FileItem=c|a.gms|1\r\n"
                        "FileItem=\r\n"
                        "FileItem=c|a.gms|0|gmspath\r\n" // four fields: no caption, fine
                        "FileItem=c|a.gms|0|gmspath|安装|extra|more\r\n");
    folder_.File("a.gms");
    Check();
    EXPECT_THAT(Summary(), ElementsAre("0 note banner-missing", "1 warning too-few-fields",
                                       "2 warning too-few-fields", "4 warning too-many-fields"));
    EXPECT_THAT(ToUtf8(report_.findings[1].message), HasSubstr("item of 3 fields: at least four"));
    EXPECT_THAT(ToUtf8(report_.findings[2].message), HasSubstr("empty item"));
    EXPECT_THAT(ToUtf8(report_.findings[3].message),
                HasSubstr("item of 7 fields: the installer drops everything after the fifth, "
                          "\"extra|more\""));
}

TEST_F(CheckTest, ActionsOtherThanCAndKDoNothing) {
    folder_.Description("FileItem=c |a.gms|1|gmspath\n"
                        "FileItem=\tK|a.gms|1|gmspath\n"
                        "FileItem=Copy|a.gms|1|gmspath\n"
                        "FileItem=|a.gms|1|gmspath\n");
    folder_.File("a.gms");
    Check();
    EXPECT_THAT(Summary(), ElementsAre("0 warning nothing-to-do", "0 note banner-missing",
                                       "1 warning action-blank", "2 warning action-blank",
                                       "3 warning unknown-action", "4 warning unknown-action"));
    EXPECT_THAT(ToUtf8(report_.findings[2].message),
                HasSubstr("action \"c \" has a trailing space: the item does nothing (did you "
                          "mean \"c\"?)"));
    EXPECT_THAT(ToUtf8(report_.findings[3].message),
                HasSubstr("action \"\\tk\" has a leading tab"));
    EXPECT_THAT(ToUtf8(report_.findings[4].message),
                HasSubstr("\"copy\" is neither \"c\" nor \"k\""));
    EXPECT_THAT(ToUtf8(report_.findings[5].message), HasSubstr("empty action"));
    EXPECT_THAT(ToUtf8(report_.findings[0].message),
                HasSubstr("reports success having changed nothing"));
}

TEST_F(CheckTest, RequiredIsOnlyTheExactOne) {
    folder_.Description("FileItem=c|a.gms| 1|gmspath\n"
                        "FileItem=c|a.gms|yes|gmspath\n"
                        "FileItem=c|a.gms|0|gmspath\n"
                        "FileItem=c|a.gms||gmspath\n");
    folder_.File("a.gms");
    Check();
    EXPECT_THAT(Summary(), ElementsAre("0 note banner-missing", "1 warning required-blank",
                                       "2 warning required-not-1"));
    EXPECT_THAT(ToUtf8(report_.findings[1].message),
                HasSubstr("Required \" 1\" is not \"1\" (it has a leading space): the item is "
                          "optional"));
}

TEST_F(CheckTest, AnUnknownTargetFallsBackToThePreviousFolderOrToNone) {
    folder_.Description("FileItem=c|a.gms|1|gmspth\n"          // first: no folder, required
                        "FileItem=c|a.gms|0|nowhere\n"         // first: no folder, optional
                        "FileItem=c|a.gms|0|UserGMSPath\n"     // gives the folder
                        "FileItem=c|w.xml|0|ImportWorkspace\n" // changes no folder
                        "FileItem=c|a.gms|0|gmspath |安装\n"   // the space makes it unknown
                        "FileItem=k|a.gms|0|ImportWorkspace\n");
    folder_.File("a.gms");
    folder_.File("w.xml");
    Check();
    EXPECT_THAT(Summary(), ElementsAre("0 note banner-missing", "1 error unknown-target",
                                       "2 warning unknown-target", "5 warning unknown-target",
                                       "6 warning unknown-target"));
    EXPECT_THAT(
        ToUtf8(report_.findings[1].message),
        HasSubstr("unknown target \"gmspth\" (did you mean \"gmspath\"?): no folder was "
                  "resolved before, so the installation stops with the message\r\n"
                  "CorelDRAW X3 可能没有正确安装，路径()不存在。\r\n请联系软件作者寻求帮助。"));
    EXPECT_THAT(ToUtf8(report_.findings[2].message), HasSubstr("so the item is skipped"));
    EXPECT_THAT(ToUtf8(report_.findings[3].message),
                HasSubstr("\"gmspath \" (it has a trailing space): the item uses the previous "
                          "item's folder, \"usergmspath\" from line 3"));
    EXPECT_THAT(ToUtf8(report_.findings[4].message),
                HasSubstr("target \"importworkspace\" on a delete item names no folder: the item "
                          "uses the previous item's folder, \"usergmspath\" from line 3"));
}

TEST_F(CheckTest, MissingSourcesStopTheInstallationWhenRequired) {
    folder_.Description("FileItem=c|gone.gms|1|gmspath\n"
                        "FileItem=c|gone.xml|1|importworkspace\n"
                        "FileItem=c|gone.txt|0|gmspath\n"
                        "FileItem=c|sub|0|gmspath\n"
                        "FileItem=c|a.gms |1|gmspath\n"
                        "FileItem=c|sub\\B.GMS|1|gmspath\n" // differs in case only
                        "FileItem=c|sub\\b.gms|1|gmspath\n"
                        "FileItem=k|not-here.gms|0|gmspath\n"); // a delete has no source
    folder_.File("a.gms");
    folder_.File("sub/b.gms");
    Check();
    EXPECT_THAT(Summary(), ElementsAre("0 note banner-missing", "1 error source-missing",
                                       "2 error source-missing", "3 warning source-missing",
                                       "4 warning source-missing", "5 error source-missing",
                                       "6 note source-case"));
    EXPECT_THAT(ToUtf8(report_.findings[1].message),
                HasSubstr("copy source \"gone.gms\" is not in the folder: the installation stops "
                          "with the message\r\n缺少安装必需的文件，文件("));
    EXPECT_THAT(ToUtf8(report_.findings[2].message), HasSubstr("import source \"gone.xml\""));
    EXPECT_THAT(ToUtf8(report_.findings[3].message),
                HasSubstr("the item is skipped without a word"));
    EXPECT_THAT(ToUtf8(report_.findings[4].message), HasSubstr("\"sub\" is a folder"));
    EXPECT_THAT(ToUtf8(report_.findings[5].message),
                HasSubstr("\"a.gms \" is not in the folder, but it is without a trailing space"));
    EXPECT_THAT(ToUtf8(report_.findings[6].message),
                HasSubstr("\"sub\\B.GMS\" is in the folder as \"b.gms\""));
}

TEST_F(CheckTest, WhatNoSetupCanCarryIsAnErrorOnItsLineEvenWhereTheFileIsThere) {
    // The folder itself, reached from its parent: there, but outside.
    const std::string up = "..\\" + folder_.path().filename().string() + "\\a.gms";
    folder_.Description("FileItem=c|a.gms|1|gmspath\nFileItem=c|" + up +
                        "|1|gmspath\nFileItem=c|aux.gms|1|gmspath\nFileItem=c|A.GMS|0|gmspath\n");
    folder_.File("a.gms");
    folder_.File("aux.gms");
    folder_.File("A.GMS");
    folder_.File("banner/flags.bmp", Bitmap(420, 78));
    std::filesystem::create_symlink(folder_.path() / "banner/flags.bmp",
                                    folder_.path() / "flags.bmp");
    Check();
    EXPECT_THAT(Summary(), ElementsAre("0 error payload-link", "2 error payload-outside",
                                       "3 error payload-name", "4 error payload-case"));
    EXPECT_THAT(Message("payload-outside"),
                HasSubstr("copy source \"" + up +
                          "\" is not inside the add-on folder (a \"..\" "
                          "step up): a setup carries only the folder's own files"));
    EXPECT_THAT(Message("payload-link"), HasSubstr("banner \"flags.bmp\" is a symbolic link"));
}

TEST_F(CheckTest, ARequiredDeleteStopsWhereTheFileIsNotThere) {
    folder_.Description("FileItem=k|old.gms|1|gmspath\n");
    Check();
    EXPECT_THAT(Summary(), ElementsAre("0 note banner-missing", "1 warning required-delete"));
    EXPECT_THAT(
        Message("required-delete"),
        HasSubstr("with the message\r\n缺少安装必需的文件，文件(<gmspath>\\old.gms)不存在。"));
}

TEST_F(CheckTest, TheBannerMustBeAPictureWhenItIsThere) {
    folder_.Description("FileItem=k|old.gms|0|gmspath\nFlagsPicture=b.bmp\n");
    Check();
    EXPECT_THAT(Summary(), ElementsAre("2 note banner-missing"));

    folder_.File("b.bmp", "just text");
    Check();
    EXPECT_THAT(Summary(), ElementsAre("2 error banner-not-picture"));
    EXPECT_THAT(Message("banner-not-picture"),
                HasSubstr("\"b.bmp\" is not a picture (no BMP, PNG, JPEG or GIF signature): the "
                          "installer stops at start-up"));

    folder_.File("b.bmp", Bitmap(420, 78, 10));
    Check();
    EXPECT_THAT(Message("banner-not-picture"), HasSubstr("BMP: the pixels are cut off"));

    folder_.File("b.bmp", Bitmap(400, 60));
    Check();
    EXPECT_THAT(Summary(), ElementsAre("2 note banner-size"));
    EXPECT_THAT(Message("banner-size"), HasSubstr("400 × 60 pixels; the banner area is 420 × 78"));

    // Windows decodes TIFF, but the installer takes only the four signatures.
    folder_.File("b.bmp", std::string("II*\0\x08\0\0\0", 8));
    Check();
    EXPECT_THAT(Summary(), ElementsAre("2 error banner-not-picture"));
    EXPECT_THAT(Message("banner-not-picture"),
                HasSubstr("window shows, with the message\r\n运行时错误 '481':\r\n\r\n图片无效"));

    folder_.File("b.bmp", std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x01\xA4\0\0\0\x4E"
                                      "\x08\x02\0\0\0xxxx",
                                      33)); // 420 × 78
    Check();
    EXPECT_THAT(Summary(), ElementsAre("2 note banner-needs-wic"));
}

TEST_F(CheckTest, AnAnsiDescriptionWithNonAsciiTextIsNoted) {
    // "安装" in code page 936 on line 2; not valid UTF-8.
    folder_.Description("FileItem=k|old.gms|0|gmspath\r\nSetupTitle=\xB0\xB2\xD7\xB0\r\n");
    Check();
    EXPECT_EQ(report_.encoding, Encoding::Ansi);
    EXPECT_THAT(CheckJson(report_, L"InstInfo.ini"), HasSubstr(R"("encoding": "ansi")"));
    EXPECT_THAT(Summary(), ElementsAre("0 note banner-missing", "2 note ansi-text"));

    folder_.Description("FileItem=k|old.gms|0|gmspath\r\nSetupTitle=安装\r\n"); // UTF-8
    Check();
    EXPECT_THAT(Summary(), ElementsAre("0 note banner-missing"));
}

TEST_F(CheckTest, LinesAreNumberedAsTheReaderNumbersThem) {
    // CR, LF and CR LF each end one line.
    folder_.Description("a\rb\nc\r\nFileItem=x|a|1|gmspath");
    Check();
    EXPECT_THAT(Summary(), ElementsAre("0 warning nothing-to-do", "0 note banner-missing",
                                       "4 warning unknown-action"));
}

TEST_F(CheckTest, TheExitStatusCountsErrorsAndWithStrictAlsoWarnings) {
    folder_.Description("FileItem=c|a.gms|1 |gmspath\n");
    folder_.File("a.gms");
    Check();
    EXPECT_EQ(CheckExitStatus(report_, false), 0);
    EXPECT_EQ(CheckExitStatus(report_, true), 1);
}

TEST_F(CheckTest, TextHasOneFindingALineAndJsonHasCounts) {
    folder_.Description("FileItem=c |a.gms|1|gmspath\n");
    Check();
    EXPECT_EQ(CheckText(report_, L"x/InstInfo.ini"),
              "x/InstInfo.ini: warning: no item copies, imports or deletes anything: the "
              "installer reports success having changed nothing\n"
              "x/InstInfo.ini: note: banner \"flags.bmp\" not found: the installer shows its "
              "built-in banner\n"
              "x/InstInfo.ini:1: warning: action \"c \" has a trailing space: the item does "
              "nothing (did you mean \"c\"?)\n"
              "x/InstInfo.ini: 0 errors, 2 warnings, 1 note\n");
    const std::string json = CheckJson(report_, L"x/InstInfo.ini");
    EXPECT_THAT(json, HasSubstr(R"({"line": 1, "severity": "warning", "code": "action-blank", )"
                                R"("message": "action \"c \" has a trailing space)"));
    EXPECT_THAT(json, HasSubstr(R"({"line": null, "severity": "note", "code": "banner-missing")"));
    EXPECT_THAT(json, HasSubstr("\"errors\": 0,\n  \"warnings\": 2,\n  \"notes\": 1\n}"));
}

// --- HostVersions ------------------------------------------------------------------------------

TEST_F(CheckTest, EveryEntryThatCantBeReadIsReportedOnTheKeysLastLine) {
    folder_.Description("HostVersions=X7\r\n"
                        "hostversions=x7 - 2020, X9,, 12, 2020-X8, 17, 2026, X7，X8, 2O20\r\n"
                        "FileItem=c|a.gms|1|GMSPath|\r\n");
    folder_.File("a.gms");
    Check();
    EXPECT_THAT(Summary(),
                ElementsAre("0 note banner-missing", "2 warning repeated-key",
                            "2 warning host-version-unknown", "2 note host-version-empty",
                            "2 warning host-version-out-of-range",
                            "2 warning host-version-reversed", "2 warning host-version-duplicate",
                            "2 warning host-version-unknown", "2 warning host-version-unknown",
                            "2 warning host-version-unknown", "2 note host-versions"));
    const std::string all = CheckText(report_, L"InstInfo.ini");
    EXPECT_THAT(all, HasSubstr("\"X9\" is no version of CorelDRAW that the installer knows"));
    EXPECT_THAT(all, HasSubstr("\"2O20\" is no version of CorelDRAW that the installer knows (X3 "
                               "to X8, 2017 to 2025, a major number from 13 to 99, or a range "
                               "A-B of them) (did you mean \"2020\"?)"));
    EXPECT_THAT(all, HasSubstr("\"X9\" is no version of CorelDRAW that the installer knows (X3 "
                               "to X8, 2017 to 2025, a major number from 13 to 99, or a range "
                               "A-B of them): the installer ignores it"));
    EXPECT_THAT(all, HasSubstr("\"12\" is outside the major numbers 13 (X3) to 99"));
    EXPECT_THAT(all, HasSubstr("range \"2020-X8\" runs backwards, so it names nothing (did you "
                               "mean \"X8-2020\"?)"));
    EXPECT_THAT(all, HasSubstr("\"17\" names X7 again"));
    EXPECT_THAT(all, HasSubstr("\"2026\" is no version of CorelDRAW that the installer knows (X3 "
                               "to X8, 2017 to 2025, a major number from 13 to 99, or a range "
                               "A-B of them) (a version newer than the table is written as its "
                               "major number)"));
    EXPECT_THAT(all, HasSubstr("\"X7，X8\" is no version"));
    EXPECT_THAT(all, HasSubstr("(entries are separated by \",\" only: it holds another "
                               "separator)"));
    EXPECT_THAT(Message("host-versions"),
                HasSubstr("the installer looks for CorelDRAW X7 至 2020 and installs into each "
                          "one it finds, in that order; where it finds none, it says "
                          "\"本程序只能在安装有 CorelDRAW X7 至 2020 的系统中使用。\" and closes "
                          "nothing"));
}

TEST_F(CheckTest, AKeyThatNamesNothingServesX3AsWithoutIt) {
    folder_.Description("HostVersions=junk\r\nFileItem=c|a.gms|1|GMSPath|\r\n");
    folder_.File("a.gms");
    Check();
    EXPECT_THAT(Summary(), ElementsAre("0 note banner-missing", "1 warning host-version-unknown",
                                       "1 warning host-versions-none"));
    EXPECT_THAT(Message("host-versions-none"),
                HasSubstr("names no version that can be read: the installer serves CorelDRAW X3 "
                          "alone, as without the key"));

    folder_.Description("HostVersions=\r\nFileItem=c|a.gms|1|GMSPath|\r\n");
    Check();
    EXPECT_THAT(Summary(), ElementsAre("0 note banner-missing", "1 note host-versions-none"));
}

TEST_F(CheckTest, AWorkspaceImportIntoVersionsAfterX8IsNotedAsUnconfirmed) {
    folder_.Description("HostVersions=X7-X8\r\nFileItem=c|w.xml|1|ImportWorkspace\r\n");
    folder_.File("w.xml");
    Check();
    EXPECT_THAT(Summary(), ElementsAre("0 note banner-missing", "1 note host-versions"));

    folder_.Description("HostVersions=X7-2017\r\nFileItem=c|w.xml|1|ImportWorkspace\r\n");
    Check();
    EXPECT_THAT(Summary(), ElementsAre("0 note banner-missing", "1 note host-versions",
                                       "1 note import-unconfirmed"));
}

// --- AddonId -----------------------------------------------------------------------------------

TEST_F(CheckTest, AnAddonIdTheInstallerIgnoresIsAnErrorAndNoneAtAllIsNoted) {
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
    folder_.File("flags.bmp", Bitmap(420, 78));
    for (const auto& c : kCases) {
        folder_.Description("FileItem=k|old.gms|0|gmspath\n" + c.lines);
        Check();
        EXPECT_EQ(Summary(), c.summary) << c.lines;
        EXPECT_EQ(unrecorded_, c.unrecorded) << c.lines;
    }
    EXPECT_THAT(
        Message("addon-id"),
        HasSubstr("AddonId \"a b\" is no valid id (1 to 64 letters, digits, \".\", \"-\" and "
                  "\"_\", not ending in \".\"): the installer ignores the key, and the "
                  "installation is not recorded"));
    folder_.Description("FileItem=k|old.gms|0|gmspath\n");
    EXPECT_THAT(CheckText(CheckFolder(folder_.Prefix()), L"x"),
                HasSubstr("x: note: no \"addonid\" line: the installation is not recorded, so the "
                          "add-on can't be removed (no entry in Apps & features) and a failed "
                          "installation is not undone\n"));
}

TEST_F(CheckTest, WithAnAddonIdTheNoHostMessageQuotedSaysTheRunWasUndone) {
    folder_.Description("AddonId=T\nHostVersions=X7\nFileItem=k|old.gms|0|gmspath\n");
    Check();
    EXPECT_THAT(Message("host-versions"),
                HasSubstr("where it is not, it closes nothing and says\r\n本程序只能在安装有 "
                          "CorelDRAW X7 的系统中使用。\r\n" +
                          ToUtf8(kChangesUndoneLine)));
}
