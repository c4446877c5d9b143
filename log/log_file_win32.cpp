#include "log_file_win32.h"

#include "base/text_encoding.h"

#include <string>

namespace tamrick {
namespace {

// Appenders hold this byte, far beyond any real log's end, while they write: under Wine two
// processes appending at once otherwise overwrite each other's lines, and some network file
// systems may do the same. Readers don't lock, so they are never held up.
constexpr DWORD kLockOffsetHigh = 0xFFFFFFF0;

} // namespace

void LogFile::Append(std::string_view bytes) noexcept {
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if ((!ok || written != bytes.size()) && error_ == 0) {
        error_ = ok ? ERROR_HANDLE_DISK_FULL : GetLastError();
    }
}

// Append only (no FILE_WRITE_DATA): every write goes to the end, whoever else writes. Reading
// is needed for the lock.
LogFile::LogFile(const std::wstring& path) noexcept
    : file_(CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (!file_) {
        error_ = GetLastError();
    }
}

void LogFile::Write(std::span<const std::wstring_view> fields) {
    if (!IsOpen()) {
        return;
    }
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const LogTime time{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                       now.wMinute, now.wSecond, now.wMilliseconds};
    const std::string bytes = ToUtf8(FormatLogLine(time, fields) + L"\r\n");

    OVERLAPPED lock{};
    lock.OffsetHigh = kLockOffsetHigh;
    const bool locked = LockFileEx(file_.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lock) != FALSE;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file_.get(), &size) && size.QuadPart == 0) {
        Append("\xEF\xBB\xBF");
    }
    Append(bytes);
    if (locked) {
        UnlockFileEx(file_.get(), 0, 1, 0, &lock);
    }
}

} // namespace tamrick
