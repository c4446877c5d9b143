// The run's file operations on real files in the build tree, under Wine: what ends up on disk,
// and the number and text of every failure.

#include "base/error.h"
#include "base/handles.h"
#include "install/file_ops_win32.h"
#include "test_folder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace {

using tamrick::Error;
using Names = std::vector<std::wstring>;

constexpr std::int32_t kFileNotFound = 53;
constexpr std::int32_t kPermissionDenied = 70;
constexpr std::int32_t kPathNotFound = 76;

// What the system says for a code, as a user would read it.
std::wstring SystemSays(DWORD code) {
    wchar_t text[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, 512, nullptr);
    std::wstring said(text, length);
    while (!said.empty() && (said.back() == L'\n' || said.back() == L'\r' || said.back() == L' ')) {
        said.pop_back();
    }
    return said;
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

    // Runs an operation that must fail and returns its error.
    template <typename Operation> Error FailureOf(Operation operation) {
        try {
            operation();
        } catch (const Error& e) {
            return e;
        }
        ADD_FAILURE() << "the operation succeeded";
        return Error(0, L"");
    }

    std::wstring source_;
    std::wstring dest_;
    std::unique_ptr<tamrick::FileSystemOps> files_ = tamrick::MakeWin32FileSystem();
};

TEST_F(FileOps, PlainHiddenAndReadOnlyFilesExist) {
    WriteTextFile(source_ + L"plain.gms", "p");
    WriteTextFile(source_ + L"hidden.gms", "h");
    WriteTextFile(source_ + L"readonly.gms", "r");
    SetAttributes(source_ + L"hidden.gms", FILE_ATTRIBUTE_HIDDEN);
    SetAttributes(source_ + L"readonly.gms", FILE_ATTRIBUTE_READONLY);

    EXPECT_TRUE(files_->FileExists(source_ + L"plain.gms"));
    EXPECT_TRUE(files_->FileExists(source_ + L"hidden.gms"));
    EXPECT_TRUE(files_->FileExists(source_ + L"readonly.gms"));
}

TEST_F(FileOps, FoldersMissingPathsAndImpossibleNamesDoNotExist) {
    EXPECT_FALSE(files_->FileExists(source_ + L"missing.gms"));
    EXPECT_FALSE(files_->FileExists(source_ + L"no-folder\\missing.gms"));
    EXPECT_FALSE(files_->FileExists(dest_));
    EXPECT_FALSE(files_->FileExists(source_ + L"sub"));
    ASSERT_TRUE(CreateDirectoryW((source_ + L"sub").c_str(), nullptr));
    EXPECT_FALSE(files_->FileExists(source_ + L"sub"));
    // A name that can't exist is missing, so the missing-file report names it.
    EXPECT_FALSE(files_->FileExists(source_ + L"*.gms"));
    EXPECT_FALSE(files_->FileExists(L""));
}

TEST_F(FileOps, CopyIntoFolderKeepsNameAndContentAndLeavesNothingElse) {
    WriteTextFile(source_ + L"My Tool (v2).gms", "new macro");

    files_->CopyFileInto(source_ + L"My Tool (v2).gms", dest_);

    EXPECT_EQ(NamesIn(dest_), Names{L"My Tool (v2).gms"});
    EXPECT_EQ(ReadTextFile(dest_ + L"My Tool (v2).gms"), "new macro");
    EXPECT_EQ(ReadTextFile(source_ + L"My Tool (v2).gms"), "new macro");
}

TEST_F(FileOps, CopyReplacesFileOfThatNameWithoutLeavingTemporaryFiles) {
    WriteTextFile(source_ + L"tool.gms", "version 2");
    WriteTextFile(dest_ + L"tool.gms", "version 1, longer than the new one");
    WriteTextFile(dest_ + L"other.gms", "untouched");

    files_->CopyFileInto(source_ + L"tool.gms", dest_);
    files_->CopyFileInto(source_ + L"tool.gms", dest_);

    EXPECT_EQ(NamesIn(dest_), (Names{L"other.gms", L"tool.gms"}));
    EXPECT_EQ(ReadTextFile(dest_ + L"tool.gms"), "version 2");
    EXPECT_EQ(ReadTextFile(dest_ + L"other.gms"), "untouched");
}

TEST_F(FileOps, CopyOfReadOnlySourceArrivesWithItsAttributes) {
    WriteTextFile(source_ + L"fixed.gms", "fixed");
    SetAttributes(source_ + L"fixed.gms", FILE_ATTRIBUTE_READONLY);

    files_->CopyFileInto(source_ + L"fixed.gms", dest_);

    EXPECT_EQ(NamesIn(dest_), Names{L"fixed.gms"});
    EXPECT_EQ(ReadTextFile(dest_ + L"fixed.gms"), "fixed");
    EXPECT_TRUE(AttributesOf(dest_ + L"fixed.gms") & FILE_ATTRIBUTE_READONLY);
}

TEST_F(FileOps, CopyFolderMayLackTheSeparator) {
    WriteTextFile(source_ + L"tool.gms", "tool");

    files_->CopyFileInto(source_ + L"tool.gms", dest_.substr(0, dest_.size() - 1));

    EXPECT_EQ(ReadTextFile(dest_ + L"tool.gms"), "tool");
}

TEST_F(FileOps, CopyOverReadOnlyTargetIsDeniedAndKeepsTheOldFile) {
    WriteTextFile(source_ + L"tool.gms", "version 2");
    WriteTextFile(dest_ + L"tool.gms", "version 1");
    SetAttributes(dest_ + L"tool.gms", FILE_ATTRIBUTE_READONLY);

    const Error error = FailureOf([&] { files_->CopyFileInto(source_ + L"tool.gms", dest_); });

    EXPECT_EQ(error.number(), kPermissionDenied);
    EXPECT_EQ(error.description(), SystemSays(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(error.description().empty());
    EXPECT_EQ(NamesIn(dest_), Names{L"tool.gms"});
    EXPECT_EQ(ReadTextFile(dest_ + L"tool.gms"), "version 1");
    EXPECT_TRUE(AttributesOf(dest_ + L"tool.gms") & FILE_ATTRIBUTE_READONLY);
}

TEST_F(FileOps, CopyOntoFolderOfThatNameIsDenied) {
    WriteTextFile(source_ + L"tool.gms", "tool");
    ASSERT_TRUE(CreateDirectoryW((dest_ + L"tool.gms").c_str(), nullptr));

    const Error error = FailureOf([&] { files_->CopyFileInto(source_ + L"tool.gms", dest_); });

    EXPECT_EQ(error.number(), kPermissionDenied);
    EXPECT_EQ(error.description(), SystemSays(ERROR_ACCESS_DENIED));
    EXPECT_EQ(NamesIn(dest_), Names{L"tool.gms"});
    EXPECT_TRUE(AttributesOf(dest_ + L"tool.gms") & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FileOps, CopyOverTargetInUseFailsAndKeepsTheOldFile) {
    WriteTextFile(source_ + L"tool.gms", "version 2");
    WriteTextFile(dest_ + L"tool.gms", "version 1");
    // Open as a running program holds its files: nobody may delete or rename it meanwhile.
    tamrick::UniqueHandle held(CreateFileW((dest_ + L"tool.gms").c_str(), GENERIC_READ,
                                           FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);

    const Error error = FailureOf([&] { files_->CopyFileInto(source_ + L"tool.gms", dest_); });
    held.reset();

    EXPECT_NE(error.number(), 0);
    EXPECT_NE(error.number(), tamrick::kErrCantCreateObject);
    EXPECT_FALSE(error.description().empty());
    EXPECT_EQ(NamesIn(dest_), Names{L"tool.gms"});
    EXPECT_EQ(ReadTextFile(dest_ + L"tool.gms"), "version 1");
}

TEST_F(FileOps, CopyOfMissingSourceFailsAndLeavesTheFolderAlone) {
    WriteTextFile(dest_ + L"tool.gms", "version 1");

    const Error error = FailureOf([&] { files_->CopyFileInto(source_ + L"tool.gms", dest_); });

    EXPECT_EQ(error.number(), kFileNotFound);
    EXPECT_EQ(error.description(), SystemSays(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(NamesIn(dest_), Names{L"tool.gms"});
    EXPECT_EQ(ReadTextFile(dest_ + L"tool.gms"), "version 1");
}

TEST_F(FileOps, CopyIntoMissingFolderFailsWithoutCreatingIt) {
    WriteTextFile(source_ + L"tool.gms", "tool");

    const Error error =
        FailureOf([&] { files_->CopyFileInto(source_ + L"tool.gms", dest_ + L"missing\\"); });

    EXPECT_EQ(error.number(), kPathNotFound);
    EXPECT_EQ(error.description(), SystemSays(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(NamesIn(dest_).empty());
}

TEST_F(FileOps, DeleteRemovesPlainAndReadOnlyFiles) {
    WriteTextFile(dest_ + L"old.gms", "old");
    WriteTextFile(dest_ + L"locked.gms", "locked");
    WriteTextFile(dest_ + L"kept.gms", "kept");
    SetAttributes(dest_ + L"locked.gms", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);

    files_->RemoveFile(dest_ + L"old.gms");
    files_->RemoveFile(dest_ + L"locked.gms");

    EXPECT_EQ(NamesIn(dest_), Names{L"kept.gms"});
}

TEST_F(FileOps, DeleteOfMissingFileOrFolderIsAnError) {
    ASSERT_TRUE(CreateDirectoryW((dest_ + L"sub").c_str(), nullptr));

    const Error missing = FailureOf([&] { files_->RemoveFile(dest_ + L"missing.gms"); });
    const Error folder = FailureOf([&] { files_->RemoveFile(dest_ + L"sub"); });

    EXPECT_EQ(missing.number(), kFileNotFound);
    EXPECT_EQ(missing.description(), SystemSays(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(folder.number(), kPermissionDenied);
    EXPECT_EQ(NamesIn(dest_), Names{L"sub"});
}

} // namespace
