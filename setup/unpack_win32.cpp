// The payload through FDI of the system's cabinet.dll. FDI opens its cabinet by name and hands
// back only handles afterwards: the handles are our own File objects, and the cabinet's "name"
// is the address of the reader that knows where the payload lies in the setup file.

#include "unpack.h"

#include "base/handles.h"
#include "base/system_library.h"
#include "base/text_encoding.h"

#include <fcntl.h>
#include <fdi.h>

#include <cstdint>
#include <list>
#include <memory>
#include <string>

namespace tamrick::setup {
namespace {

constexpr DWORD kChunk = 256 * 1024;
constexpr USHORT kNameIsUtf8 = 0x80; // _A_NAME_IS_UTF

using FdiCreateFn = decltype(&FDICreate);
using FdiCopyFn = decltype(&FDICopy);
using FdiDestroyFn = decltype(&FDIDestroy);

UniqueHandle OpenForReading(const std::wstring& path) {
    return UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// Reads at an absolute offset; the bytes read, fewer at the file's end; -1 on failure.
long long ReadAt(HANDLE file, std::uint64_t offset, void* buffer, DWORD size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    if (!ReadFile(file, buffer, size, &done, &at)) {
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    }
    return done;
}

// Up to `size` bytes at an absolute offset; fewer at the file's end, none on failure.
std::string ReadUpTo(HANDLE file, std::uint64_t offset, std::size_t size) {
    std::string bytes(size, '\0');
    const long long got = ReadAt(file, offset, bytes.data(), static_cast<DWORD>(size));
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
}

std::uint64_t FileSize(HANDLE file) {
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

class Unpacking;

// An object's address as hexadecimal digits, and back.
std::string AddressName(const Unpacking* object) {
    auto value = reinterpret_cast<std::uintptr_t>(object);
    std::string name(2 * sizeof value, '0');
    for (auto at = name.rbegin(); at != name.rend(); ++at, value >>= 4) {
        *at = "0123456789abcdef"[value & 0xF];
    }
    return name;
}

Unpacking* FromAddressName(const char* name) {
    std::uintptr_t value = 0;
    for (std::size_t i = 0; i < 2 * sizeof value; ++i) {
        const char c = name[i];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) {
            return nullptr;
        }
        value = (value << 4) | static_cast<std::uintptr_t>(digit);
    }
    return name[2 * sizeof value] == '\0' ? reinterpret_cast<Unpacking*>(value) : nullptr;
}

// What FDI holds as a handle: the payload within the setup file, or a file being written.
struct File {
    Unpacking* owner = nullptr;
    UniqueHandle handle;
    std::uint64_t base = 0;   // the payload's offset, for the cabinet
    std::uint64_t length = 0; // the payload's length, for the cabinet
    std::uint64_t position = 0;
    bool writing = false;
};

File& Of(INT_PTR hf) {
    return *reinterpret_cast<File*>(hf);
}

// Empty when the name holds a byte that is no character: a name is never guessed at.
std::wstring DecodeName(const char* name, USHORT attributes) {
    const UINT codePage = (attributes & kNameIsUtf8) != 0 ? CP_UTF8 : CP_ACP;
    std::wstring wide;
    if (!AppendCodePage(codePage, name, wide, InvalidBytes::Refuse)) {
        wide.clear();
    }
    return wide;
}

// Creates the folders of a relative name below `root`, which exists.
DWORD CreateParents(const std::wstring& root, const std::wstring& name) {
    for (std::size_t cut = name.find(L'\\'); cut != std::wstring::npos;
         cut = name.find(L'\\', cut + 1)) {
        const std::wstring folder = root + name.substr(0, cut);
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            return GetLastError();
        }
    }
    return NO_ERROR;
}

// One pass of FDI over the payload, either listing (every name checked, the sizes added up)
// or writing.
class Unpacking {
  public:
    Unpacking(const std::wstring& setupFile, const PayloadLocation& location,
              const Progress& progress)
        : setupFile_(setupFile), location_(location), progress_(progress) {}

    Result Run(HMODULE cabinet, bool write, const std::wstring& folder) {
        write_ = write;
        folder_ = folder;
        const auto create = reinterpret_cast<FdiCreateFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(cabinet, "FDICreate")));
        const auto copy = reinterpret_cast<FdiCopyFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(cabinet, "FDICopy")));
        const auto destroy = reinterpret_cast<FdiDestroyFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(cabinet, "FDIDestroy")));
        if (create == nullptr || copy == nullptr || destroy == nullptr) {
            return Result{Outcome::Failed, ERROR_PROC_NOT_FOUND, {}};
        }
        ERF erf{};
        const UniqueResource<ClosedByFound<HFDI, FdiDestroyFn>> fdi(
            create(Alloc, Free, Open, Read, Write, Close, Seek, cpuUNKNOWN, &erf), {destroy});
        if (!fdi) {
            return Result{Outcome::Failed, ERROR_NOT_ENOUGH_MEMORY, {}};
        }
        // The cabinet's "name" is this object's address, which Open turns back into it.
        std::string name = AddressName(this);
        char path[1] = {};
        const BOOL copied = copy(fdi.get(), name.data(), path, 0, Notify, nullptr, this);
        if (result_.outcome != Outcome::Done) {
            return result_;
        }
        if (!copied) {
            // FDI's own findings: the cabinet is not one, or its data does not decompress.
            if (erf.erfOper == FDIERROR_ALLOC_FAIL) {
                return Result{Outcome::Failed, ERROR_NOT_ENOUGH_MEMORY, {}};
            }
            return Result{Outcome::Damaged, 0, {}};
        }
        return result_;
    }

    std::uint64_t total() const { return total_; }
    void set_total(std::uint64_t total) { total_ = total; }

  private:
    static FNALLOC(Alloc) { return HeapAlloc(GetProcessHeap(), 0, cb); }
    static FNFREE(Free) { HeapFree(GetProcessHeap(), 0, pv); }

    static FNOPEN(Open) {
        static_cast<void>(oflag);
        static_cast<void>(pmode);
        Unpacking* address = FromAddressName(pszFile);
        if (address == nullptr) {
            return -1;
        }
        auto& self = *address;
        UniqueHandle handle = OpenForReading(self.setupFile_);
        if (!handle) {
            return -1;
        }
        File& file = self.files_.emplace_back();
        file.owner = &self;
        file.handle = std::move(handle);
        file.base = self.location_.offset;
        file.length = self.location_.header.payloadLength;
        return reinterpret_cast<INT_PTR>(&file);
    }

    static FNREAD(Read) {
        File& file = Of(hf);
        const std::uint64_t left = file.length - std::min(file.position, file.length);
        const DWORD size = static_cast<DWORD>(std::min<std::uint64_t>(cb, left));
        const long long done = ReadAt(file.handle.get(), file.base + file.position, pv, size);
        if (done < 0) {
            return static_cast<UINT>(-1);
        }
        file.position += static_cast<std::uint64_t>(done);
        return static_cast<UINT>(done);
    }

    static FNWRITE(Write) {
        File& file = Of(hf);
        DWORD done = 0;
        if (!WriteFile(file.handle.get(), pv, cb, &done, nullptr) || done != cb) {
            file.owner->result_ = Result{Outcome::Failed, GetLastError(), file.owner->current_};
            return static_cast<UINT>(-1);
        }
        if (!file.owner->Advance(cb)) {
            return static_cast<UINT>(-1);
        }
        return cb;
    }

    static FNCLOSE(Close) {
        File& file = Of(hf);
        Unpacking& self = *file.owner;
        DWORD error = NO_ERROR;
        if (file.writing && !CloseHandle(file.handle.release())) {
            error = GetLastError();
        }
        self.files_.remove_if([&](const File& f) { return &f == &file; });
        if (error != NO_ERROR) {
            self.result_ = Result{Outcome::Failed, error, self.current_};
            return -1;
        }
        return 0;
    }

    static FNSEEK(Seek) {
        File& file = Of(hf);
        long long to = dist;
        if (seektype == SEEK_CUR) {
            to += static_cast<long long>(file.position);
        } else if (seektype == SEEK_END) {
            to += static_cast<long long>(file.length);
        }
        if (to < 0 || static_cast<std::uint64_t>(to) > file.length) {
            return -1;
        }
        file.position = static_cast<std::uint64_t>(to);
        return static_cast<__LONG32>(to);
    }

    static FNFDINOTIFY(Notify) {
        // Built without exceptions: nothing unwinds through FDI's frames.
        auto& self = *static_cast<Unpacking*>(pfdin->pv);
        switch (fdint) {
        case fdintCOPY_FILE:
            return self.CopyFile(pfdin->psz1, pfdin->attribs, pfdin->cb);
        case fdintCLOSE_FILE_INFO:
            return Close(pfdin->hf) == 0 ? TRUE : -1;
        case fdintPARTIAL_FILE:
        case fdintNEXT_CABINET:
            // One cabinet only: a file continued elsewhere means a damaged payload.
            self.result_ = Result{Outcome::Damaged, 0, {}};
            return -1;
        default:
            return 0;
        }
    }

    INT_PTR CopyFile(const char* rawName, USHORT attributes, long size) {
        std::wstring name = DecodeName(rawName, attributes);
        if (!payload::IsSafeEntryName(name)) {
            result_ = Result{Outcome::UnsafeName, 0, name.empty() ? DecodeName(rawName, 0) : name};
            return -1;
        }
        for (wchar_t& c : name) {
            c = c == L'/' ? L'\\' : c;
        }
        if (!write_) {
            total_ += static_cast<std::uint64_t>(static_cast<unsigned long>(size));
            return 0; // listed, not written
        }
        current_ = name;
        if (const DWORD error = CreateParents(folder_, name); error != NO_ERROR) {
            result_ = Result{Outcome::Failed, error, name};
            return -1;
        }
        UniqueHandle handle(CreateFileW((folder_ + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle) {
            result_ = Result{Outcome::Failed, GetLastError(), name};
            return -1;
        }
        File& file = files_.emplace_back();
        file.owner = this;
        file.handle = std::move(handle);
        file.writing = true;
        return reinterpret_cast<INT_PTR>(&file);
    }

    bool Advance(std::uint64_t bytes) {
        done_ += bytes;
        if (progress_ && !progress_(done_, total_)) {
            result_ = Result{Outcome::Cancelled, 0, {}};
            return false;
        }
        return true;
    }

    const std::wstring& setupFile_;
    const PayloadLocation& location_;
    const Progress& progress_;
    bool write_ = false;
    std::wstring folder_;
    std::list<File> files_; // stable addresses: FDI holds them as handles
    std::uint64_t total_ = 0;
    std::uint64_t done_ = 0;
    std::wstring current_;
    Result result_;
};

} // namespace

std::optional<PayloadLocation> FindPayload(const std::wstring& setupFile) {
    const UniqueHandle file = OpenForReading(setupFile);
    if (!file) {
        return std::nullopt;
    }
    const std::string head = ReadUpTo(file.get(), 0, payload::kPeHeadBytes);
    const std::optional<std::uint64_t> end = payload::EndOfSections(head);
    if (!end) {
        return std::nullopt;
    }
    const std::optional<payload::DecodedHeader> decoded = payload::DecodeHeader(
        ReadUpTo(file.get(), *end, payload::kFixedHeaderSize + 2 * payload::kMaxTitleLength));
    if (!decoded) {
        return std::nullopt;
    }
    PayloadLocation location;
    location.offset = *end + decoded->size;
    location.header = decoded->header;
    // Cut short: a download that stopped early.
    if (FileSize(file.get()) < location.offset + location.header.payloadLength) {
        return std::nullopt;
    }
    return location;
}

Result VerifyPayload(const std::wstring& setupFile, const PayloadLocation& location,
                     const Progress& progress) {
    const UniqueHandle file = OpenForReading(setupFile);
    if (!file) {
        return Result{Outcome::Failed, GetLastError(), {}};
    }
    std::string buffer(kChunk, '\0');
    payload::Crc32 crc;
    const std::uint64_t length = location.header.payloadLength;
    for (std::uint64_t done = 0; done < length;) {
        const auto size = static_cast<DWORD>(std::min<std::uint64_t>(kChunk, length - done));
        const long long got = ReadAt(file.get(), location.offset + done, buffer.data(), size);
        if (got < 0) {
            return Result{Outcome::Failed, GetLastError(), {}};
        }
        if (got == 0) {
            return Result{Outcome::Damaged, 0, {}};
        }
        crc.Update(buffer.data(), static_cast<std::size_t>(got));
        done += static_cast<std::uint64_t>(got);
        if (progress && !progress(done, length)) {
            return Result{Outcome::Cancelled, 0, {}};
        }
    }
    return Result{crc.value() == location.header.crc32 ? Outcome::Done : Outcome::Damaged, 0, {}};
}

Result Unpack(const std::wstring& setupFile, const PayloadLocation& location,
              const std::wstring& folder, const Progress& progress) {
    const UniqueModule cabinet(LoadSystemLibrary(L"cabinet.dll"));
    if (!cabinet) {
        return Result{Outcome::Failed, GetLastError(), {}};
    }
    // First every name, and the size of the whole; nothing is written unless all are safe.
    Unpacking listing(setupFile, location, progress);
    if (Result listed = listing.Run(cabinet.get(), false, folder);
        listed.outcome != Outcome::Done) {
        return listed;
    }
    Unpacking writing(setupFile, location, progress);
    writing.set_total(listing.total());
    return writing.Run(cabinet.get(), true, folder);
}

} // namespace tamrick::setup
