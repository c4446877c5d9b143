#include "system_error.h"

#include "base/system_text.h"

namespace tamrick {
namespace {

constexpr std::int32_t kErrPermissionDenied = 70;
constexpr std::int32_t kErrPathNotFound = 76;
constexpr std::int32_t kErrDiskFull = 61;
constexpr std::int32_t kErrFileAlreadyExists = 58;

std::int32_t ErrorNumberForWin32(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
        return kErrFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return kErrPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return kErrPermissionDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return kErrDiskFull;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return kErrFileAlreadyExists;
    default:
        return static_cast<std::int32_t>(HRESULT_FROM_WIN32(code));
    }
}

} // namespace

Error ErrorFromWin32(DWORD code) {
    const DWORD reported = code != ERROR_SUCCESS ? code : ERROR_CAN_NOT_COMPLETE;
    return Error(ErrorNumberForWin32(reported), SystemErrorText(reported));
}

Error ErrorFromLastError() {
    return ErrorFromWin32(::GetLastError());
}

void ThrowWin32(DWORD code) {
    throw ErrorFromWin32(code);
}

void ThrowLastError() {
    // Read before anything else can change it.
    throw ErrorFromWin32(::GetLastError());
}

std::int32_t ErrorNumberForHresult(HRESULT hr) {
    if (FAILED(hr) && HRESULT_FACILITY(hr) == FACILITY_CONTROL) {
        return static_cast<std::int32_t>(HRESULT_CODE(hr));
    }
    return static_cast<std::int32_t>(hr);
}

Error ErrorFromHresult(HRESULT hr) {
    return Error(ErrorNumberForHresult(hr), SystemErrorText(static_cast<std::uint32_t>(hr)));
}

void ThrowHresult(HRESULT hr) {
    throw ErrorFromHresult(hr);
}

} // namespace tamrick
