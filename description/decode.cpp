#include "decode.h"

namespace tamrick {
namespace {

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool HasNonAscii(std::string_view s) {
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return true;
        }
    }
    return false;
}

} // namespace

Encoding DetectEncoding(std::string_view bytes, std::size_t& markLength) {
    markLength = 0;
    if (StartsWith(bytes, "\xEF\xBB\xBF")) {
        markLength = 3;
        return Encoding::Utf8;
    }
    if (StartsWith(bytes, "\xFF\xFE")) {
        markLength = 2;
        return Encoding::Utf16LE;
    }
    if (StartsWith(bytes, "\xFE\xFF")) {
        markLength = 2;
        return Encoding::Utf16BE;
    }
    return HasNonAscii(bytes) && IsValidUtf8(bytes) ? Encoding::Utf8 : Encoding::Ansi;
}

const char* EncodingName(Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf8:
        return "utf-8";
    case Encoding::Utf16LE:
        return "utf-16le";
    case Encoding::Utf16BE:
        return "utf-16be";
    case Encoding::Ansi:
        break;
    }
    return "ansi";
}

} // namespace tamrick
