#include "text_encoding.h"

#include <cstdint>

namespace tamrick {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendCodePoint(char32_t cp, std::wstring& out) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(cp));
}

unsigned char Byte(std::string_view s, std::size_t i) {
    return static_cast<unsigned char>(s[i]);
}

// Length of the valid UTF-8 sequence at `i` and its code point, or 0 when it is not valid.
std::size_t Utf8SequenceAt(std::string_view s, std::size_t i, char32_t& cp) {
    const unsigned char b0 = Byte(s, i);
    std::size_t len = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, min = 0x80, cp = b0 & 0x1Fu;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, min = 0x800, cp = b0 & 0x0Fu;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, min = 0x10000, cp = b0 & 0x07u;
    } else {
        return 0;
    }
    if (s.size() - i < len) {
        return 0;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const unsigned char b = Byte(s, i + k);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (Byte(bytes, i) < 0x80) {
            ++i;
            continue;
        }
        char32_t cp = 0;
        const std::size_t len = Utf8SequenceAt(bytes, i, cp);
        if (len == 0) {
            return false;
        }
        i += len;
    }
    return true;
}

void AppendUtf8(std::string_view bytes, std::wstring& out) {
    out.reserve(out.size() + bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Runs of ASCII, the bulk of any description, are copied in one go.
        std::size_t run = i;
        while (run < bytes.size() && Byte(bytes, run) < 0x80) {
            ++run;
        }
        if (run > i) {
            const std::size_t at = out.size();
            out.resize(at + (run - i));
            for (std::size_t k = i; k < run; ++k) {
                out[at + (k - i)] = static_cast<wchar_t>(Byte(bytes, k));
            }
            i = run;
            continue;
        }
        char32_t cp = 0;
        const std::size_t len = Utf8SequenceAt(bytes, i, cp);
        if (len == 0) {
            // One replacement per invalid byte keeps the rest of the text in step.
            out.push_back(static_cast<wchar_t>(kReplacement));
            ++i;
        } else {
            AppendCodePoint(cp, out);
            i += len;
        }
    }
}

void AppendUtf16(std::string_view bytes, bool bigEndian, std::wstring& out) {
    out.reserve(out.size() + bytes.size() / 2 + 1);
    const auto unit = [&](std::size_t i) -> char16_t {
        const auto a = Byte(bytes, i);
        const auto b = Byte(bytes, i + 1);
        return static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    const std::size_t units = bytes.size() / 2;
    std::size_t k = 0;
    while (k < units) {
        const char16_t u = unit(2 * k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
            const char16_t low = unit(2 * (k + 1));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendCodePoint(0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{low} - 0xDC00),
                                out);
                k += 2;
                continue;
            }
        }
        AppendCodePoint(u >= 0xD800 && u <= 0xDFFF ? kReplacement : char32_t{u}, out);
        ++k;
    }
    if (bytes.size() % 2 != 0) {
        out.push_back(static_cast<wchar_t>(kReplacement));
    }
}

std::wstring FromUtf8(std::string_view bytes) {
    std::wstring out;
    AppendUtf8(bytes, out);
    return out;
}

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto cp = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
                const auto low = static_cast<char32_t>(text[i + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            cp = kReplacement;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

} // namespace tamrick
