#include "description/reader.h"
#include "tools/instinfo/json.h"
#include "tools/instinfo/show.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(Json, StringsAreUtf8WithQuotesBackslashesAndControlsEscaped) {
    EXPECT_EQ(tamrick::json::String(L"a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(tamrick::json::String(L"\t\n\x01\0"s), R"("\t\n\u0001\u0000")");
    EXPECT_EQ(tamrick::json::String(L"安装"), "\"\xE5\xAE\x89\xE8\xA3\x85\"");
}

TEST(Show, TheEmptyLastRowHasNoLineAndAFailedReadHasNoItems) {
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
    const std::string none = tamrick::ShowJson(missing);
    EXPECT_NE(none.find(R"("result": false)"), std::string::npos);
    EXPECT_NE(none.find(R"("fileItems": null)"), std::string::npos);
    EXPECT_NE(none.find("InstInfo.ini)"), std::string::npos);
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
