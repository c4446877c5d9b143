// Any bytes: the reader neither crashes nor hangs, and reading line by line gives exactly what
// decoding the whole text first gives.

#include "description/decode.h"
#include "description/reader.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool Same(const tamrick::ParsedDescription& a, const tamrick::ParsedDescription& b) {
    if (a.SetupTitle != b.SetupTitle || a.FlagsPicture != b.FlagsPicture ||
        a.ItemLines != b.ItemLines || a.FileItems.has_value() != b.FileItems.has_value()) {
        return false;
    }
    if (!a.FileItems) {
        return true;
    }
    if (a.FileItems->size() != b.FileItems->size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.FileItems->size(); ++i) {
        const auto& x = (*a.FileItems)[i];
        const auto& y = (*b.FileItems)[i];
        if (x.Action != y.Action || x.SourceName != y.SourceName || x.Required != y.Required ||
            x.Target != y.Target || x.StepCaption != y.StepCaption) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto streamed = tamrick::ParseDescriptionBytes(bytes);
    const auto decoded = tamrick::DecodeDescription(bytes);
    const auto whole = tamrick::ParseDescription(decoded.text);
    if (streamed.encoding != decoded.encoding || !Same(streamed.description, whole)) {
        std::abort();
    }
    // Rows and their line numbers stay in step; only the last row may be empty.
    if (whole.FileItems) {
        if (whole.FileItems->empty() || whole.FileItems->size() != whole.ItemLines.size()) {
            std::abort();
        }
        for (std::size_t i = 0; i + 1 < whole.ItemLines.size(); ++i) {
            const std::size_t next = whole.ItemLines[i + 1];
            if (whole.ItemLines[i] == 0 || (next != 0 && whole.ItemLines[i] >= next)) {
                std::abort();
            }
        }
    }
    return 0;
}
