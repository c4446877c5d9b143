// Whether a banner file's bytes are a picture the installer's window loads, and its size.
#include "test_programs.h"
#include "tools/instinfo/picture.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace std::string_literals;
using namespace tamrick;
using tamrick::test::Bitmap;

TEST(SniffPicture, KnowsTheFormatsTheWindowLoadsAndTheirSize) {
    // Each 420 by 78; the JPEG is SOI, an APP0 segment of 16 bytes, then the frame header.
    const std::pair<const char*, std::string> pictures[] = {
        {"BMP", Bitmap(420, 78)},
        {"PNG", "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x01\xA4\0\0\0\x4E\x08\x02\0\0\0xxxx"s},
        {"GIF", "GIF89a\xA4\x01\x4E\0\0\0\0"s},
        {"JPEG", "\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\x01\0\0\x01\0\x01\0\0"
                 "\xFF\xC0\0\x11\x08\0\x4E\x01\xA4\x03"s},
    };
    for (const auto& [format, bytes] : pictures) {
        const PictureInfo info = SniffPicture(bytes);
        EXPECT_TRUE(info.ok) << info.problem;
        EXPECT_EQ(info.format, format);
        EXPECT_EQ(info.width, 420u) << format;
        EXPECT_EQ(info.height, 78u) << format;
    }
}

TEST(SniffPicture, RefusesWhatNoLoaderTakes) {
    EXPECT_EQ(SniffPicture("").problem, "the file is empty");
    EXPECT_EQ(SniffPicture("BM").problem, "the header is cut off");
    EXPECT_EQ(SniffPicture(Bitmap(420, 78).substr(0, 60)).problem, "the pixels are cut off");
    std::string zeroWidth = Bitmap(1, 1);
    zeroWidth[18] = 0;
    EXPECT_EQ(SniffPicture(zeroWidth).problem, "the header gives no valid size");
    EXPECT_EQ(SniffPicture(std::string("\xFF\xD8\xFF\xD9\0\0", 6)).problem, "no frame header");
    EXPECT_FALSE(SniffPicture("<html>").ok);
}
