#include "description/decode.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;
using tamrick::DecodeDescription;
using tamrick::Encoding;

TEST(Decode, ByteOrderMarksSelectTheEncodingAndAreDropped) {
    auto utf8 = DecodeDescription("\xEF\xBB\xBF"
                                  "a=\xE5\xAE\x89");
    EXPECT_EQ(utf8.encoding, Encoding::Utf8);
    EXPECT_EQ(utf8.text, L"a=安");

    auto le = DecodeDescription("\xFF\xFE"
                                "a\0=\0\x89\x5B"s);
    EXPECT_EQ(le.encoding, Encoding::Utf16LE);
    EXPECT_EQ(le.text, L"a=安");

    auto be = DecodeDescription("\xFE\xFF\0a\0=\x5B\x89"s);
    EXPECT_EQ(be.encoding, Encoding::Utf16BE);
    EXPECT_EQ(be.text, L"a=安");
}

TEST(Decode, ValidUtf8WithoutMarkIsUtf8ButPlainAsciiIsAnsi) {
    EXPECT_EQ(DecodeDescription("t=\xE5\xAE\x89\xE8\xA3\x85").encoding, Encoding::Utf8);
    EXPECT_EQ(DecodeDescription("t=\xE5\xAE\x89\xE8\xA3\x85").text, L"t=安装");
    EXPECT_EQ(DecodeDescription("plain ascii").encoding, Encoding::Ansi);
    EXPECT_EQ(DecodeDescription("plain ascii").text, L"plain ascii");
    EXPECT_EQ(DecodeDescription("").text, L"");
}

TEST(Decode, CodePage936WhenNotUtf8) {
    // "安装" in GBK is not valid UTF-8.
    auto d = DecodeDescription("t=\xB0\xB2\xD7\xB0");
    EXPECT_EQ(d.encoding, Encoding::Ansi);
    EXPECT_EQ(d.text, L"t=安装");
}

TEST(Decode, OverlongSurrogateAndTruncatedUtf8AreNotUtf8) {
    EXPECT_FALSE(tamrick::IsValidUtf8("\xC0\xAF"));         // overlong "/"
    EXPECT_FALSE(tamrick::IsValidUtf8("\xED\xA0\x80"));     // a surrogate
    EXPECT_FALSE(tamrick::IsValidUtf8("\xF4\x90\x80\x80")); // past U+10FFFF
    EXPECT_FALSE(tamrick::IsValidUtf8("\xE5\xAE"));         // cut short
    EXPECT_TRUE(tamrick::IsValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(Decode, InvalidSequencesAfterAMarkBecomeReplacementCharacters) {
    auto utf8 = DecodeDescription("\xEF\xBB\xBF"
                                  "a\xFF"
                                  "b\xE5\xAE");
    EXPECT_EQ(utf8.text, L"a\uFFFDb\uFFFD\uFFFD");

    // An unpaired surrogate and an odd trailing byte.
    auto le = DecodeDescription("\xFF\xFE\x00\xD8x\0\x41"s);
    EXPECT_EQ(le.text, L"\uFFFDx\uFFFD");
}

TEST(Decode, InvalidAnsiBytesAreReplacedAndTheRestKept) {
    // 0x81 0x20 is no GBK character; NUL stays an ordinary character.
    auto d = DecodeDescription("a\x81 b\0c"s);
    EXPECT_EQ(d.encoding, Encoding::Ansi);
    EXPECT_EQ(d.text, L"a\uFFFD b\0c"s);
    // A lead byte cut off by the end of the file.
    EXPECT_EQ(DecodeDescription("z\xB0").text, L"z\uFFFD");
}

TEST(Decode, CharactersBeyondTheBasicPlaneSurviveTheRoundTrip) {
    auto d = DecodeDescription("\xEF\xBB\xBF\xF0\x9F\x98\x80");
    EXPECT_EQ(tamrick::ToUtf8(d.text), "\xF0\x9F\x98\x80");
    auto le = DecodeDescription("\xFF\xFE\x3D\xD8\x00\xDE"s);
    EXPECT_EQ(tamrick::ToUtf8(le.text), "\xF0\x9F\x98\x80");
}
