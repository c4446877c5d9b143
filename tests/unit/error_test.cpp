// What reaches the user when something unexpected is thrown: never nothing.
#include "base/error.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <utility>

namespace {

tamrick::Error Caught(const auto& thrown) {
    try {
        throw thrown;
    } catch (...) {
        return tamrick::CurrentExceptionAsError();
    }
}

TEST(CurrentExceptionAsError, OursStayAsTheyAreAndOthersGetBasicsNumbers) {
    const std::pair<tamrick::Error, tamrick::Error> kCaught[] = {
        {Caught(tamrick::Error(53, L"文件未找到")), tamrick::Error(53, L"文件未找到")},
        {Caught(std::bad_alloc()), tamrick::Error(7, L"内存不足")},
        {Caught(std::runtime_error("bug")), tamrick::Error(51, L"内部错误")},
        {Caught(42), tamrick::Error(51, L"内部错误")},
    };
    for (const auto& [caught, expected] : kCaught) {
        EXPECT_EQ(caught.number(), expected.number()) << expected.number();
        EXPECT_EQ(caught.description(), expected.description()) << expected.number();
    }
}

TEST(UnhandledErrorText, NamesTheNumberAndTheDescription) {
    EXPECT_EQ(tamrick::UnhandledErrorText(481, L"图片无效"), L"运行时错误 '481':\r\n\r\n图片无效");
}

} // namespace
