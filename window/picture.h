#pragma once
// Pictures for the banner: loading a banner file and drawing a picture into the banner area.

#include "base/handles.h"
#include "description/picture_format.h"

#include <cstdint>
#include <string>

namespace tamrick {

// A plain file: one that a listing of normal files shows. Hidden and system files and folders
// are not; read-only and archived files are.
bool IsPlainFile(const std::wstring& path);

// Loads a BMP, PNG, JPEG or GIF file (the first frame; any other signature is no picture) with WIC,
// keeping only the top-left part that the banner area can show (width x height): a huge picture
// costs no more than a small one. Transparent parts take the background colour. Throws Error: 481
// for a file that is not a picture, else the failure's HRESULT with the system's text.
UniqueBitmap LoadPictureFile(const std::wstring& path, int width, int height, COLORREF background);

// The same through the OLE picture, which every Windows has: the way where WIC is missing
// (Windows XP without its update). It reads BMP, JPEG and GIF; a PNG is no picture to it.
UniqueBitmap LoadPictureFileWithOlePicture(const std::wstring& path, int width, int height,
                                           COLORREF background);

// Draws the picture from the top-left corner of the area, scaled by scale (1 at 96 DPI), and
// fills the rest of the area with the background brush.
void DrawPicture(HDC dc, const RECT& area, HBITMAP picture, double scale, HBRUSH background);

} // namespace tamrick
