#pragma once
// Whether a file's bytes are a picture that the installer's window can load: the signature that
// the window requires, and the header of BMP (16-bit 5-5-5 included), PNG, JPEG and GIF.

#include "description/picture_format.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tamrick {

struct PictureInfo {
    bool ok = false;
    PictureFormat type = PictureFormat::None; // by its signature
    std::string format;                       // "BMP", "PNG", "JPEG", "GIF"; empty when unknown
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::string problem; // why it is not a picture, when !ok
};

PictureInfo SniffPicture(std::string_view bytes);

// Why it is not a picture, for a message.
std::wstring PictureProblem(const PictureInfo& picture);

enum class BannerState {
    Missing,    // no file there, or a folder: the built-in banner shows
    Hidden,     // a hidden or system file, ignored like a missing one (seen on Windows only)
    Unreadable, // the installer would stop at start-up
    NotPicture, // likewise
    Picture,
};

struct Banner {
    BannerState state = BannerState::Missing;
    PictureInfo picture;
    bool folder = false; // Missing because a folder has that name
};

// The banner file `name` of the add-on folder `folder` (ending in a separator).
Banner LookAtBanner(const std::wstring& folder, const std::wstring& name);

// A banner over which the installer stops at start-up, before its window shows: what is wrong
// with it, and the report the user then sees where it is known here (a file that can't be read
// gets the system's own reason, which only the user's machine knows).
struct BannerStop {
    std::wstring problem; // "is not a picture (...)", "can't be read"
    std::optional<std::wstring> report;
};
std::optional<BannerStop> BannerStopsStartUp(const Banner& banner);

} // namespace tamrick
