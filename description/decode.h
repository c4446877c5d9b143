#pragma once
// Turns the bytes of a description into text. A byte-order mark (UTF-8, UTF-16 LE/BE) is honoured
// and dropped; without one, text that is valid UTF-8 and holds a non-ASCII byte is UTF-8; anything
// else is the ANSI code page (936 where the platform has none). The conversions themselves are
// base/text_encoding.h's (included for the description's users): invalid sequences become
// U+FFFD, and decoding never fails.

#include "base/text_encoding.h"

#include <memory>
#include <string>
#include <string_view>

namespace tamrick {

enum class Encoding { Utf8, Utf16LE, Utf16BE, Ansi };

// The encoding of a description's bytes, and the length of the byte-order mark to skip.
Encoding DetectEncoding(std::string_view bytes, std::size_t& markLength);

// The platform's ANSI code page, or code page 936 where it has none; implemented once per platform.
// Keeps its converter between calls, so decoding line by line costs no more than decoding at once.
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

const char* EncodingName(Encoding encoding);

} // namespace tamrick
