#include "addon_folder.h"
#include "description/reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

class LoadTest : public ::testing::Test {
  protected:
    LoadTest() { state_.AppFolder = folder_.Prefix(); }

    bool Load() {
        return tamrick::LoadInstallInfo(state_,
                                        [this](const std::wstring& m) { messages_.push_back(m); });
    }

    AddOnFolder folder_{"load"};
    tamrick::SharedState state_;
    std::vector<std::wstring> messages_;
};

} // namespace

// Only a missing description says so; a folder of its name, or no file item, fails silently.
TEST_F(LoadTest, WithoutAFileItemLineTheLoadFailsAndOnlyAMissingDescriptionIsShown) {
    EXPECT_FALSE(Load());
    EXPECT_EQ(messages_,
              std::vector<std::wstring>{L"缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。"});
    EXPECT_FALSE(state_.FileItems);
    folder_.Description("setuptitle=Only a title\r\n[files]\r\n");
    EXPECT_FALSE(Load());
    EXPECT_FALSE(state_.FileItems);
    std::filesystem::remove(folder_.path() / "InstInfo.ini");
    folder_.File("InstInfo.ini/x");
    EXPECT_FALSE(Load());
    EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(LoadTest, ReadDescriptionReportsTheEncodingItDecided) {
    folder_.Description("\xFF\xFE"
                        "f\0i\0l\0e\0i\0t\0e\0m\0=\0c\0|\0a\0|\0"
                        "1\0|\0g\0m\0s\0p\0a\0t\0h\0|\0x\0"s);
    auto read = tamrick::ReadDescription(state_.AppFolder);
    EXPECT_TRUE(read.result);
    EXPECT_EQ(read.description.encoding, tamrick::Encoding::Utf16LE);
    EXPECT_FALSE(read.missing);
}

TEST_F(LoadTest, DefaultsFillAnAbsentTitleAndPictureAndTheVersionsNamedReachTheState) {
    folder_.Description("hostversions=2020, X7-X8, junk\r\nfileitem=c|a.gms|1|gmspath|\r\n");
    EXPECT_TRUE(Load());
    EXPECT_EQ(state_.SetupTitle, L"Tamrick Installer");
    EXPECT_EQ(state_.FlagsPicture, L"flags.bmp");
    ASSERT_TRUE(state_.FileItems);
    EXPECT_EQ(state_.FileItems->size(), 1u);
    EXPECT_EQ(state_.HostVersions, (std::vector<int>{17, 18, 22}));
    // No valid entry: X3 alone.

    folder_.Description("hostversions=junk, 12\r\nfileitem=c|a.gms|1|gmspath|\r\n");
    EXPECT_TRUE(Load());
    EXPECT_TRUE(state_.HostVersions.empty());
}
