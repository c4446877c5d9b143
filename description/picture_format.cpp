#include "picture_format.h"

namespace tamrick {

PictureFormat PictureFormatOf(std::string_view head) {
    if (head.starts_with("BM")) {
        return PictureFormat::Bmp;
    }
    if (head.starts_with(std::string_view("\x89PNG\r\n\x1A\n", 8))) {
        return PictureFormat::Png;
    }
    if (head.starts_with("GIF87a") || head.starts_with("GIF89a")) {
        return PictureFormat::Gif;
    }
    if (head.starts_with("\xFF\xD8\xFF")) {
        return PictureFormat::Jpeg;
    }
    return PictureFormat::None;
}

std::string_view PictureFormatName(PictureFormat format) {
    switch (format) {
    case PictureFormat::Bmp:
        return "BMP";
    case PictureFormat::Png:
        return "PNG";
    case PictureFormat::Jpeg:
        return "JPEG";
    case PictureFormat::Gif:
        return "GIF";
    case PictureFormat::None:
        break;
    }
    return "";
}

} // namespace tamrick
