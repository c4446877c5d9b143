#include "description/reader.h"
#include "tools/instinfo/arguments.h"
#include "tools/instinfo/json.h"
#include "tools/instinfo/show.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

TEST(Json, StringsAreUtf8WithQuotesBackslashesAndControlsEscaped) {
    EXPECT_EQ(tamrick::json::String(L"a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(tamrick::json::String(L"\t\n\x01\0"s), R"("\t\n\u0001\u0000")");
    EXPECT_EQ(tamrick::json::String(L"安装"), "\"\xE5\xAE\x89\xE8\xA3\x85\"");
}

// What else a failed read shows is instinfo_cli's.
TEST(Show, TheEmptyLastRowHasNoLineAndAFailedReadIsNoResult) {
    tamrick::DescriptionRead read;
    read.result = true;
    read.description = tamrick::ParseDescription("\xEF\xBB\xBF"
                                                 "fileitem=C|a|1|GMSPATH|x\r\nfileitem=c");
    read.description.SetupTitle = L"T";
    read.description.FlagsPicture = L"flags.bmp";
    const std::string json = tamrick::ShowJson(read);
    EXPECT_NE(json.find(R"("encoding": "utf-8")"), std::string::npos);
    EXPECT_NE(
        json.find(
            R"({"action": "c", "sourceName": "a", "required": "1", "target": "gmspath", "stepCaption": "x", "line": 1})"),
        std::string::npos);
    EXPECT_NE(json.find(R"("stepCaption": "", "line": null})"), std::string::npos);
    tamrick::DescriptionRead missing;
    missing.missing = true;
    EXPECT_NE(tamrick::ShowJson(missing).find(R"("result": false)"), std::string::npos);
}

TEST(Show, TheVersionsKeyShowsItsValueAndWhatItNames) {
    tamrick::DescriptionRead read;
    read.description = tamrick::ParseDescription("hostversions=2022-2023, x7, junk\r\n");
    EXPECT_NE(
        tamrick::ShowJson(read).find(
            R"("hostVersions": {"value": "2022-2023, x7, junk", "versions": [{"major": 17, "name": "X7"}, {"major": 24, "name": "2022/2023"}]})"),
        std::string::npos)
        << tamrick::ShowJson(read);

    read.description = tamrick::ParseDescription("hostversions=junk\r\n");
    EXPECT_NE(tamrick::ShowJson(read).find(R"("hostVersions": {"value": "junk", "versions": []})"),
              std::string::npos);
    read.description = tamrick::ParseDescription("setuptitle=T\r\n");
    EXPECT_NE(tamrick::ShowJson(read).find(R"("hostVersions": null)"), std::string::npos);
}

TEST(Show, TheAddonShowsOnlyWithAnIdWithTheNameItDefaultsTo) {
    const struct {
        const char* description;
        std::string addon; // empty: no "addon" at all
    } kCases[] = {
        {"setuptitle=T\r\naddonname=N\r\npublisher=P\r\n", ""},
        {"setuptitle=T\r\naddonid=a.b\r\naddonversion=1.2\r\npublisher=P\r\n",
         R"("addon": {"id": "a.b", "valid": true, "line": 2, "name": "T", "version": "1.2", )"
         R"("publisher": "P"},)"},
        {"addonid=a b\r\naddonname=N\r\n", R"("addon": {"id": "a b", "valid": false, "line": 1, )"
                                           R"("name": "N", "version": "", "publisher": ""},)"},
    };
    for (const auto& c : kCases) {
        tamrick::DescriptionRead read;
        read.description = tamrick::ParseDescription(c.description);
        const std::string json = tamrick::ShowJson(read);
        EXPECT_EQ(json.find(c.addon.empty() ? "\"addon\"" : c.addon) != std::string::npos,
                  !c.addon.empty())
            << json;
    }
}

// Every usage error names the argument that was wrong and what was expected (that for
// --installed is the documented example); "" for a command line that runs.
TEST(Arguments, AUsageErrorNamesItsArgumentAndWhatWasExpected) {
    const std::string kKeyPath =
        "expected KEY=PATH or VERSION:KEY=PATH, KEY one of gmspath, usergmspath, userdatapath, "
        "applicationpath, VERSION one version as HostVersions writes it (X7:gmspath=C:\\GMS)";
    const struct {
        std::vector<std::wstring> args;
        std::string mistake;
    } kCases[] = {
        {{}, "instinfo: no command: expected show, check, plan or pack"},
        {{L"frobnicate"},
         "instinfo: unknown command \"frobnicate\": expected show, check, plan or pack"},
        {{L"--json", L"check"},
         "instinfo: unknown command \"--json\": expected show, check, plan or pack"},
        {{L"check", L"--jsn"}, "instinfo check: unknown option \"--jsn\" (did you mean --json?)"},
        {{L"check", L"--frobnicate"}, "instinfo check: unknown option \"--frobnicate\""},
        {{L"show", L"--json"},
         "instinfo show: --json is no option of show (only of check and plan)"},
        {{L"pack", L"--strict", L"x"},
         "instinfo pack: --strict is no option of pack (only of check)"},
        {{L"check", L"a", L"b"},
         "instinfo check: a second folder \"b\": one FOLDER is read (\"a\" was given before)"},
        {{L"pack"}, "instinfo pack: no FOLDER: expected the add-on folder to pack"},
        {{L"pack", L"x", L"-o"},
         "instinfo pack: -o without a value: expected the setup file to write"},
        {{L"pack", L"-o", L"a.exe", L"-o", L"b.exe", L"x"},
         "instinfo pack: -o \"b.exe\": -o is given once: one setup file is written"},
        {{L"plan", L"--installed", L"X7", L"--installed", L"none"},
         "instinfo plan: --installed \"none\": --installed is given once"},
        {{L"plan", L"--folder"},
         "instinfo plan: --folder without a value: expected [VERSION:]KEY=PATH"},
        {{L"plan", L"--folder", L"GMSPth=C:\\x"},
         "instinfo plan: --folder \"GMSPth=C:\\x\": " + kKeyPath},
        {{L"plan", L"--folder", L"X9:gmspath=C:\\x"},
         "instinfo plan: --folder \"X9:gmspath=C:\\x\": " + kKeyPath},
        {{L"plan", L"--folder", L"gmspath"}, "instinfo plan: --folder \"gmspath\": " + kKeyPath},
        {{L"plan", L"d", L"--json", L"--folder", L"X7:GMSPath=C:\\a:b", L"--installed", L"none"},
         ""},
        {{L"pack", L"--force", L"-o", L"s.exe", L"d"}, ""},
        {{L"check", L"--strict", L"--json"}, ""},
    };
    for (const auto& c : kCases) {
        const tamrick::Arguments parsed = tamrick::ParseArguments(c.args);
        EXPECT_EQ(parsed.mistake, c.mistake) << tamrick::ToUtf8(c.args.empty() ? L"" : c.args[0]);
        EXPECT_EQ(parsed.ask == tamrick::Arguments::Ask::Mistake, !c.mistake.empty());
    }
    const tamrick::Arguments plan = tamrick::ParseArguments(
        {L"plan", L"d", L"--folder", L"X7:GMSPath=C:\\a:b", L"--installed", L"none"});
    EXPECT_EQ(plan.options.plan.versionFolders.at(17).at(L"gmspath"), L"C:\\a:b");
    EXPECT_EQ(plan.options.folder, L"d");
    EXPECT_EQ(tamrick::ParseArguments({L"pack", L"--help"}).ask, tamrick::Arguments::Ask::Help);
    EXPECT_EQ(tamrick::ParseArguments({L"-h"}).ask, tamrick::Arguments::Ask::Help);
    EXPECT_EQ(tamrick::ParseArguments({L"--version"}).ask, tamrick::Arguments::Ask::Version);
}
