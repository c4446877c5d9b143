// Any bytes as a banner file: the sniffing of its format and size neither crashes nor reads past
// the bytes, and always says either what the picture is or why it is none.

#include "check.h"
#include "tools/instinfo/picture.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tamrick::PictureInfo info =
        tamrick::SniffPicture(std::string_view(reinterpret_cast<const char*>(data), size));
    Check(info.ok ? !info.format.empty() : !info.problem.empty());
    return 0;
}
