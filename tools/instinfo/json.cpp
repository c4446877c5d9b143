#include "json.h"

#include "description/decode.h"
#include "description/host_versions.h"

namespace tamrick::json {

std::string String(std::wstring_view text) {
    const std::string utf8 = ToUtf8(text);
    std::string out;
    out.reserve(utf8.size() + 2);
    out.push_back('"');
    for (const char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                static constexpr char kHex[] = "0123456789abcdef";
                out += "\\u00";
                out.push_back(kHex[(c >> 4) & 0xF]);
                out.push_back(kHex[c & 0xF]);
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
    return out;
}

std::string HostVersion(int major) {
    return "{\"major\": " + std::to_string(major) +
           ", \"name\": " + String(HostVersionDisplayName(major)) + "}";
}

std::string HostVersions(std::span<const int> majors) {
    std::string out = "[";
    for (std::size_t i = 0; i < majors.size(); ++i) {
        out += (i == 0 ? "" : ", ") + HostVersion(majors[i]);
    }
    return out + "]";
}

} // namespace tamrick::json
