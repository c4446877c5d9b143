#pragma once
// Which files the installer takes for its banner: one rule for the window and for the packager's
// tool. A file is a picture only when it starts with the signature of BMP, PNG, JPEG or GIF;
// the decoder may still refuse one that does, never take one that doesn't.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tamrick {

enum class PictureFormat { None, Bmp, Png, Jpeg, Gif };

// Bytes enough to tell the format.
inline constexpr std::size_t kPictureSignatureBytes = 8;

// From the first bytes of the file (fewer than kPictureSignatureBytes is fine).
PictureFormat PictureFormatOf(std::string_view head);

// "BMP", "PNG", "JPEG", "GIF"; empty for None.
std::string_view PictureFormatName(PictureFormat format);

// Where Windows has no imaging component (Windows XP without its update), the window loads
// banners through the OLE picture, which reads no PNG.
inline constexpr bool ShownWithoutWic(PictureFormat format) {
    return format != PictureFormat::None && format != PictureFormat::Png;
}

// The error of a banner that is no picture, shown by the start-up's unhandled-error report.
inline constexpr std::int32_t kErrInvalidPicture = 481;
inline constexpr const wchar_t* kInvalidPictureText = L"图片无效";

} // namespace tamrick
