#include "picture.h"

#include "base/error.h"
#include "base/system_error.h"
#include "description/picture_format.h"

#include <ocidl.h>
#include <olectl.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace tamrick {
namespace {

using Microsoft::WRL::ComPtr;

// The file is there but its bytes are no picture we can read. Reading the file itself failing
// is a file error: the system's own words say why (no access, in use, ...).
void ThrowIfNotPicture(HRESULT hr) {
    if (hr == E_OUTOFMEMORY) {
        ThrowHresult(hr);
    }
    if (FAILED(hr)) {
        throw Error(kErrInvalidPicture, kInvalidPictureText);
    }
}

// Opening or reading the file failed: the Win32 code inside gets the number that every other file
// failure of the program gets.
void ThrowIfFileFailed(HRESULT hr) {
    if (FAILED(hr) && HRESULT_FACILITY(hr) == FACILITY_WIN32) {
        ThrowWin32(static_cast<DWORD>(HRESULT_CODE(hr)));
    }
    ThrowIfFailed(hr);
}

std::uint8_t Blend(std::uint32_t colour, std::uint32_t alpha, std::uint32_t background) {
    return static_cast<std::uint8_t>((colour * alpha + background * (255 - alpha) + 127) / 255);
}

} // namespace

bool IsPlainFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                          FILE_ATTRIBUTE_DEVICE)) == 0;
}

namespace {

// A top-down 32-bit picture of the given size, for the banner area to show.
UniqueBitmap NewBanner(int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
    if (!bitmap) {
        ThrowHresult(E_OUTOFMEMORY);
    }
    return bitmap;
}

// The WIC factory, or nothing where this Windows has no WIC (Windows XP without its update).
ComPtr<IWICImagingFactory> WicFactory() {
    ComPtr<IWICImagingFactory> factory;
    const HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_PPV_ARGS(&factory));
    if (hr == REGDB_E_CLASSNOTREG) {
        return nullptr;
    }
    ThrowIfFailed(hr);
    return factory;
}

UniqueBitmap LoadWithWic(IWICImagingFactory& factory, const std::wstring& path, int width,
                         int height, COLORREF background) {
    ComPtr<IWICStream> stream;
    ThrowIfFailed(factory.CreateStream(&stream));
    ThrowIfFileFailed(stream->InitializeFromFilename(path.c_str(), GENERIC_READ));

    ComPtr<IWICBitmapDecoder> decoder;
    ThrowIfNotPicture(factory.CreateDecoderFromStream(stream.Get(), nullptr,
                                                      WICDecodeMetadataCacheOnDemand, &decoder));
    ComPtr<IWICBitmapFrameDecode> frame;
    ThrowIfNotPicture(decoder->GetFrame(0, &frame));
    ComPtr<IWICFormatConverter> converter;
    ThrowIfNotPicture(factory.CreateFormatConverter(&converter));
    ThrowIfNotPicture(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA,
                                            WICBitmapDitherTypeNone, nullptr, 0.0,
                                            WICBitmapPaletteTypeCustom));
    UINT full_width = 0;
    UINT full_height = 0;
    ThrowIfNotPicture(converter->GetSize(&full_width, &full_height));
    // Only the top-left part is ever shown.
    const WICRect part{0, 0, std::min(static_cast<INT>(full_width), width),
                       std::min(static_cast<INT>(full_height), height)};
    if (part.Width <= 0 || part.Height <= 0) {
        ThrowIfNotPicture(WINCODEC_ERR_BADIMAGE);
    }

    void* bits = nullptr;
    UniqueBitmap bitmap = NewBanner(part.Width, part.Height, &bits);
    const auto stride = static_cast<UINT>(part.Width) * 4;
    const auto size = stride * static_cast<UINT>(part.Height);
    ThrowIfNotPicture(converter->CopyPixels(&part, stride, size, static_cast<BYTE*>(bits)));

    // Transparent parts show the area's colour, as a picture without them would.
    auto* pixel = static_cast<std::uint8_t*>(bits);
    for (UINT i = 0; i < size; i += 4) {
        const std::uint32_t alpha = pixel[i + 3];
        pixel[i] = Blend(pixel[i], alpha, GetBValue(background));
        pixel[i + 1] = Blend(pixel[i + 1], alpha, GetGValue(background));
        pixel[i + 2] = Blend(pixel[i + 2], alpha, GetRValue(background));
        pixel[i + 3] = 0;
    }
    return bitmap;
}

// The whole file in movable memory, as OleLoadPicture takes it.
UniqueGlobal ReadIntoGlobal(const std::wstring& path, DWORD& size) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    if (!file) {
        ThrowLastError();
    }
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(file.get(), &length)) {
        ThrowLastError();
    }
    if (length.QuadPart <= 0 || length.QuadPart > MAXDWORD - 1) {
        ThrowIfNotPicture(E_FAIL);
    }
    size = static_cast<DWORD>(length.QuadPart);
    UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!memory) {
        ThrowHresult(E_OUTOFMEMORY);
    }
    void* bytes = GlobalLock(memory.get());
    DWORD read = 0;
    const BOOL ok = ReadFile(file.get(), bytes, size, &read, nullptr);
    const DWORD error = GetLastError();
    GlobalUnlock(memory.get());
    if (!ok) {
        ThrowWin32(error);
    }
    if (read != size) {
        ThrowIfNotPicture(E_FAIL);
    }
    return memory;
}

PictureFormat FormatOfMemory(HGLOBAL memory, DWORD size) {
    const void* bytes = GlobalLock(memory);
    const PictureFormat format = PictureFormatOf(std::string_view(
        static_cast<const char*>(bytes), std::min<std::size_t>(size, kPictureSignatureBytes)));
    GlobalUnlock(memory);
    return format;
}

// The signature of the file's first bytes.
PictureFormat FormatOfFile(const std::wstring& path) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    if (!file) {
        ThrowLastError();
    }
    char head[kPictureSignatureBytes] = {};
    DWORD read = 0;
    if (!ReadFile(file.get(), head, sizeof head, &read, nullptr)) {
        ThrowLastError();
    }
    return PictureFormatOf(std::string_view(head, read));
}

} // namespace

UniqueBitmap LoadPictureFileWithOlePicture(const std::wstring& path, int width, int height,
                                           COLORREF background) {
    DWORD size = 0;
    UniqueGlobal memory = ReadIntoGlobal(path, size);
    // The OLE picture of Windows XP reads no PNG; Wine's does. Refusing it here keeps the
    // behaviour that of the systems that take this way.
    if (!ShownWithoutWic(FormatOfMemory(memory.get(), size))) {
        ThrowIfNotPicture(E_FAIL);
    }
    ComPtr<IStream> stream;
    ThrowIfFailed(CreateStreamOnHGlobal(memory.get(), TRUE, &stream));
    memory.release(); // the stream owns it now

    ComPtr<IPicture> picture;
    ThrowIfNotPicture(
        OleLoadPicture(stream.Get(), static_cast<LONG>(size), FALSE, IID_PPV_ARGS(&picture)));
    SHORT type = PICTYPE_UNINITIALIZED;
    OLE_HANDLE handle = 0;
    ThrowIfNotPicture(picture->get_Type(&type));
    ThrowIfNotPicture(picture->get_Handle(&handle));
    BITMAP info{};
    if (type != PICTYPE_BITMAP ||
        GetObjectW(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof info, &info) ==
            0) {
        ThrowIfNotPicture(E_FAIL);
    }
    OLE_XSIZE_HIMETRIC himetric_width = 0;
    OLE_YSIZE_HIMETRIC himetric_height = 0;
    ThrowIfNotPicture(picture->get_Width(&himetric_width));
    ThrowIfNotPicture(picture->get_Height(&himetric_height));

    const int part_width = std::min(static_cast<int>(info.bmWidth), width);
    const int part_height = std::min(static_cast<int>(info.bmHeight), height);
    if (part_width <= 0 || part_height <= 0) {
        ThrowIfNotPicture(E_FAIL);
    }
    void* bits = nullptr;
    UniqueBitmap bitmap = NewBanner(part_width, part_height, &bits);
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!dc) {
        ThrowHresult(E_OUTOFMEMORY);
    }
    const HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
    // Transparent parts show the area's colour: the picture is drawn over it.
    const RECT all{0, 0, part_width, part_height};
    const UniqueBrush brush(CreateSolidBrush(background));
    FillRect(dc.get(), &all, brush.get());
    const HRESULT drawn =
        picture->Render(dc.get(), 0, 0, info.bmWidth, info.bmHeight, 0, himetric_height,
                        himetric_width, -himetric_height, nullptr);
    GdiFlush();
    SelectObject(dc.get(), old);
    ThrowIfNotPicture(drawn);
    return bitmap;
}

UniqueBitmap LoadPictureFile(const std::wstring& path, int width, int height, COLORREF background) {
    // WIC decodes more formats than a banner may have (TIFF, icons, ...): the packager's tool
    // accepts only these signatures, so the window does too.
    if (FormatOfFile(path) == PictureFormat::None) {
        ThrowIfNotPicture(E_FAIL);
    }
    if (const ComPtr<IWICImagingFactory> factory = WicFactory()) {
        return LoadWithWic(*factory.Get(), path, width, height, background);
    }
    return LoadPictureFileWithOlePicture(path, width, height, background);
}

void DrawPicture(HDC dc, const RECT& area, HBITMAP picture, double scale, HBRUSH background) {
    BITMAP info{};
    GetObjectW(picture, sizeof(info), &info);
    const int width = static_cast<int>(std::lround(info.bmWidth * scale));
    const int height = static_cast<int>(std::lround(info.bmHeight * scale));
    const LONG right = std::min(area.right, area.left + width);
    const LONG bottom = std::min(area.bottom, area.top + height);

    // The rest of the area, right of and below the picture.
    const RECT beside{right, area.top, area.right, area.bottom};
    const RECT below{area.left, bottom, right, area.bottom};
    FillRect(dc, &beside, background);
    FillRect(dc, &below, background);

    UniqueMemoryDc memory(CreateCompatibleDC(dc));
    if (!memory) {
        return;
    }
    const HGDIOBJ old = SelectObject(memory.get(), picture);
    if (width == info.bmWidth && height == info.bmHeight) {
        BitBlt(dc, area.left, area.top, right - area.left, bottom - area.top, memory.get(), 0, 0,
               SRCCOPY);
    } else {
        // A control's DC may reach beyond it (static controls draw with their parent's).
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, area.left, area.top, width, height, memory.get(), 0, 0, info.bmWidth,
                   info.bmHeight, SRCCOPY);
        RestoreDC(dc, saved);
    }
    SelectObject(memory.get(), old);
}

} // namespace tamrick
