#include "reader.h"

#include "platform.h"

#include <algorithm>
#include <new>

namespace tamrick {
namespace {

bool IsAscii(std::wstring_view text) {
    for (const wchar_t c : text) {
        if (static_cast<std::uint32_t>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

} // namespace

bool KeyIs(std::wstring_view key, std::wstring_view name) {
    if (!IsAscii(key)) {
        // A few non-ASCII letters lower-case to ASCII ones (the Kelvin sign to "k").
        return ToLowerText(key) == name;
    }
    if (key.size() != name.size()) {
        return false;
    }
    for (std::size_t i = 0; i < key.size(); ++i) {
        wchar_t c = key[i];
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c + (L'a' - L'A'));
        }
        if (c != name[i]) {
            return false;
        }
    }
    return true;
}

std::wstring_view TrimSpaces(std::wstring_view text) {
    const auto first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

void ForEachLine(std::wstring_view text,
                 const std::function<void(std::wstring_view, std::size_t)>& visit) {
    std::size_t number = 1;
    std::size_t begin = 0;
    const std::size_t size = text.size();
    while (begin < size) {
        // A plain scan: find_first_of would search the two terminators once per character.
        std::size_t end = begin;
        while (end < size && text[end] != L'\r' && text[end] != L'\n') {
            ++end;
        }
        if (end == size) {
            visit(text.substr(begin), number);
            return;
        }
        visit(text.substr(begin, end - begin), number);
        ++number;
        begin = end + 1;
        if (text[end] == L'\r' && begin < text.size() && text[begin] == L'\n') {
            ++begin;
        }
    }
}

DescriptionLine SplitDescriptionLine(std::wstring_view line) {
    DescriptionLine result;
    const auto first = line.find(L'=');
    if (first == std::wstring_view::npos) {
        result.pieces = 1;
        return result;
    }
    result.key = TrimSpaces(line.substr(0, first));
    const auto second = line.find(L'=', first + 1);
    result.value = TrimSpaces(line.substr(first + 1, second == std::wstring_view::npos
                                                         ? std::wstring_view::npos
                                                         : second - first - 1));
    result.pieces = 2;
    for (auto at = second; at != std::wstring_view::npos; at = line.find(L'=', at + 1)) {
        ++result.pieces;
    }
    return result;
}

std::optional<FileItem> ParseFileItem(std::wstring_view value) {
    std::wstring_view fields[5];
    std::size_t count = 0;
    std::size_t begin = 0;
    while (count < 5) {
        const auto bar = value.find(L'|', begin);
        fields[count++] = value.substr(begin, bar == std::wstring_view::npos ? bar : bar - begin);
        if (bar == std::wstring_view::npos) {
            break;
        }
        begin = bar + 1;
    }
    if (count < 4) {
        return std::nullopt;
    }
    // Fields past the fifth are dropped; a four-field item has no caption.
    return FileItem{ToLowerText(fields[0]), std::wstring(fields[1]), std::wstring(fields[2]),
                    ToLowerText(fields[3]), std::wstring(fields[4])};
}

namespace {

// Applies the description's rules line by line.
class DescriptionBuilder {
  public:
    // At most this many rows can come: growing the table by doubling would touch twice its
    // memory, which costs more than the parse itself on a large description.
    explicit DescriptionBuilder(std::size_t rowsHint = 0) : rowsHint_(rowsHint) {}

    void Line(std::wstring_view line, std::size_t number) {
        const DescriptionLine l = SplitDescriptionLine(line);
        if (l.pieces < 2) {
            return;
        }
        if (KeyIs(l.key, kKeySetupTitle)) {
            d_.SetupTitle = l.value;
        } else if (KeyIs(l.key, kKeyFlagsPicture)) {
            d_.FlagsPicture = l.value;
        } else if (KeyIs(l.key, kKeyFileItem)) {
            // Every "fileitem" line makes the table present, even one that stores nothing; a
            // short line leaves row n empty for the next stored item, or as the last row.
            if (!d_.FileItems) {
                d_.FileItems.emplace();
                Reserve();
            }
            d_.FileItems->resize(n_ + 1);
            d_.ItemLines.resize(n_ + 1);
            if (auto item = ParseFileItem(l.value)) {
                (*d_.FileItems)[n_] = std::move(*item);
                d_.ItemLines[n_] = number;
                ++n_;
            }
        }
    }

    ParsedDescription Finish() { return std::move(d_); }

  private:
    void Reserve() {
        try {
            d_.FileItems->reserve(rowsHint_);
            d_.ItemLines.reserve(rowsHint_);
        } catch (const std::bad_alloc&) {
            // Only a hint: the table grows as it must.
        }
    }

    std::size_t rowsHint_;
    ParsedDescription d_;
    std::size_t n_ = 0; // items stored so far: the row the next stored item fills
};

// Cuts encoded bytes into lines, with units of one byte or of two (UTF-16). No terminator byte
// can be part of a multi-byte character in UTF-8 or code page 936, so lines can be decoded one
// by one. An odd byte left at the end belongs to the last line.
template <class Visit>
void ForEachEncodedLine(std::string_view bytes, std::size_t unit, bool bigEndian, Visit visit) {
    const auto code = [&](std::size_t i) -> unsigned {
        if (unit == 1) {
            return static_cast<unsigned char>(bytes[i]);
        }
        const unsigned a = static_cast<unsigned char>(bytes[i]);
        const unsigned b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (a << 8) | b : (b << 8) | a;
    };
    const std::size_t size = bytes.size();
    std::size_t number = 1;
    std::size_t begin = 0;
    while (begin < size) {
        std::size_t end = begin;
        while (end + unit <= size && code(end) != '\r' && code(end) != '\n') {
            end += unit;
        }
        if (end + unit > size) {
            visit(bytes.substr(begin), number);
            return;
        }
        visit(bytes.substr(begin, end - begin), number);
        ++number;
        begin = end + unit;
        if (code(end) == '\r' && begin + unit <= size && code(begin) == '\n') {
            begin += unit;
        }
    }
}

// Decodes the body (the bytes after any byte-order mark) line by line.
template <class Visit> void DecodeLines(std::string_view body, Encoding encoding, Visit visit) {
    const bool utf16 = encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE;
    const bool bigEndian = encoding == Encoding::Utf16BE;
    AnsiDecoder ansi;
    std::wstring line; // reused: one allocation for the longest line
    ForEachEncodedLine(body, utf16 ? 2 : 1, bigEndian,
                       [&](std::string_view raw, std::size_t number) {
                           line.clear();
                           if (utf16) {
                               AppendUtf16(raw, bigEndian, line);
                           } else if (encoding == Encoding::Utf8) {
                               AppendUtf8(raw, line);
                           } else {
                               ansi.Append(raw, line);
                           }
                           visit(std::wstring_view(line), number);
                       });
}

} // namespace

ParsedDescription ParseDescription(std::wstring_view text) {
    DescriptionBuilder builder;
    ForEachLine(text,
                [&](std::wstring_view line, std::size_t number) { builder.Line(line, number); });
    return builder.Finish();
}

Encoding ForEachDecodedLine(std::string_view bytes,
                            const std::function<void(std::wstring_view, std::size_t)>& visit) {
    std::size_t mark = 0;
    const Encoding encoding = DetectEncoding(bytes, mark);
    DecodeLines(bytes.substr(mark), encoding, visit);
    return encoding;
}

DecodedDescription ParseDescriptionBytes(std::string_view bytes) {
    DecodedDescription result;
    std::size_t mark = 0;
    result.encoding = DetectEncoding(bytes, mark);
    const std::string_view body = bytes.substr(mark);
    const bool utf16 = result.encoding == Encoding::Utf16LE || result.encoding == Encoding::Utf16BE;
    // A stored item takes one line of at least "fileitem=||||" and a terminator.
    const std::size_t lineBreaks = static_cast<std::size_t>(
        std::count_if(body.begin(), body.end(), [](char c) { return c == '\r' || c == '\n'; }));
    const std::size_t minItemBytes = utf16 ? 26 : 13;
    DescriptionBuilder builder(std::min(lineBreaks, body.size() / minItemBytes) + 1);
    DecodeLines(body, result.encoding,
                [&](std::wstring_view line, std::size_t number) { builder.Line(line, number); });
    result.description = builder.Finish();
    return result;
}

bool HasFileItems(const std::optional<FileItemTable>& table) {
    return table.has_value();
}

DescriptionRead ReadDescription(const std::wstring& appFolder) {
    return InterpretDescription(ReadWholeFile(appFolder + kDescriptionName));
}

DescriptionRead InterpretDescription(const FileBytes& file) {
    DescriptionRead read;
    if (file.status != ReadStatus::Ok) {
        read.missing = file.status == ReadStatus::NotFound;
        return read;
    }
    try {
        DecodedDescription decoded = ParseDescriptionBytes(file.bytes);
        read.encoding = decoded.encoding;
        read.description = std::move(decoded.description);
    } catch (const std::bad_alloc&) {
        // Too large to hold: treated like a file that can't be read.
        read.description = {};
        return read;
    }
    ParsedDescription& d = read.description;
    if (d.FlagsPicture.empty()) {
        d.FlagsPicture = kDefaultFlagsPicture;
    }
    if (d.SetupTitle.empty()) {
        d.SetupTitle = kProgramTitle;
    }
    read.result = HasFileItems(d.FileItems);
    return read;
}

bool LoadInstallInfo(SharedState& state,
                     const std::function<void(const std::wstring&)>& showCritical) {
    DescriptionRead read = ReadDescription(state.AppFolder);
    if (read.missing) {
        showCritical(kMissingDescriptionMessage);
    }
    state.SetupTitle = std::move(read.description.SetupTitle);
    state.FlagsPicture = std::move(read.description.FlagsPicture);
    state.FileItems = std::move(read.description.FileItems);
    return read.result;
}

} // namespace tamrick
