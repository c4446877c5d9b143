#include "decode.h"
#include "platform.h"

#include "base/unique_resource.h"

#include <cerrno>

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamrick {
namespace {

using FileDescriptor = UniqueValue<int, &::close, -1>;

struct IconvTraits {
    using Type = iconv_t;
    // iconv_open's documented failure value.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    static Type Empty() noexcept { return reinterpret_cast<iconv_t>(-1); }
    static bool IsValid(Type cd) noexcept { return cd != Empty(); }
    static void Close(Type cd) noexcept { ::iconv_close(cd); }
};

// Decodes a run of non-ASCII bytes.
void Convert(iconv_t cd, std::string_view bytes, std::wstring& out) {
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr); // the initial shift state
    char* in = const_cast<char*>(bytes.data());      // iconv's signature; the input is not written
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        // Decode straight into the output (UTF-32LE is wchar_t here): at most one character
        // per byte.
        const std::size_t at = out.size();
        out.resize(at + inLeft);
        char* outPtr = reinterpret_cast<char*>(out.data() + at);
        const std::size_t room = inLeft * sizeof(wchar_t);
        std::size_t outLeft = room;
        const std::size_t rc = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.resize(at + (room - outLeft) / sizeof(wchar_t));
        if (rc == static_cast<std::size_t>(-1)) {
            // EILSEQ, or a sequence cut off by the end: replace one byte and go on.
            out.push_back(kReplacementCharacter);
            ++in;
            --inLeft;
        }
    }
}

} // namespace

// This platform has no ANSI code page: descriptions are read as code page 936.
struct AnsiDecoder::State {
    UniqueResource<IconvTraits> cd{::iconv_open("UTF-32LE", "CP936")};
};

AnsiDecoder::AnsiDecoder() : state_(std::make_unique<State>()) {}
AnsiDecoder::~AnsiDecoder() = default;

void AnsiDecoder::Append(std::string_view bytes, std::wstring& out) {
    static_assert(sizeof(wchar_t) == 4, "UTF-32 wide characters expected");
    if (!state_->cd) {
        // Without the converter, ASCII still reads; everything else is visibly replaced.
        for (const char c : bytes) {
            const auto b = static_cast<unsigned char>(c);
            out.push_back(b < 0x80 ? static_cast<wchar_t>(b) : kReplacementCharacter);
        }
        return;
    }
    // ASCII bytes are copied as they are; runs that hold other bytes go to the converter, each
    // run ending before a byte below 0x40, which is never the second byte of a character.
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out.push_back(static_cast<wchar_t>(b));
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < bytes.size() && static_cast<unsigned char>(bytes[end]) >= 0x40) {
            ++end;
        }
        Convert(state_->cd.get(), bytes.substr(i, end - i), out);
        i = end;
    }
}

FileBytes ReadWholeFile(const std::wstring& path) {
    FileBytes result;
    const FileDescriptor fd(::open(ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        result.status = errno == ENOENT ? ReadStatus::NotFound : ReadStatus::Failed;
        return result;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) > kMaxDescriptionBytes) {
        return result;
    }
    result.bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (true) {
        if (done == result.bytes.size()) {
            // The file may have grown since fstat; read on until its end.
            if (result.bytes.size() >= kMaxDescriptionBytes) {
                result.bytes.clear();
                return result;
            }
            result.bytes.resize(result.bytes.size() + 4096);
        }
        const ssize_t n = ::read(fd.get(), result.bytes.data() + done, result.bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            result.bytes.clear();
            return result;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    result.bytes.resize(done);
    result.status = ReadStatus::Ok;
    return result;
}

} // namespace tamrick
