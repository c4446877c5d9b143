// What reaches the user when something unexpected is thrown: never nothing.
#include "base/error.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace {

tamrick::Error Caught(const auto& thrown) {
    try {
        throw thrown;
    } catch (...) {
        return tamrick::CurrentExceptionAsError();
    }
}

TEST(CurrentExceptionAsError, OursStayAsTheyAreAndOthersGetBasicsNumbers) {
    const tamrick::Error ours = Caught(tamrick::Error(53, L"文件未找到"));
    EXPECT_EQ(ours.number(), 53);
    EXPECT_EQ(ours.description(), L"文件未找到");

    const tamrick::Error memory = Caught(std::bad_alloc());
    EXPECT_EQ(memory.number(), 7);
    EXPECT_EQ(memory.description(), L"内存不足");

    const tamrick::Error other = Caught(std::runtime_error("bug"));
    EXPECT_EQ(other.number(), 51);
    EXPECT_EQ(other.description(), L"内部错误");
    EXPECT_EQ(Caught(42).number(), 51);
}

TEST(UnhandledErrorText, NamesTheNumberAndTheDescription) {
    EXPECT_EQ(tamrick::UnhandledErrorText(481, L"图片无效"), L"运行时错误 '481':\r\n\r\n图片无效");
}

} // namespace
