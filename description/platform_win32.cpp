#include "decode.h"
#include "platform.h"

#include "base/handles.h"
#include "base/text_case.h"

#include <climits>
#include <memory>

namespace tamrick {
namespace {

// Splits before a CR or LF so that a double-byte character is never cut: neither byte is ever
// the trail byte of one.
std::size_t ChunkEnd(std::string_view bytes, std::size_t begin, std::size_t maxLen) {
    if (bytes.size() - begin <= maxLen) {
        return bytes.size();
    }
    for (std::size_t i = begin + maxLen; i > begin; --i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            return i;
        }
    }
    return begin + maxLen;
}

} // namespace

struct AnsiDecoder::State {};

AnsiDecoder::AnsiDecoder() : state_(std::make_unique<State>()) {}
AnsiDecoder::~AnsiDecoder() = default;

void AnsiDecoder::Append(std::string_view bytes, std::wstring& out) {
    Convert(bytes, out);
}

void AnsiDecoder::Convert(std::string_view bytes, std::wstring& out) {
    constexpr std::size_t kChunk = 64u << 20;
    std::size_t begin = 0;
    while (begin < bytes.size()) {
        const std::size_t end = ChunkEnd(bytes, begin, kChunk);
        const int inLen = static_cast<int>(end - begin);
        const int need = ::MultiByteToWideChar(CP_ACP, 0, bytes.data() + begin, inLen, nullptr, 0);
        if (need > 0) {
            const std::size_t at = out.size();
            out.resize(at + static_cast<std::size_t>(need));
            ::MultiByteToWideChar(CP_ACP, 0, bytes.data() + begin, inLen, out.data() + at, need);
        }
        begin = end;
    }
}

std::wstring ToLowerText(std::wstring_view text) {
    return ToLowerInvariant(text);
}

FileBytes ReadWholeFile(const std::wstring& path) {
    FileBytes result;
    const UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        result.status =
            ::GetLastError() == ERROR_FILE_NOT_FOUND ? ReadStatus::NotFound : ReadStatus::Failed;
        return result;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) ||
        static_cast<std::uint64_t>(size.QuadPart) > kMaxDescriptionBytes) {
        return result;
    }
    result.bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < result.bytes.size()) {
        DWORD got = 0;
        const auto want = static_cast<DWORD>(result.bytes.size() - done);
        if (!::ReadFile(file.get(), result.bytes.data() + done, want, &got, nullptr)) {
            result.bytes.clear();
            return result;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    result.bytes.resize(done);
    result.status = ReadStatus::Ok;
    return result;
}

} // namespace tamrick
