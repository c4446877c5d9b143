// Banner pictures read the two ways the installer has: through WIC, and through the OLE picture
// that stands in where a Windows XP has no WIC. Both must show the same banner.

#include "window/picture.h"

#include "base/error.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using tamrick::Error;
using tamrick::LoadPictureFile;
using tamrick::LoadPictureFileWithOlePicture;
using tamrick::UniqueBitmap;

namespace {

fs::path gData;   // tests/window/data
fs::path gBanner; // the design-time banner, a 16-bit BMP
fs::path gWork;

constexpr int kWidth = 420;
constexpr int kHeight = 78;
constexpr COLORREF kBackground = RGB(0xF0, 0xF0, 0xF0);

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> bgr; // 0x00RRGGBB, top-down
};

Pixels Read(const UniqueBitmap& bitmap) {
    BITMAP info{};
    GetObjectW(bitmap.get(), sizeof info, &info);
    Pixels p{info.bmWidth, info.bmHeight, {}};
    p.bgr.resize(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height));
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = p.width;
    header.bmiHeader.biHeight = -p.height;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    const tamrick::UniqueScreenDc screen(GetDC(nullptr));
    GetDIBits(screen.get(), bitmap.get(), 0, static_cast<UINT>(p.height), p.bgr.data(), &header,
              DIB_RGB_COLORS);
    for (auto& v : p.bgr) {
        v &= 0xFFFFFF;
    }
    return p;
}

int LargestDifference(const Pixels& a, const Pixels& b) {
    int largest = 0;
    for (std::size_t i = 0; i < a.bgr.size(); ++i) {
        for (int shift : {0, 8, 16}) {
            const int d = std::abs(static_cast<int>((a.bgr[i] >> shift) & 0xFF) -
                                   static_cast<int>((b.bgr[i] >> shift) & 0xFF));
            largest = std::max(largest, d);
        }
    }
    return largest;
}

// A 24-bit BMP larger than the banner area, with a different colour in every column and row.
fs::path WriteWideBmp() {
    constexpr int w = 500;
    constexpr int h = 100;
    constexpr int stride = (w * 3 + 3) & ~3;
    constexpr DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    const BITMAPFILEHEADER file{0x4D42, offset + stride * h, 0, 0, offset};
    const BITMAPINFOHEADER info{sizeof info, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<unsigned char> rows(static_cast<std::size_t>(stride * h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            unsigned char* at = &rows[static_cast<std::size_t>((h - 1 - y) * stride + x * 3)];
            at[0] = static_cast<unsigned char>(x % 256);
            at[1] = static_cast<unsigned char>(y * 2);
            at[2] = static_cast<unsigned char>((x + y) % 256);
        }
    }
    const fs::path path = gWork / "wide.bmp";
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(reinterpret_cast<const char*>(rows.data()),
              static_cast<std::streamsize>(rows.size()));
    return path;
}

class Pictures : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        fs::create_directories(gWork);
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }

    static void ExpectSameBothWays(const fs::path& path, int tolerance) {
        const Pixels wic = Read(LoadPictureFile(path.wstring(), kWidth, kHeight, kBackground));
        const Pixels ole =
            Read(LoadPictureFileWithOlePicture(path.wstring(), kWidth, kHeight, kBackground));
        ASSERT_EQ(ole.width, wic.width) << path;
        ASSERT_EQ(ole.height, wic.height) << path;
        EXPECT_LE(LargestDifference(wic, ole), tolerance) << path;
    }
};

TEST_F(Pictures, BmpGifAndJpegShowTheSameWithoutWicAndALargeOneIsCutFromItsTopLeft) {
    ExpectSameBothWays(gBanner, 0);
    ExpectSameBothWays(gData / "tiny.gif", 0);
    // Two JPEG decoders may round differently.
    ExpectSameBothWays(gData / "banner.jpg", 8);

    const fs::path wide = WriteWideBmp();
    ExpectSameBothWays(wide, 0);
    const Pixels p = Read(LoadPictureFile(wide.wstring(), kWidth, kHeight, kBackground));
    ASSERT_EQ(p.width, kWidth);
    ASSERT_EQ(p.height, kHeight);
    // Column 300, row 50: blue 300 % 256, green 100, red 350 % 256.
    EXPECT_EQ(p.bgr[50 * kWidth + 300], (94u << 16) | (100u << 8) | 44u);
}

// A one-pixel icon: Windows' imaging component decodes it, but a banner is BMP, PNG, JPEG or GIF.
std::string OnePixelIcon() {
    std::string ico("\0\0\1\0\1\0"                           // one image
                    "\1\1\0\0\1\0\x20\0\x30\0\0\0\x16\0\0\0" // 1 x 1, 32 bits, 48 bytes
                    "\x28\0\0\0\1\0\0\0\2\0\0\0\1\0\x20\0",  // its header, twice as high
                    38);
    ico.append(40 - 16, '\0');
    ico += std::string("\x20\x40\x60\xFF", 4); // the pixel
    ico.append(4, '\0');                       // the mask's row
    return ico;
}

// The error each way gives for a file that is no banner, 0 where it is one. The number of the
// program's other file errors for a file that can't be opened: "file not found" is 53.
TEST_F(Pictures, OnlyTheFourFormatsArePicturesAndOnlyWicReadsAPng) {
    std::ofstream(gWork / "notes.bmp", std::ios::binary) << "text\n";
    std::ofstream(gWork / "icon.bmp", std::ios::binary) << OnePixelIcon();
    const struct {
        fs::path file;
        std::int32_t wic;
        std::int32_t ole;
    } cases[] = {{gData / "small.png", 0, tamrick::kErrInvalidPicture},
                 {gWork / "notes.bmp", tamrick::kErrInvalidPicture, tamrick::kErrInvalidPicture},
                 {gWork / "icon.bmp", tamrick::kErrInvalidPicture, tamrick::kErrInvalidPicture},
                 {gWork / "missing.bmp", tamrick::kErrFileNotFound, tamrick::kErrFileNotFound}};
    for (const auto& c : cases) {
        for (const auto& [load, expected] : {std::pair{&LoadPictureFile, c.wic},
                                             std::pair{&LoadPictureFileWithOlePicture, c.ole}}) {
            try {
                load(c.file.wstring(), kWidth, kHeight, kBackground);
                EXPECT_EQ(expected, 0) << c.file << " was read as a picture";
            } catch (const Error& e) {
                EXPECT_EQ(e.number(), expected) << c.file;
                EXPECT_FALSE(e.description().empty());
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: picture_test DATA BANNER WORK\n");
        return 2;
    }
    gData = argv[1];
    gBanner = argv[2];
    gWork = argv[3];
    return RUN_ALL_TESTS();
}
