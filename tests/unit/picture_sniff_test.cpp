// Whether a banner file's bytes are a picture the installer's window loads, and its size.
#include "test_programs.h"
#include "tools/instinfo/picture.h"

#include <gtest/gtest.h>

#include <string>

using namespace tamrick;
using tamrick::test::Bitmap;

TEST(SniffPicture, KnowsTheFormatsTheWindowLoadsAndTheirSize) {
    const PictureInfo bmp = SniffPicture(Bitmap(420, 78));
    EXPECT_TRUE(bmp.ok);
    EXPECT_EQ(bmp.format, "BMP");
    EXPECT_EQ(bmp.width, 420u);
    EXPECT_EQ(bmp.height, 78u);

    const std::string png("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x01\xA4\0\0\0\x4E\x08\x02\0\0\0xxxx",
                          33);
    const PictureInfo p = SniffPicture(png);
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.width, 420u);
    EXPECT_EQ(p.height, 78u);

    const PictureInfo gif = SniffPicture(std::string("GIF89a\xA4\x01\x4E\0\0\0\0", 13));
    EXPECT_TRUE(gif.ok);
    EXPECT_EQ(gif.width, 420u);

    // SOI, an APP0 segment of 16 bytes, then the frame header: 78 rows of 420.
    std::string jpeg("\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\x01\0\0\x01\0\x01\0\0"
                     "\xFF\xC0\0\x11\x08\0\x4E\x01\xA4\x03",
                     30);
    const PictureInfo j = SniffPicture(jpeg);
    EXPECT_TRUE(j.ok) << j.problem;
    EXPECT_EQ(j.width, 420u);
    EXPECT_EQ(j.height, 78u);
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
