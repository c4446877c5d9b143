#pragma once
// Turns the bytes of a description into text. A byte-order mark (UTF-8, UTF-16 LE/BE) is honoured
// and dropped; without one, text that is valid UTF-8 and holds a non-ASCII byte is UTF-8; anything
// else is the ANSI code page (936 where the platform has none). Invalid sequences become U+FFFD;
// decoding never fails.

#include <string>
#include <string_view>

namespace tamrick {

enum class Encoding { Utf8, Utf16LE, Utf16BE, Ansi };

struct DecodedText {
    std::wstring text;
    Encoding encoding = Encoding::Ansi;
};

DecodedText DecodeDescription(std::string_view bytes);

// Strict UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Each decoder appends to `out`; wchar_t is UTF-16 on Windows and UTF-32 elsewhere.
void AppendUtf8(std::string_view bytes, std::wstring& out);
void AppendUtf16(std::string_view bytes, bool bigEndian, std::wstring& out);
// The platform's ANSI code page; implemented once per platform.
void AppendAnsi(std::string_view bytes, std::wstring& out);

// UTF-8 of a text, for output; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);

const char* EncodingName(Encoding encoding);

} // namespace tamrick
