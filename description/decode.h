#pragma once
// Turns the bytes of a description into text. A byte-order mark (UTF-8, UTF-16 LE/BE) is honoured
// and dropped; without one, text that is valid UTF-8 and holds a non-ASCII byte is UTF-8; anything
// else is the ANSI code page (936 where the platform has none). Invalid sequences become U+FFFD;
// decoding never fails.

#include <memory>
#include <string>
#include <string_view>

namespace tamrick {

enum class Encoding { Utf8, Utf16LE, Utf16BE, Ansi };

// The encoding of a description's bytes, and the length of the byte-order mark to skip.
Encoding DetectEncoding(std::string_view bytes, std::size_t& markLength);

// Strict UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Each decoder appends to `out`; wchar_t is UTF-16 on Windows and UTF-32 elsewhere.
void AppendUtf8(std::string_view bytes, std::wstring& out);
void AppendUtf16(std::string_view bytes, bool bigEndian, std::wstring& out);
// The platform's ANSI code page; implemented once per platform. Keeps its converter between
// calls, so decoding line by line costs no more than decoding at once.
class AnsiDecoder {
  public:
    AnsiDecoder();
    ~AnsiDecoder();
    AnsiDecoder(const AnsiDecoder&) = delete;
    AnsiDecoder& operator=(const AnsiDecoder&) = delete;

    void Append(std::string_view bytes, std::wstring& out);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// UTF-8 of a text, for output; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);

const char* EncodingName(Encoding encoding);

} // namespace tamrick
