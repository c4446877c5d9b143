// The cabinet writer on Windows: FCI of the system's cabinet.dll, loaded at run time from the
// system folder. FCI names its files with 8-bit strings; the callbacks below hand it tokens
// ("#3") that stand for the real, Unicode paths.

#include "base/handles.h"
#include "base/system_library.h"
#include "cabinet.h"
#include "description/decode.h"

#include <fci.h>
#include <fcntl.h>
#include <windows.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace tamrick {
namespace {

using FciCreateFn = decltype(&FCICreate);
using FciAddFileFn = decltype(&FCIAddFile);
using FciFlushCabinetFn = decltype(&FCIFlushCabinet);
using FciDestroyFn = decltype(&FCIDestroy);

// The date of every file (2000-01-01, 00:00), so that a folder packs to the same bytes.
constexpr USHORT kDosDate = ((2000 - 1980) << 9) | (1 << 5) | 1;
constexpr USHORT kNameIsUtf8 = 0x80; // _A_NAME_IS_UTF

// What the callbacks share: the paths behind the tokens.
struct Context {
    std::wstring cabinet;
    std::vector<std::wstring> paths; // token "#n" is paths[n]
    int tempFiles = 0;

    std::string Token(std::wstring path) {
        paths.push_back(std::move(path));
        std::string token(1, '#');
        token += std::to_string(paths.size() - 1);
        return token;
    }
    const std::wstring* Path(const char* token) const {
        if (token == nullptr || token[0] != '#') {
            return nullptr;
        }
        const std::size_t n = std::strtoul(token + 1, nullptr, 10);
        return n < paths.size() ? &paths[n] : nullptr;
    }
};

Context& Of(void* pv) {
    return *static_cast<Context*>(pv);
}

HANDLE AsHandle(INT_PTR hf) {
    return reinterpret_cast<HANDLE>(hf);
}

FNFCIALLOC(Alloc) {
    return HeapAlloc(GetProcessHeap(), 0, cb);
}
FNFCIFREE(Free) {
    HeapFree(GetProcessHeap(), 0, memory);
}

INT_PTR OpenPath(const std::wstring& path, int oflag, int* err) {
    DWORD access = GENERIC_READ;
    if ((oflag & _O_RDWR) != 0) {
        access = GENERIC_READ | GENERIC_WRITE;
    } else if ((oflag & _O_WRONLY) != 0) {
        access = GENERIC_WRITE;
    }
    DWORD disposition = OPEN_EXISTING;
    if ((oflag & _O_CREAT) != 0) {
        disposition = (oflag & _O_EXCL) != 0 ? CREATE_NEW : CREATE_ALWAYS;
    } else if ((oflag & _O_TRUNC) != 0) {
        disposition = TRUNCATE_EXISTING;
    }
    const HANDLE h = CreateFileW(
        path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *err = static_cast<int>(GetLastError());
        return -1;
    }
    return reinterpret_cast<INT_PTR>(h);
}

FNFCIOPEN(Open) {
    static_cast<void>(pmode); // permissions of a file FCI creates: the folder's, as any file's
    const std::wstring* path = Of(pv).Path(pszFile);
    if (path == nullptr) {
        *err = ERROR_FILE_NOT_FOUND;
        return -1;
    }
    return OpenPath(*path, oflag, err);
}

FNFCIREAD(Read) {
    DWORD done = 0;
    if (!ReadFile(AsHandle(hf), memory, cb, &done, nullptr)) {
        *err = static_cast<int>(GetLastError());
        return static_cast<UINT>(-1);
    }
    static_cast<void>(pv);
    return done;
}

FNFCIWRITE(Write) {
    DWORD done = 0;
    if (!WriteFile(AsHandle(hf), memory, cb, &done, nullptr) || done != cb) {
        *err = static_cast<int>(GetLastError());
        return static_cast<UINT>(-1);
    }
    static_cast<void>(pv);
    return done;
}

FNFCICLOSE(Close) {
    static_cast<void>(pv);
    if (!CloseHandle(AsHandle(hf))) {
        *err = static_cast<int>(GetLastError());
        return -1;
    }
    return 0;
}

FNFCISEEK(Seek) {
    static_cast<void>(pv);
    const DWORD method = seektype == SEEK_CUR   ? FILE_CURRENT
                         : seektype == SEEK_END ? FILE_END
                                                : FILE_BEGIN;
    const DWORD at = SetFilePointer(AsHandle(hf), dist, nullptr, method);
    if (at == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        *err = static_cast<int>(GetLastError());
        return -1;
    }
    return static_cast<__LONG32>(at);
}

FNFCIDELETE(Delete) {
    const std::wstring* path = Of(pv).Path(pszFile);
    if (path == nullptr || !DeleteFileW(path->c_str())) {
        *err = static_cast<int>(GetLastError());
        return -1;
    }
    return 0;
}

FNFCIGETTEMPFILE(TempFile) {
    Context& c = Of(pv);
    // Beside the cabinet: same volume, and gone with it when the packer cleans up.
    const std::string token = c.Token(c.cabinet + L".t" + std::to_wstring(++c.tempFiles));
    if (token.size() + 1 > static_cast<std::size_t>(cbTempName)) {
        return FALSE;
    }
    lstrcpynA(pszTempName, token.c_str(), cbTempName);
    return TRUE;
}

FNFCIFILEPLACED(Placed) {
    static_cast<void>(pccab);
    static_cast<void>(pszFile);
    static_cast<void>(cbFile);
    static_cast<void>(fContinuation);
    static_cast<void>(pv);
    return 0;
}

FNFCIGETNEXTCABINET(NextCabinet) {
    static_cast<void>(pccab);
    static_cast<void>(cbPrevCab);
    static_cast<void>(pv);
    return FALSE; // one cabinet only
}

FNFCISTATUS(Status) {
    static_cast<void>(typeStatus);
    static_cast<void>(cb1);
    static_cast<void>(cb2);
    static_cast<void>(pv);
    return 0;
}

FNFCIGETOPENINFO(OpenInfo) {
    *pdate = kDosDate;
    *ptime = 0;
    *pattribs = kNameIsUtf8;
    const std::wstring* path = Of(pv).Path(pszName);
    if (path == nullptr) {
        *err = ERROR_FILE_NOT_FOUND;
        return -1;
    }
    return OpenPath(*path, _O_RDONLY, err);
}

template <typename Fn> Fn Function(HMODULE module, const char* name) {
    const FARPROC address = GetProcAddress(module, name);
    if (address == nullptr) {
        throw std::runtime_error(std::string("cabinet.dll has no ") + name);
    }
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address));
}

std::string FciError(const ERF& erf) {
    return "FCI error " + std::to_string(erf.erfOper) + " (system error " +
           std::to_string(erf.erfType) + ")";
}

} // namespace

void WriteCabinet(const std::vector<CabinetEntry>& entries, const std::wstring& cabinet) {
    const UniqueModule library(LoadSystemLibrary(L"cabinet.dll"));
    if (!library) {
        throw std::runtime_error("the system's cabinet.dll can't be loaded");
    }
    const auto create = Function<FciCreateFn>(library.get(), "FCICreate");
    const auto addFile = Function<FciAddFileFn>(library.get(), "FCIAddFile");
    const auto flush = Function<FciFlushCabinetFn>(library.get(), "FCIFlushCabinet");
    const auto destroy = Function<FciDestroyFn>(library.get(), "FCIDestroy");

    Context context;
    context.cabinet = cabinet;
    CCAB ccab{};
    ccab.cb = 0x7FFFFFFF;
    ccab.cbFolderThresh = 0x7FFFFFFF;
    ccab.iCab = 1;
    const std::string cabinetToken = context.Token(cabinet);
    lstrcpynA(ccab.szCab, cabinetToken.c_str(), CB_MAX_CABINET_NAME);
    ERF erf{};
    const UniqueResource<ClosedByFound<HFCI, FciDestroyFn>> fci(
        create(&erf, Placed, Alloc, Free, Open, Read, Write, Close, Seek, Delete, TempFile, &ccab,
               &context),
        {destroy});
    if (!fci) {
        throw std::runtime_error("the cabinet can't be started: " + FciError(erf));
    }
    for (const CabinetEntry& entry : entries) {
        std::string source = context.Token(entry.source);
        std::string name = ToUtf8(entry.name);
        if (!addFile(fci.get(), source.data(), name.data(), FALSE, NextCabinet, Status, OpenInfo,
                     tcompTYPE_MSZIP)) {
            throw std::runtime_error(name + " can't be added: " + FciError(erf));
        }
    }
    if (!flush(fci.get(), FALSE, NextCabinet, Status)) {
        throw std::runtime_error("the cabinet can't be written: " + FciError(erf));
    }
}

} // namespace tamrick
