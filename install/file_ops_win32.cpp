#include "file_ops_win32.h"

#include "base/decimal.h"
#include "base/path_separator.h"
#include "base/system_error.h"

#include <windows.h>

#include <optional>
#include <string>
#include <utility>

namespace tamrick {
namespace {

constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The attributes of whatever is at path, or nothing when the system says nothing is there.
std::optional<DWORD> AttributesOf(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        return attributes;
    }
    const DWORD error = GetLastError();
    if (MeansNothingThere(error)) {
        return std::nullopt;
    }
    ThrowWin32(error);
}

std::wstring FileNameOf(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

// A file this process made and has not handed over yet: removed when the owner lets go.
class TempFile {
  public:
    explicit TempFile(std::wstring path) : path_(std::move(path)) {}
    ~TempFile() {
        if (!path_.empty()) {
            // A copy of a read-only source is read-only too.
            SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path_.c_str());
        }
    }
    TempFile(TempFile&& other) noexcept : path_(std::exchange(other.path_, {})) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    TempFile& operator=(TempFile&&) = delete;

    const std::wstring& path() const noexcept { return path_; }
    void Release() noexcept { path_.clear(); }

  private:
    std::wstring path_;
};

class Win32FileSystem final : public FileSystemOps {
  public:
    bool FileExists(const std::wstring& path) override {
        const std::optional<DWORD> attributes = AttributesOf(path);
        return attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    // The copy lands beside the target under a name of its own and then takes the target's
    // name in one rename, so the target is either the old file or the whole new one. The
    // result carries the source's attributes, as any copy does.
    void CopyFileInto(const std::wstring& source, const std::wstring& folder) override {
        std::wstring prefix = folder;
        EnsureTrailingSeparator(prefix);
        const std::wstring target = prefix + FileNameOf(source);
        // Windows refuses to replace a read-only file; some file systems under Wine don't, so
        // the check is ours. A folder of that name can't be replaced either.
        if (const std::optional<DWORD> attributes = AttributesOf(target);
            attributes && (*attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
            ThrowWin32(ERROR_ACCESS_DENIED);
        }
        TempFile temp = CopyBeside(source, prefix);
        if (!MoveFileExW(temp.path().c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            ThrowLastError();
        }
        temp.Release();
    }

    void RemoveFile(const std::wstring& path) override {
        const std::optional<DWORD> attributes = AttributesOf(path);
        if (!attributes) {
            ThrowWin32(ERROR_FILE_NOT_FOUND);
        }
        if (*attributes & FILE_ATTRIBUTE_DIRECTORY) {
            ThrowWin32(ERROR_ACCESS_DENIED);
        }
        const DWORD kept = *attributes & kSettableAttributes;
        const bool readOnly = (kept & FILE_ATTRIBUTE_READONLY) != 0;
        if (readOnly) {
            const DWORD writable = kept & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
            if (!SetFileAttributesW(path.c_str(), writable ? writable : FILE_ATTRIBUTE_NORMAL)) {
                ThrowLastError();
            }
        }
        if (!DeleteFileW(path.c_str())) {
            const DWORD error = GetLastError();
            if (readOnly) {
                // A file that stays keeps the protection it had.
                SetFileAttributesW(path.c_str(), kept);
            }
            ThrowWin32(error);
        }
    }

  private:
    // Copies source into folder under a fresh name; a failed copy leaves nothing behind.
    TempFile CopyBeside(const std::wstring& source, const std::wstring& folder) {
        constexpr int kAttempts = 100;
        const std::wstring stem = folder + L"~tamrick-" + DecimalText(GetCurrentProcessId()) + L"-";
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            TempFile temp(stem + DecimalText(++copies_) + L".tmp");
            if (CopyFileW(source.c_str(), temp.path().c_str(), TRUE)) {
                return temp;
            }
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
                ThrowWin32(error);
            }
            // Someone else's file: not ours to remove.
            temp.Release();
        }
        ThrowWin32(ERROR_FILE_EXISTS);
    }

    unsigned long long copies_ = 0;
};

} // namespace

bool MeansNothingThere(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return true;
    default:
        return false;
    }
}

std::unique_ptr<FileSystemOps> MakeWin32FileSystem() {
    return std::make_unique<Win32FileSystem>();
}

} // namespace tamrick
