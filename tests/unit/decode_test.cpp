// Decoding the description's bytes, through the reader as the installer reads them: a title
// shows what a line's value decoded to.
#include "description/reader.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;
using tamrick::Encoding;
using tamrick::ParseDescription;

TEST(Decode, ByteOrderMarksSelectTheEncodingAndAreDropped) {
    auto utf8 = ParseDescription("\xEF\xBB\xBF"
                                 "setuptitle=\xE5\xAE\x89");
    EXPECT_EQ(utf8.encoding, Encoding::Utf8);
    EXPECT_EQ(utf8.SetupTitle, L"安");

    auto le = ParseDescription("\xFF\xFE"
                               "t\0=\0\x89\x5B"s);
    EXPECT_EQ(le.encoding, Encoding::Utf16LE);
    auto leTitle = ParseDescription("\xFF\xFE"
                                    "s\0e\0t\0u\0p\0t\0i\0t\0l\0e\0=\0\x89\x5B"s);
    EXPECT_EQ(leTitle.SetupTitle, L"安");

    auto be = ParseDescription("\xFE\xFF\0s\0e\0t\0u\0p\0t\0i\0t\0l\0e\0=\x5B\x89"s);
    EXPECT_EQ(be.encoding, Encoding::Utf16BE);
    EXPECT_EQ(be.SetupTitle, L"安");
}

TEST(Decode, ValidUtf8WithoutMarkIsUtf8ButPlainAsciiIsAnsi) {
    auto utf8 = ParseDescription("setuptitle=\xE5\xAE\x89\xE8\xA3\x85");
    EXPECT_EQ(utf8.encoding, Encoding::Utf8);
    EXPECT_EQ(utf8.SetupTitle, L"安装");
    auto ascii = ParseDescription("setuptitle=plain ascii");
    EXPECT_EQ(ascii.encoding, Encoding::Ansi);
    EXPECT_EQ(ascii.SetupTitle, L"plain ascii");
    EXPECT_EQ(ParseDescription("").SetupTitle, L"");
}

TEST(Decode, CodePage936WhenNotUtf8) {
    // "安装" in GBK is not valid UTF-8.
    auto d = ParseDescription("setuptitle=\xB0\xB2\xD7\xB0");
    EXPECT_EQ(d.encoding, Encoding::Ansi);
    EXPECT_EQ(d.SetupTitle, L"安装");
}

TEST(Decode, InvalidSequencesAfterAMarkAreReplacedNotGuessedAt) {
    // The conversions themselves are base's (text_test.cpp); a mark is never overruled.
    EXPECT_EQ(ParseDescription("\xEF\xBB\xBF"
                               "setuptitle=a\xFF")
                  .SetupTitle,
              L"a\uFFFD");
}

TEST(Decode, InvalidAnsiBytesAreReplacedAndTheRestKept) {
    // 0x81 0x20 is no GBK character; NUL stays an ordinary character.
    auto d = ParseDescription("setuptitle=a\x81 b\0c"s);
    EXPECT_EQ(d.encoding, Encoding::Ansi);
    EXPECT_EQ(d.SetupTitle, L"a\uFFFD b\0c"s);
    // A lead byte cut off by the end of the file.
    EXPECT_EQ(ParseDescription("setuptitle=z\xB0").SetupTitle, L"z\uFFFD");
}
