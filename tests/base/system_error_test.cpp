// From a failed system call to what the user reads: the numbers the messages go by, the system's
// own text, and the owners that never mistake a failure for a handle.
#include "base/handles.h"
#include "base/system_error.h"
#include "base/system_text.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace {

using tamrick::Error;

TEST(ErrorFromWin32, FileErrorsKeepTheirClassicNumbersAndTheSystemsText) {
    const std::initializer_list<std::pair<DWORD, std::int32_t>> classic{
        {ERROR_FILE_NOT_FOUND, 53},    {ERROR_PATH_NOT_FOUND, 76}, {ERROR_ACCESS_DENIED, 70},
        {ERROR_SHARING_VIOLATION, 70}, {ERROR_DISK_FULL, 61},      {ERROR_FILE_EXISTS, 58}};
    for (const auto& [code, number] : classic) {
        const Error error = tamrick::ErrorFromWin32(code);
        EXPECT_EQ(error.number(), number) << code;
        EXPECT_EQ(error.description(), tamrick::SystemErrorText(code)) << code;
    }
}

TEST(ErrorFromWin32, NoCodeOrAnUnusualOneIsNeitherSuccessNorAMissingObject) {
    for (const DWORD code : std::initializer_list<DWORD>{ERROR_SUCCESS, ERROR_INVALID_FUNCTION, 429,
                                                         ERROR_NOT_SUPPORTED}) {
        const Error error = tamrick::ErrorFromWin32(code);
        EXPECT_NE(error.number(), 0) << code;
        EXPECT_NE(error.number(), tamrick::kErrCantCreateObject) << code;
        EXPECT_FALSE(error.description().empty()) << code;
    }
}

TEST(ErrorFromHresult, AnAutomationServersOwnNumberIsReadFromTheLowWord) {
    // How a Basic-style server raises "file not found".
    EXPECT_EQ(tamrick::ErrorFromHresult(static_cast<HRESULT>(0x800A0035)).number(), 53);
    EXPECT_EQ(tamrick::ErrorFromHresult(E_ACCESSDENIED).number(),
              static_cast<std::int32_t>(E_ACCESSDENIED));
    EXPECT_EQ(tamrick::ErrorFromHresult(E_ACCESSDENIED).description(),
              tamrick::SystemErrorText(static_cast<std::uint32_t>(E_ACCESSDENIED)));
}

TEST(SystemErrorText, ACodeTheSystemHasNoTextForIsNamed) {
    EXPECT_EQ(tamrick::SystemErrorText(0xE0001234u), L"系统错误 0xE0001234");
    EXPECT_FALSE(tamrick::SystemErrorText(ERROR_ACCESS_DENIED).empty());
}

TEST(Handles, AFailedOpenOrSearchHoldsNothing) {
    // Both fail with INVALID_HANDLE_VALUE, which must never reach CloseHandle or FindClose.
    WIN32_FIND_DATAW found{};
    const tamrick::UniqueFindHandle search(
        FindFirstFileW(L"Z:\\no\\such\\folder\\tamrick-*", &found));
    EXPECT_FALSE(search);
    const tamrick::UniqueHandle file(CreateFileW(L"Z:\\no\\such\\folder\\tamrick.txt", GENERIC_READ,
                                                 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(file);
    EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
}

} // namespace
