// The setup file's portable rules: the header, the checksum, where a setup program's sections
// end, and which entry names are safe to unpack.
#include "base/text_encoding.h"
#include "setup/payload.h"
#include "test_programs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace fs = std::filesystem;
using namespace tamrick;
using tamrick::test::FakeProgram;

TEST(Payload, TheHeaderRoundTripsAndRejectsWhatIsNotOne) {
    payload::Header header;
    header.payloadLength = 0x123456789ull;
    header.crc32 = 0xCBF43926u;
    header.title = L"Tamrick 工具箱 演示版";
    const std::string bytes = payload::EncodeHeader(header) + "cabinet follows";
    const auto decoded = payload::DecodeHeader(bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->header.payloadLength, header.payloadLength);
    EXPECT_EQ(decoded->header.crc32, header.crc32);
    EXPECT_EQ(decoded->header.title, header.title);
    EXPECT_EQ(bytes.substr(decoded->size), "cabinet follows");

    EXPECT_FALSE(payload::DecodeHeader(bytes.substr(0, decoded->size - 1))) << "cut short";
    std::string other = bytes;
    other[0] = 'X';
    EXPECT_FALSE(payload::DecodeHeader(other)) << "another magic";
    other = bytes;
    other[8] = 2;
    EXPECT_FALSE(payload::DecodeHeader(other)) << "another version";
    EXPECT_FALSE(payload::DecodeHeader(""));
}

TEST(Payload, Crc32IsTheStandardOneInAnyPieces) {
    payload::Crc32 whole;
    whole.Update("123456789", 9);
    EXPECT_EQ(whole.value(), 0xCBF43926u);
    payload::Crc32 pieces;
    pieces.Update("1234", 4);
    pieces.Update("", 0);
    pieces.Update("56789", 5);
    EXPECT_EQ(pieces.value(), whole.value());
}

TEST(Payload, TheSectionsEndWhereTheLastRawDataEnds) {
    EXPECT_EQ(payload::EndOfSections(FakeProgram(0x2000)), std::optional<std::uint64_t>(0x2000));
    std::string notPe = FakeProgram(0x2000);
    notPe[0x81] = 'X';
    EXPECT_FALSE(payload::EndOfSections(notPe));
    EXPECT_FALSE(payload::EndOfSections("MZ"));
    EXPECT_FALSE(payload::EndOfSections(FakeProgram(0x2000).substr(0, 0x180)))
        << "the section table is cut off";
}

TEST(Payload, OnlyNamesThatStayInsideTheFolderAreSafe) {
    for (const wchar_t* safe :
         {L"a.txt", L"InstInfo.ini", L"子目录\\深 层\\说明 文件.txt", L"sub/a.gms", L"..a", L"a..b",
          L"con2.txt", L"COM10", L"nul_", L".hidden", L"a b"}) {
        EXPECT_TRUE(payload::IsSafeEntryName(safe)) << tamrick::ToUtf8(safe);
    }
    for (const wchar_t* unsafe : {L"",
                                  L"..",
                                  L".",
                                  L"..\\a",
                                  L"a\\..\\..\\b",
                                  L"a/../b",
                                  L"\\a",
                                  L"/a",
                                  L"\\\\server\\s\\a",
                                  L"C:\\a",
                                  L"C:a",
                                  L"a:b",
                                  L"a.txt::$DATA",
                                  L"a\\\\b",
                                  L"a\\",
                                  L"CON",
                                  L"con.txt",
                                  L"sub\\NUL",
                                  L"Aux.gms",
                                  L"prn",
                                  L"COM1",
                                  L"lpt9.log",
                                  L"COM\u00B9",
                                  L"CONIN$",
                                  L"con .txt",
                                  L"a.",
                                  L"a ",
                                  L"a\\.. ",
                                  L"a<b",
                                  L"a|b",
                                  L"a?",
                                  L"a*",
                                  L"a\"b",
                                  L"a\tb"}) {
        EXPECT_FALSE(payload::IsSafeEntryName(unsafe)) << tamrick::ToUtf8(unsafe);
    }
}
