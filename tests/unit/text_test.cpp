// The small text things of base/, each written once for every program: conversions, case,
// trimming and a folder's separator.
#include "base/path_separator.h"
#include "base/text_case.h"
#include "base/text_encoding.h"
#include "base/trim.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

TEST(TextEncoding, Utf8IsStrict) {
    for (const std::string_view bad : {"\xC0\xAF",            // overlong "/"
                                       "\xED\xA0\x80",        // a surrogate
                                       "\xF4\x90\x80\x80",    // past U+10FFFF
                                       "\xE5\xAE", "\x80"}) { // cut short, a lone continuation
        EXPECT_FALSE(tamrick::IsValidUtf8(bad)) << testing::PrintToString(bad);
    }
    EXPECT_TRUE(tamrick::IsValidUtf8("a\xE5\xAE\x89\xF0\x9F\x98\x80"));
}

TEST(TextEncoding, WhatIsNoCharacterBecomesOneReplacementForEachByte) {
    EXPECT_EQ(tamrick::FromUtf8("a\xFF"
                                "b\xE5\xAE"),
              L"a\uFFFDb\uFFFD\uFFFD");
    // An unpaired surrogate, then an odd last byte.
    std::wstring utf16;
    tamrick::AppendUtf16("\x00\xD8x\0\x41"s, false, utf16);
    EXPECT_EQ(utf16, L"\uFFFDx\uFFFD");
    EXPECT_EQ(tamrick::ToUtf8(std::wstring(1, static_cast<wchar_t>(0xDC00)) + L"z"), "\xEF\xBF\xBD"
                                                                                     "z");
}

TEST(TextEncoding, CharactersBeyondTheBasicPlaneSurviveEveryWay) {
    const std::string face = "\xF0\x9F\x98\x80";
    EXPECT_EQ(tamrick::ToUtf8(tamrick::FromUtf8(face)), face);
    for (const bool bigEndian : {false, true}) {
        std::wstring text;
        tamrick::AppendUtf16(bigEndian ? "\xD8\x3D\xDE\x00"s : "\x3D\xD8\x00\xDE"s, bigEndian,
                             text);
        EXPECT_EQ(tamrick::ToUtf8(text), face);
    }
}

TEST(TextCase, AsciiFoldsOnlyAsciiAndTheOtherEveryLetter) {
    EXPECT_TRUE(tamrick::EqualsIgnoringAsciiCase(L"Log", L"LOG"));
    EXPECT_FALSE(tamrick::EqualsIgnoringAsciiCase(L"Ä", L"ä"));
    EXPECT_FALSE(tamrick::EqualsIgnoringAsciiCase(L"LO", L"LOG"));
    EXPECT_EQ(tamrick::ToLowerAscii(L"GMSPath Ä@["), L"gmspath Ä@[");
    EXPECT_EQ(tamrick::AsciiUpper(L'z'), L'Z');
    EXPECT_EQ(tamrick::AsciiUpper(L'{'), L'{');
    EXPECT_EQ(tamrick::ToLowerText(L"ÄBC\u212A"), L"äbck"); // the Kelvin sign, too
}

TEST(Trim, SpacesUnlessToldOtherwise) {
    EXPECT_EQ(tamrick::Trim(L"  a b "), L"a b");
    EXPECT_EQ(tamrick::Trim(L"\ta "), L"\ta");
    EXPECT_EQ(tamrick::Trim(L"   "), L"");
    EXPECT_EQ(tamrick::Trim(L"\r\n a\t\v", tamrick::kAsciiWhiteSpace), L"a");
    EXPECT_EQ(tamrick::TrimEnd(L" a  "), L" a");
    EXPECT_EQ(tamrick::TrimEnd(L"  "), L"");
}

TEST(PathSeparator, AFolderEndsInExactlyOneUnlessEmpty) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\Add-on", L"C:\\Add-on\\"}, {L"C:\\", L"C:\\"}, {L"C:/GMS/", L"C:/GMS/"}, {L"", L""}};
    for (auto [folder, expected] : cases) {
        tamrick::EnsureTrailingSeparator(folder, L'\\');
        EXPECT_EQ(folder, expected);
    }
}

} // namespace
