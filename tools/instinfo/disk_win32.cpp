#include "disk.h"

#include "base/executable_path.h"
#include "base/handles.h"
#include "base/system_text.h"
#include "description/decode.h"

#include <algorithm>
#include <stdexcept>

#include <windows.h>

namespace tamrick::disk {
namespace {

std::string LastErrorText() {
    return ToUtf8(SystemErrorText(GetLastError()));
}

// A symbolic link or a junction carries a reparse point: it is listed, never followed.
EntryKind KindOf(const WIN32_FIND_DATAW& entry) {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return EntryKind::Link;
    }
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return EntryKind::Folder;
    }
    return EntryKind::File;
}

std::uint64_t SizeOf(const WIN32_FIND_DATAW& entry) {
    return (static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
}

void Walk(const std::wstring& folder, const std::wstring& prefix, std::vector<FoundFile>& found) {
    WIN32_FIND_DATAW entry{};
    const UniqueFindHandle find(FindFirstFileW(Join(folder, L"*").c_str(), &entry));
    if (!find) {
        throw std::runtime_error("the folder " + ToUtf8(folder) +
                                 " can't be read: " + LastErrorText());
    }
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        const std::wstring path = Join(folder, name);
        const EntryKind kind = KindOf(entry);
        if (kind == EntryKind::Folder) {
            Walk(path, prefix + name + L"\\", found);
        } else {
            found.push_back(
                FoundFile{prefix + name, path, kind == EntryKind::File ? SizeOf(entry) : 0});
        }
    } while (FindNextFileW(find.get(), &entry));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        throw std::runtime_error("the folder " + ToUtf8(folder) +
                                 " can't be read: " + LastErrorText());
    }
}

std::optional<BY_HANDLE_FILE_INFORMATION> FileIdentity(const std::wstring& path) {
    const UniqueHandle file(
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.get(), &info)) {
        return std::nullopt;
    }
    return info;
}

} // namespace

std::vector<FoundFile> FilesUnder(const std::wstring& folder) {
    std::vector<FoundFile> found;
    Walk(folder, L"", found);
    return found;
}

std::optional<Entry> FindEntry(const std::wstring& folder, const std::wstring& name) {
    // A wildcard would find some other entry; no file has one in its name.
    if (name.find_first_of(L"*?") != std::wstring::npos) {
        return std::nullopt;
    }
    WIN32_FIND_DATAW entry{};
    const UniqueFindHandle find(FindFirstFileW(Join(folder, name).c_str(), &entry));
    if (!find) {
        return std::nullopt;
    }
    const EntryKind kind = KindOf(entry);
    return Entry{entry.cFileName, kind, kind == EntryKind::File ? SizeOf(entry) : 0};
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::uint64_t> FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
    const auto first = FileIdentity(a);
    const auto second = FileIdentity(b);
    return first && second && first->dwVolumeSerialNumber == second->dwVolumeSerialNumber &&
           first->nFileIndexHigh == second->nFileIndexHigh &&
           first->nFileIndexLow == second->nFileIndexLow;
}

std::optional<std::string> MoveReplacing(const std::wstring& from, const std::wstring& to) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return std::nullopt;
    }
    return LastErrorText();
}

void RemoveQuietly(const std::wstring& path) {
    DeleteFileW(path.c_str());
}

std::wstring FolderName(const std::wstring& folder) {
    std::wstring full(MAX_PATH, L'\0');
    DWORD length =
        GetFullPathNameW(folder.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length =
            GetFullPathNameW(folder.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    full.resize(length < full.size() ? length : 0);
    while (!full.empty() && (full.back() == L'\\' || full.back() == L'/')) {
        full.pop_back();
    }
    const auto cut = full.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? full : full.substr(cut + 1);
}

std::wstring OwnFolder() {
    const std::wstring exe = ExecutablePath();
    const auto cut = exe.find_last_of(L'\\');
    return cut == std::wstring::npos ? std::wstring() : exe.substr(0, cut);
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/') {
        return folder + name;
    }
    return folder + L'\\' + name;
}

UniqueFile Open(const std::wstring& path, bool write) {
    return UniqueFile(_wfopen(path.c_str(), write ? L"wb" : L"rb"));
}

} // namespace tamrick::disk
