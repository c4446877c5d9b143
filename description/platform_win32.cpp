#include "decode.h"
#include "platform.h"

#include "base/handles.h"
#include "base/text_encoding.h"

#include <memory>

namespace tamrick {

struct AnsiDecoder::State {};

AnsiDecoder::AnsiDecoder() : state_(std::make_unique<State>()) {}
AnsiDecoder::~AnsiDecoder() = default;

void AnsiDecoder::Append(std::string_view bytes, std::wstring& out) {
    AppendCodePage(CP_ACP, bytes, out);
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
