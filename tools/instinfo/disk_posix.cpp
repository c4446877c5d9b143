#include "disk.h"

#include "description/decode.h"
#include "description/platform.h"
#include "tools/instinfo/files.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace tamrick::disk {

std::vector<FoundFile> FilesUnder(const std::wstring& folder) {
    const fs::path root = FsPath(folder);
    std::vector<FoundFile> found;
    std::error_code ec;
    // Without follow_directory_symlink, a linked folder is an entry, not walked into.
    fs::recursive_directory_iterator it(root, fs::directory_options::none, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code fileEc;
        const fs::file_status status = it->symlink_status(fileEc);
        const bool link = fs::is_symlink(status);
        if (!link && !fs::is_regular_file(status)) {
            continue;
        }
        std::wstring name;
        for (const fs::path& part : it->path().lexically_relative(root)) {
            if (!name.empty()) {
                name.push_back(L'\\');
            }
            name += FromFsPath(part);
        }
        found.push_back(
            FoundFile{std::move(name), FromFsPath(it->path()), link ? 0 : it->file_size(fileEc)});
    }
    if (ec) {
        throw std::runtime_error("the folder " + ToUtf8(folder) +
                                 " can't be read: " + ec.message());
    }
    return found;
}

std::optional<Entry> FindEntry(const std::wstring& folder, const std::wstring& name) {
    const fs::path dir = FsPath(folder);
    const auto entry = [](std::wstring onDisk, const fs::path& path, const fs::file_status& s) {
        Entry e{std::move(onDisk), EntryKind::Other, 0};
        std::error_code ec;
        if (fs::is_symlink(s)) {
            e.kind = EntryKind::Link;
        } else if (fs::is_directory(s)) {
            e.kind = EntryKind::Folder;
        } else if (fs::is_regular_file(s)) {
            e.kind = EntryKind::File;
            e.size = fs::file_size(path, ec);
        }
        return e;
    };
    std::error_code ec;
    const fs::path exact = dir / FsPath(name);
    if (const fs::file_status s = fs::symlink_status(exact, ec); fs::exists(s)) {
        return entry(name, exact, s);
    }
    // Windows ignores case: of the names that differ only in case, the first by name.
    const std::wstring wanted = ToLowerText(name);
    std::optional<fs::directory_entry> best;
    std::wstring bestName;
    fs::directory_iterator it(dir, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::wstring onDisk = FromFsPath(it->path().filename());
        if (ToLowerText(onDisk) == wanted && (!best || onDisk < bestName)) {
            best = *it;
            bestName = std::move(onDisk);
        }
    }
    if (!best) {
        return std::nullopt;
    }
    std::error_code statusEc;
    return entry(std::move(bestName), best->path(), best->symlink_status(statusEc));
}

bool IsFolder(const std::wstring& path) {
    std::error_code ec;
    return fs::is_directory(FsPath(path), ec);
}

std::optional<std::uint64_t> FileSize(const std::wstring& path) {
    std::error_code ec;
    const fs::path p = FsPath(path);
    if (!fs::is_regular_file(p, ec)) {
        return std::nullopt;
    }
    const std::uintmax_t size = fs::file_size(p, ec);
    return ec ? std::nullopt : std::optional<std::uint64_t>(size);
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
    std::error_code ec;
    return fs::equivalent(FsPath(a), FsPath(b), ec) && !ec;
}

std::optional<std::string> MoveReplacing(const std::wstring& from, const std::wstring& to) {
    std::error_code ec;
    fs::rename(FsPath(from), FsPath(to), ec);
    return ec ? std::optional(ec.message()) : std::nullopt;
}

void RemoveQuietly(const std::wstring& path) {
    std::error_code ec;
    fs::remove(FsPath(path), ec);
}

std::wstring FolderName(const std::wstring& folder) {
    std::error_code ec;
    fs::path absolute = fs::absolute(FsPath(folder), ec).lexically_normal();
    if (absolute.filename().empty()) {
        absolute = absolute.parent_path();
    }
    return FromFsPath(absolute.filename());
}

std::wstring OwnFolder() {
    std::error_code ec;
    return FromFsPath(fs::read_symlink("/proc/self/exe", ec).parent_path());
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || folder.back() == L'/') {
        return folder + name;
    }
    return folder + L'/' + name;
}

UniqueFile Open(const std::wstring& path, bool write) {
    return UniqueFile(std::fopen(FsPath(path).c_str(), write ? "wb" : "rb"));
}

} // namespace tamrick::disk
