// Any bytes: the reader neither crashes nor hangs, every line is seen once and in order, and
// rows and their line numbers stay in step.

#include "check.h"
#include "description/reader.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t lines = 0;
    std::size_t stored = 0;
    const tamrick::ParsedDescription d =
        tamrick::ParseDescription(bytes, [&](const tamrick::DescriptionLine& line) {
            Check(line.number == ++lines);
            Check(line.text.find_first_of(L"\r\n") == std::wstring_view::npos);
            Check((line.item != nullptr) <= (line.known == tamrick::DescriptionKey::FileItem));
            if (line.item != nullptr) {
                ++stored;
                Check(line.item->Action.find_first_of(L"ABCDEFGHIJKLMNOPQRSTUVWXYZ") ==
                      std::wstring::npos);
            }
        });
    // Only the last row may be empty, and line numbers of stored rows rise.
    if (d.FileItems) {
        Check(!d.FileItems->empty() && d.FileItems->size() == d.ItemLines.size());
        Check(stored == d.FileItems->size() || stored + 1 == d.FileItems->size());
        for (std::size_t i = 0; i + 1 < d.ItemLines.size(); ++i) {
            const std::size_t next = d.ItemLines[i + 1];
            Check(d.ItemLines[i] != 0 && (next == 0 || d.ItemLines[i] < next));
        }
    } else {
        Check(stored == 0 && d.ItemLines.empty());
    }
    return 0;
}
