#include "files.h"

#include "description/decode.h"
#include "description/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <system_error>
#endif

namespace tamrick {

#ifndef _WIN32
std::filesystem::path FsPath(const std::wstring& path) {
    // File names here are UTF-8 bytes, whatever the locale says.
    const std::string utf8 = ToUtf8(path);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::wstring FromFsPath(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return FromUtf8(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}
#endif

std::wstring LocalPath(const std::wstring& folder, std::wstring_view relative) {
    std::wstring path = folder;
    for (const wchar_t c : relative) {
        path.push_back(c == L'\\' ? kPathSeparator : c);
    }
    return path;
}

#ifdef _WIN32
// The system's own answer, as the installer gets it.
LookUp LookUpFile(const std::wstring& path) {
    LookUp result;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return result;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        result.presence = Presence::Folder;
        return result;
    }
    result.presence = Presence::Present;
    result.hiddenOrSystem = (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
    return result;
}
#else
LookUp LookUpFile(const std::wstring& path) {
    LookUp result;
    const std::filesystem::path p = FsPath(path);
    std::error_code ec;
    const auto status = std::filesystem::status(p, ec);
    if (std::filesystem::is_regular_file(status)) {
        result.presence = Presence::Present;
        return result;
    }
    if (std::filesystem::is_directory(status)) {
        result.presence = Presence::Folder;
        return result;
    }
    // Windows finds "Tools.GMS" when the file is "Tools.gms"; say so rather than call it missing.
    const auto cut = path.rfind(kPathSeparator);
    const std::wstring wanted =
        ToLowerText(cut == std::wstring::npos ? path : path.substr(cut + 1));
    const std::filesystem::path parent =
        cut == std::wstring::npos ? "." : FsPath(path.substr(0, cut + 1));
    std::filesystem::directory_iterator it(parent, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::wstring wide = FromFsPath(it->path().filename());
        std::error_code fileEc;
        if (ToLowerText(wide) == wanted && it->is_regular_file(fileEc)) {
            result.presence = Presence::OtherCase;
            result.foundName = std::move(wide);
            return result;
        }
    }
    return result;
}
#endif

} // namespace tamrick
