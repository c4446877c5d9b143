// Decoding the description's bytes, through the reader as the installer reads them: a title
// shows what a line's value decoded to.
#include "description/reader.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;
using tamrick::Encoding;
using tamrick::ParseDescription;

TEST(Decode, EachTextIsReadInTheEncodingItsMarkOrItsBytesSay) {
    const struct {
        std::string bytes;
        Encoding encoding;
        std::wstring title;
    } kTexts[] = {
        // Byte order marks select the encoding and are dropped.
        {"\xEF\xBB\xBFsetuptitle=\xE5\xAE\x89", Encoding::Utf8, L"安"},
        {"\xFF\xFEs\0e\0t\0u\0p\0t\0i\0t\0l\0e\0=\0\x89\x5B"s, Encoding::Utf16LE, L"安"},
        {"\xFE\xFF\0s\0e\0t\0u\0p\0t\0i\0t\0l\0e\0=\x5B\x89"s, Encoding::Utf16BE, L"安"},
        // Valid UTF-8 without a mark is UTF-8, plain ASCII and the rest code page 936.
        {"setuptitle=\xE5\xAE\x89\xE8\xA3\x85", Encoding::Utf8, L"安装"},
        {"setuptitle=plain ascii", Encoding::Ansi, L"plain ascii"},
        {"", Encoding::Ansi, L""},
        {"setuptitle=\xB0\xB2\xD7\xB0", Encoding::Ansi, L"安装"},
        // A mark is never overruled; the conversions themselves are base's (text_test.cpp).
        {"\xEF\xBB\xBFsetuptitle=a\xFF", Encoding::Utf8, L"a\uFFFD"},
        // 0x81 0x20 is no GBK character; NUL stays an ordinary character.
        {"setuptitle=a\x81 b\0c"s, Encoding::Ansi, L"a\uFFFD b\0c"s},
        // A lead byte cut off by the end of the file.
        {"setuptitle=z\xB0", Encoding::Ansi, L"z\uFFFD"},
    };
    for (const auto& t : kTexts) {
        const auto d = ParseDescription(t.bytes);
        EXPECT_EQ(d.encoding, t.encoding) << ::testing::PrintToString(t.bytes);
        EXPECT_EQ(d.SetupTitle, t.title) << ::testing::PrintToString(t.bytes);
    }
}
