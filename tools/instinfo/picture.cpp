#include "picture.h"

#include "base/error.h"
#include "description/decode.h"
#include "description/picture_format.h"
#include "description/platform.h"
#include "files.h"

#include <cstdlib>

namespace tamrick {
namespace {

std::uint32_t Le16(std::string_view b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

std::uint32_t Le32(std::string_view b, std::size_t at) {
    return Le16(b, at) | Le16(b, at + 2) << 16;
}

std::uint32_t Be16(std::string_view b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at]) << 8 |
                                      static_cast<unsigned char>(b[at + 1]));
}

std::uint32_t Be32(std::string_view b, std::size_t at) {
    return Be16(b, at) << 16 | Be16(b, at + 2);
}

PictureInfo Fail(std::string format, std::string problem) {
    PictureInfo info;
    info.format = std::move(format);
    info.problem = std::move(problem);
    return info;
}

PictureInfo Ok(std::string format, std::uint32_t width, std::uint32_t height) {
    PictureInfo info;
    info.ok = true;
    info.format = std::move(format);
    info.width = width;
    info.height = height;
    return info;
}

// A picture whose header gives its size; no size is no picture.
PictureInfo Sized(std::string format, std::uint32_t width, std::uint32_t height) {
    if (width == 0 || height == 0) {
        return Fail(std::move(format), "the header gives no valid size");
    }
    return Ok(std::move(format), width, height);
}

PictureInfo Bmp(std::string_view b) {
    constexpr std::size_t kFileHeader = 14;
    if (b.size() < kFileHeader + 12) {
        return Fail("BMP", "the header is cut off");
    }
    const std::uint32_t dataAt = Le32(b, 10);
    const std::uint32_t headerSize = Le32(b, kFileHeader);
    std::uint32_t width = 0;
    std::int64_t height = 0;
    std::uint32_t planes = 0;
    std::uint32_t bits = 0;
    std::uint32_t compression = 0;
    if (headerSize == 12) {
        width = Le16(b, 18);
        height = Le16(b, 20);
        planes = Le16(b, 22);
        bits = Le16(b, 24);
    } else if (headerSize >= 40 && headerSize <= 124) {
        if (b.size() < kFileHeader + headerSize) {
            return Fail("BMP", "the header is cut off");
        }
        width = Le32(b, 18);
        height = static_cast<std::int32_t>(Le32(b, 22));
        planes = Le16(b, 26);
        bits = Le16(b, 28);
        compression = Le32(b, 30);
    } else {
        return Fail("BMP", "unknown header size " + std::to_string(headerSize));
    }
    if (width == 0 || width > 0x7FFFFFFF || height == 0 || planes != 1) {
        return Fail("BMP", "the header gives no valid size");
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return Fail("BMP", std::to_string(bits) + " bits per pixel");
    }
    // BI_RGB, BI_RLE8, BI_RLE4, BI_BITFIELDS, BI_ALPHABITFIELDS.
    if (compression > 3 && compression != 6) {
        return Fail("BMP", "compression " + std::to_string(compression));
    }
    const auto rows = static_cast<std::uint64_t>(std::llabs(height));
    if (compression == 0) {
        const std::uint64_t stride = (std::uint64_t{width} * bits + 31) / 32 * 4;
        if (dataAt > b.size() || b.size() - dataAt < stride * rows) {
            return Fail("BMP", "the pixels are cut off");
        }
    }
    return Ok("BMP", width, static_cast<std::uint32_t>(rows));
}

PictureInfo Png(std::string_view b) {
    if (b.size() < 33 || b.substr(12, 4) != "IHDR") {
        return Fail("PNG", "no image header");
    }
    return Sized("PNG", Be32(b, 16), Be32(b, 20));
}

PictureInfo Gif(std::string_view b) {
    if (b.size() < 13) {
        return Fail("GIF", "the header is cut off");
    }
    return Sized("GIF", Le16(b, 6), Le16(b, 8));
}

bool IsStartOfFrame(unsigned marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the markers up to the frame header, which holds the size.
PictureInfo Jpeg(std::string_view b) {
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (static_cast<unsigned char>(b[at]) != 0xFF) {
            return Fail("JPEG", "broken marker structure");
        }
        const unsigned marker = static_cast<unsigned char>(b[at + 1]);
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) {
            break;
        }
        const std::uint32_t length = Be16(b, at + 2);
        if (length < 2) {
            return Fail("JPEG", "broken marker structure");
        }
        if (IsStartOfFrame(marker)) {
            if (at + 9 > b.size()) {
                break;
            }
            return Sized("JPEG", Be16(b, at + 7), Be16(b, at + 5));
        }
        at += 2 + length;
    }
    return Fail("JPEG", "no frame header");
}

} // namespace

namespace {

PictureInfo SniffFormat(PictureFormat type, std::string_view b) {
    switch (type) {
    case PictureFormat::Bmp:
        return Bmp(b);
    case PictureFormat::Png:
        return Png(b);
    case PictureFormat::Gif:
        return Gif(b);
    case PictureFormat::Jpeg:
        return Jpeg(b);
    case PictureFormat::None:
        break;
    }
    return Fail("", b.empty() ? "the file is empty" : "no BMP, PNG, JPEG or GIF signature");
}

} // namespace

PictureInfo SniffPicture(std::string_view b) {
    const PictureFormat type = PictureFormatOf(b);
    PictureInfo info = SniffFormat(type, b);
    info.type = type;
    return info;
}

std::wstring PictureProblem(const PictureInfo& picture) {
    std::wstring why;
    AppendUtf8(picture.format.empty() ? picture.problem : picture.format + ": " + picture.problem,
               why);
    return why;
}

Banner LookAtBanner(const std::wstring& folder, const std::wstring& name) {
    Banner banner;
    std::wstring path = LocalPath(folder, name);
    const LookUp found = LookUpFile(path);
    if (!FoundOnWindows(found)) {
        banner.folder = found.presence == Presence::Folder;
        return banner;
    }
    if (found.hiddenOrSystem) {
        banner.state = BannerState::Hidden;
        return banner;
    }
    if (found.presence == Presence::OtherCase) {
        path = path.substr(0, path.rfind(kPathSeparator) + 1) + found.foundName;
    }
    const FileBytes file = ReadWholeFile(path);
    if (file.status != ReadStatus::Ok) {
        banner.state = BannerState::Unreadable;
        return banner;
    }
    banner.picture = SniffPicture(file.bytes);
    banner.state = banner.picture.ok ? BannerState::Picture : BannerState::NotPicture;
    return banner;
}

std::optional<BannerStop> BannerStopsStartUp(const Banner& banner) {
    if (banner.state == BannerState::Unreadable) {
        return BannerStop{L"can't be read", std::nullopt};
    }
    if (banner.state == BannerState::NotPicture) {
        return BannerStop{L"is not a picture (" + PictureProblem(banner.picture) + L")",
                          UnhandledErrorText(kErrInvalidPicture, kInvalidPictureText)};
    }
    return std::nullopt;
}

} // namespace tamrick
