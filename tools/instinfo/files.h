#pragma once
// Questions about files on this machine, asked as the installer asks them on Windows: names
// from the description use backslashes, and Windows ignores the case of names.

#include <string>
#ifndef _WIN32
#include <filesystem>
#endif
#include <string_view>

namespace tamrick {

#ifndef _WIN32
// A path of this machine's file system; the C++ library's is used on Linux only, since on
// Windows it would bring the stream and locale libraries into instinfo.exe.
std::filesystem::path FsPath(const std::wstring& path);
// The way back: a path of this machine as the wide text that the tool works with.
std::wstring FromFsPath(const std::filesystem::path& path);
#endif

// `folder` ends in a separator; `relative` is written as in the description, where a backslash
// separates folders.
std::wstring LocalPath(const std::wstring& folder, std::wstring_view relative);

enum class Presence {
    Missing,
    Present,
    OtherCase, // only a file whose name differs in case: found on Windows, not here
    Folder,    // a folder of that name: not a file to the installer
};

struct LookUp {
    Presence presence = Presence::Missing;
    std::wstring foundName;      // for OtherCase, the name on disk
    bool hiddenOrSystem = false; // known on Windows only
};

LookUp LookUpFile(const std::wstring& path);

// On Windows, where names ignore case, OtherCase counts as present.
inline bool FoundOnWindows(const LookUp& l) {
    return l.presence == Presence::Present || l.presence == Presence::OtherCase;
}

} // namespace tamrick
