#pragma once
// The few services of the description reader that differ per platform. The path separator and
// the Unicode lower case, which the reader's users took from here, are base's.

#include "base/path_separator.h"
#include "base/text_case.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tamrick {

enum class ReadStatus {
    Ok,
    NotFound, // no such file
    Failed,   // there, but can't be opened or read (a folder, no permission, in use, too large)
};

struct FileBytes {
    ReadStatus status = ReadStatus::Failed;
    std::string bytes;
};

// Larger descriptions are refused rather than read: nobody writes one, and the reader keeps all
// of it in memory.
inline constexpr std::uint64_t kMaxDescriptionBytes = std::uint64_t{1} << 30;

FileBytes ReadWholeFile(const std::wstring& path);

} // namespace tamrick
