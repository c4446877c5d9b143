// A Windows code page read through the system, with invalid bytes replaced or refused.
#include "base/text_encoding.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using tamrick::AppendCodePage;
using tamrick::InvalidBytes;

TEST(AppendCodePage, ReadsTheCodePageAndRefusesOnlyWhenAsked) {
    std::wstring text = L">";
    EXPECT_TRUE(AppendCodePage(936, "\xB0\xB2\xD7\xB0", text, InvalidBytes::Refuse));
    EXPECT_EQ(text, L">安装");
    // 0x81 0x20 is no GBK character, nor is an overlong UTF-8 "/".
    for (const auto& [codePage, bytes] : {std::pair<UINT, const char*>{936, "a\x81 b"},
                                          {CP_UTF8, "a\xC0\xAF"
                                                    "b"}}) {
        std::wstring refused = L">";
        EXPECT_FALSE(AppendCodePage(codePage, bytes, refused, InvalidBytes::Refuse)) << codePage;
        EXPECT_EQ(refused, L">") << codePage;
        std::wstring replaced;
        EXPECT_TRUE(AppendCodePage(codePage, bytes, replaced)) << codePage;
        // Replaced, the rest is kept.
        EXPECT_TRUE(replaced.starts_with(L"a") && replaced.ends_with(L"b")) << codePage;
    }
}

} // namespace
