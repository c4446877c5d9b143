#include "description/reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

class LoadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("tamrick-load-" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        state_.AppFolder = folder_.wstring() + L"/";
    }
    void TearDown() override { fs::remove_all(folder_); }

    void Write(const std::string& bytes) {
        std::ofstream(folder_ / "InstInfo.ini", std::ios::binary) << bytes;
    }

    bool Load() {
        return tamrick::LoadInstallInfo(state_,
                                        [this](const std::wstring& m) { messages_.push_back(m); });
    }

    fs::path folder_;
    tamrick::SharedState state_;
    std::vector<std::wstring> messages_;
};

} // namespace

TEST_F(LoadTest, AMissingDescriptionShowsTheOneMessageAndFails) {
    EXPECT_FALSE(Load());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], L"缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。");
    EXPECT_FALSE(state_.FileItems);
}

TEST_F(LoadTest, AFolderNamedLikeTheDescriptionFailsSilently) {
    fs::create_directory(folder_ / "InstInfo.ini");
    EXPECT_FALSE(Load());
    EXPECT_TRUE(messages_.empty());
}

TEST_F(LoadTest, WithoutAnyFileItemLineTheResultIsFalseWithoutAMessage) {
    Write("setuptitle=Only a title\r\n[files]\r\n");
    EXPECT_FALSE(Load());
    EXPECT_TRUE(messages_.empty());
    EXPECT_FALSE(state_.FileItems);
}

TEST_F(LoadTest, DefaultsFillAnAbsentTitleAndPicture) {
    Write("fileitem=c|a.gms|1|gmspath|Copying\r\n");
    EXPECT_TRUE(Load());
    EXPECT_EQ(state_.SetupTitle, L"Tamrick Installer");
    EXPECT_EQ(state_.FlagsPicture, L"flags.bmp");
    ASSERT_TRUE(state_.FileItems);
    EXPECT_EQ(state_.FileItems->size(), 1u);
}

TEST_F(LoadTest, ReadDescriptionReportsTheEncodingItDecided) {
    Write("\xFF\xFE"
          "f\0i\0l\0e\0i\0t\0e\0m\0=\0c\0|\0a\0|\0"
          "1\0|\0g\0m\0s\0p\0a\0t\0h\0|\0x\0"s);
    auto read = tamrick::ReadDescription(state_.AppFolder);
    EXPECT_TRUE(read.result);
    EXPECT_EQ(read.description.encoding, tamrick::Encoding::Utf16LE);
    EXPECT_FALSE(read.missing);
}

TEST_F(LoadTest, TheVersionsNamedReachTheSharedStateAndNoValidEntryMeansX3Alone) {
    Write("hostversions=2020, X7-X8, junk\r\nfileitem=c|a.gms|1|gmspath|\r\n");
    EXPECT_TRUE(Load());
    EXPECT_EQ(state_.HostVersions, (std::vector<int>{17, 18, 22}));

    Write("hostversions=junk, 12\r\nfileitem=c|a.gms|1|gmspath|\r\n");
    EXPECT_TRUE(Load());
    EXPECT_TRUE(state_.HostVersions.empty());
}
