// The run's file operations on real files in the build tree, under Wine: what ends up on disk,
// and the number and text of every failure.

#include "base/error.h"
#include "base/handles.h"
#include "install/file_ops_win32.h"
#include "test_folder.h"
#include "tests/support/standin_control.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace {

using tamrick::Error;
using tamrick::driver::WriteFileBytes;
using namespace tamrick::test;
using Names = std::vector<std::wstring>;

constexpr std::int32_t kFileNotFound = 53;
constexpr std::int32_t kPermissionDenied = 70;
constexpr std::int32_t kPathNotFound = 76;

// What the system says for a code, as a user would read it.
std::wstring SystemSays(DWORD code) {
    wchar_t text[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, 512, nullptr);
    const std::wstring said(text, length);
    return said.substr(0, said.find_last_not_of(L"\r\n ") + 1);
}

void SetAttributes(const std::wstring& path, DWORD attributes) {
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes)) << "can't set the attributes";
}

DWORD AttributesOf(const std::wstring& path) {
    return GetFileAttributesW(path.c_str());
}

class FileOps : public testing::Test {
  protected:
    void SetUp() override {
        const std::wstring root = FreshTestFolder();
        source_ = root + L"source\\";
        dest_ = root + L"dest\\";
        ASSERT_TRUE(CreateDirectoryW(source_.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(dest_.c_str(), nullptr));
    }

    std::wstring source_;
    std::wstring dest_;
    std::unique_ptr<tamrick::FileSystemOps> files_ = tamrick::MakeWin32FileSystem();
};

TEST_F(FileOps, OnlyFilesExistWhateverTheirAttributes) {
    WriteFileBytes(source_ + L"plain.gms", "p");
    WriteFileBytes(source_ + L"hidden.gms", "h");
    WriteFileBytes(source_ + L"readonly.gms", "r");
    SetAttributes(source_ + L"hidden.gms", FILE_ATTRIBUTE_HIDDEN);
    SetAttributes(source_ + L"readonly.gms", FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(CreateDirectoryW((source_ + L"sub").c_str(), nullptr));

    const std::pair<std::wstring, bool> cases[] = {
        {source_ + L"plain.gms", true},
        {source_ + L"hidden.gms", true},
        {source_ + L"readonly.gms", true},
        {source_ + L"missing.gms", false},
        {source_ + L"no-folder\\missing.gms", false},
        {dest_, false},
        {source_ + L"sub", false},
        // A name that can't exist is missing, so the missing-file report names it.
        {source_ + L"*.gms", false},
        {L"", false}};
    for (const auto& [path, exists] : cases) {
        EXPECT_EQ(files_->FileExists(path), exists) << testing::PrintToString(path);
    }
}

TEST_F(FileOps, CopyReplacesOnlyTheFileOfItsNameAndCarriesContentAndAttributes) {
    WriteFileBytes(source_ + L"My Tool (v2).gms", "version 2");
    WriteFileBytes(source_ + L"fixed.gms", "fixed");
    SetAttributes(source_ + L"fixed.gms", FILE_ATTRIBUTE_READONLY);
    WriteFileBytes(dest_ + L"My Tool (v2).gms", "version 1, longer than the new one");
    WriteFileBytes(dest_ + L"other.gms", "untouched");

    files_->CopyFileInto(source_ + L"My Tool (v2).gms", dest_);
    files_->CopyFileInto(source_ + L"My Tool (v2).gms", dest_);
    // The folder may lack the separator.
    files_->CopyFileInto(source_ + L"fixed.gms", dest_.substr(0, dest_.size() - 1));

    // No temporary files are left.
    EXPECT_EQ(FilesIn(dest_), (Names{L"My Tool (v2).gms", L"fixed.gms", L"other.gms"}));
    EXPECT_EQ(ReadFile(dest_ + L"My Tool (v2).gms"), "version 2");
    EXPECT_EQ(ReadFile(source_ + L"My Tool (v2).gms"), "version 2");
    EXPECT_EQ(ReadFile(dest_ + L"other.gms"), "untouched");
    EXPECT_EQ(ReadFile(dest_ + L"fixed.gms"), "fixed");
    EXPECT_TRUE(AttributesOf(dest_ + L"fixed.gms") & FILE_ATTRIBUTE_READONLY);
}

TEST_F(FileOps, ACopyThatCantBeMadeSaysWhyAndLeavesTheTargetAsItWas) {
    WriteFileBytes(source_ + L"tool.gms", "version 2");
    for (const wchar_t* name : {L"folder", L"in-use", L"old", L"read-only"}) {
        ASSERT_TRUE(CreateDirectoryW((dest_ + name).c_str(), nullptr));
    }
    WriteFileBytes(dest_ + L"read-only\\tool.gms", "version 1");
    SetAttributes(dest_ + L"read-only\\tool.gms", FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(CreateDirectoryW((dest_ + L"folder\\tool.gms").c_str(), nullptr));
    WriteFileBytes(dest_ + L"old\\tool.gms", "version 1");
    WriteFileBytes(dest_ + L"in-use\\tool.gms", "version 1");
    // Open as a running program holds its files: nobody may delete or rename it meanwhile.
    tamrick::UniqueHandle held(CreateFileW((dest_ + L"in-use\\tool.gms").c_str(), GENERIC_READ,
                                           FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);

    const struct {
        std::wstring source;
        std::wstring folder;
        std::int32_t number; // 0: whichever file error the system's code maps to
        DWORD code;
    } cases[] = {
        {source_ + L"tool.gms", dest_ + L"read-only", kPermissionDenied, ERROR_ACCESS_DENIED},
        {source_ + L"tool.gms", dest_ + L"folder", kPermissionDenied, ERROR_ACCESS_DENIED},
        {source_ + L"tool.gms", dest_ + L"in-use", 0, 0},
        {source_ + L"missing.gms", dest_ + L"old", kFileNotFound, ERROR_FILE_NOT_FOUND},
        {source_ + L"tool.gms", dest_ + L"missing\\", kPathNotFound, ERROR_PATH_NOT_FOUND}};
    for (const auto& c : cases) {
        const Error error = FailureOf([&] { files_->CopyFileInto(c.source, c.folder); });
        EXPECT_FALSE(error.description().empty());
        if (c.number == 0) {
            EXPECT_NE(error.number(), 0);
            EXPECT_NE(error.number(), tamrick::kErrCantCreateObject);
            continue;
        }
        EXPECT_EQ(error.number(), c.number) << testing::PrintToString(c.folder);
        EXPECT_EQ(error.description(), SystemSays(c.code));
    }
    held.reset();

    EXPECT_EQ(FilesIn(dest_), (Names{L"folder", L"in-use", L"old", L"read-only"}));
    for (const wchar_t* name : {L"folder", L"in-use", L"old", L"read-only"}) {
        EXPECT_EQ(FilesIn(dest_ + name), Names{L"tool.gms"}) << name;
    }
    for (const wchar_t* name : {L"in-use", L"old", L"read-only"}) {
        EXPECT_EQ(ReadFile(dest_ + name + L"\\tool.gms"), "version 1") << name;
    }
    EXPECT_TRUE(AttributesOf(dest_ + L"read-only\\tool.gms") & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(AttributesOf(dest_ + L"folder\\tool.gms") & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FileOps, DeleteRemovesPlainAndReadOnlyFilesButNoFolder) {
    WriteFileBytes(dest_ + L"old.gms", "old");
    WriteFileBytes(dest_ + L"locked.gms", "locked");
    WriteFileBytes(dest_ + L"kept.gms", "kept");
    SetAttributes(dest_ + L"locked.gms", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(CreateDirectoryW((dest_ + L"sub").c_str(), nullptr));

    files_->RemoveFile(dest_ + L"old.gms");
    files_->RemoveFile(dest_ + L"locked.gms");
    const Error missing = FailureOf([&] { files_->RemoveFile(dest_ + L"missing.gms"); });
    const Error folder = FailureOf([&] { files_->RemoveFile(dest_ + L"sub"); });

    EXPECT_EQ(FilesIn(dest_), (Names{L"kept.gms", L"sub"}));
    EXPECT_EQ(missing.number(), kFileNotFound);
    EXPECT_EQ(missing.description(), SystemSays(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(folder.number(), kPermissionDenied);
}

} // namespace
