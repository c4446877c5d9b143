#pragma once
// What packing asks of the disk, with paths as wide strings in the platform's own form. On
// Windows it asks the system directly: the C++ file system library would bring the stream and
// locale libraries and make instinfo.exe several times larger.

#include "base/unique_resource.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tamrick::disk {

struct FoundFile {
    std::wstring name; // relative to the folder, "\" between folders
    std::wstring path;
    std::uint64_t size = 0;
};

// Every plain file and every link (symbolic link or junction, to a file or a folder) under the
// folder, at any depth; links are listed, never followed. Throws std::runtime_error when the
// folder or one below it can't be read.
std::vector<FoundFile> FilesUnder(const std::wstring& folder);

enum class EntryKind {
    File,
    Folder,
    Link, // a symbolic link or junction, whatever it points to
    Other,
};

struct Entry {
    std::wstring name; // as on disk
    EntryKind kind = EntryKind::Other;
    std::uint64_t size = 0; // of a file
};

// The entry of `folder` that Windows finds for `name`: that name, else one that differs from
// it only in case. A link is the entry itself, not what it points to.
std::optional<Entry> FindEntry(const std::wstring& folder, const std::wstring& name);

bool IsFolder(const std::wstring& path);
// The size of a plain file; nothing for a folder or a missing file.
std::optional<std::uint64_t> FileSize(const std::wstring& path);
// Whether two paths name the same existing file.
bool SameFile(const std::wstring& a, const std::wstring& b);
// Moves a file over another in one step; the system's reason when it can't.
std::optional<std::string> MoveReplacing(const std::wstring& from, const std::wstring& to);
void RemoveQuietly(const std::wstring& path);
// The last name of a folder's absolute path ("addon" for "./addon/" or "C:\x\addon").
std::wstring FolderName(const std::wstring& folder);
// The folder of the running program; empty when unknown.
std::wstring OwnFolder();
// `folder` joined with a plain name.
std::wstring Join(const std::wstring& folder, const std::wstring& name);

using UniqueFile = UniqueValue<std::FILE*, &::fclose>;
UniqueFile Open(const std::wstring& path, bool write);

} // namespace tamrick::disk
