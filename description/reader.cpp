#include "reader.h"

#include "host_versions.h"
#include "platform.h"

#include "base/text_case.h"
#include "base/trim.h"

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

// Whether a trimmed key is `name` (one of the lower-case keys) once lower-cased.
bool KeyIs(std::wstring_view key, std::wstring_view name) {
    // A few non-ASCII letters lower-case to ASCII ones (the Kelvin sign to "k").
    return IsAscii(key) ? EqualsIgnoringAsciiCase(key, name) : ToLowerText(key) == name;
}

DescriptionKey KnownKey(std::wstring_view key) {
    if (KeyIs(key, kKeySetupTitle)) {
        return DescriptionKey::SetupTitle;
    }
    if (KeyIs(key, kKeyFlagsPicture)) {
        return DescriptionKey::FlagsPicture;
    }
    if (KeyIs(key, kKeyFileItem)) {
        return DescriptionKey::FileItem;
    }
    if (KeyIs(key, kKeyHostVersions)) {
        return DescriptionKey::HostVersions;
    }
    if (KeyIs(key, kKeyAddonId)) {
        return DescriptionKey::AddonId;
    }
    if (KeyIs(key, kKeyAddonName)) {
        return DescriptionKey::AddonName;
    }
    if (KeyIs(key, kKeyAddonVersion)) {
        return DescriptionKey::AddonVersion;
    }
    if (KeyIs(key, kKeyPublisher)) {
        return DescriptionKey::Publisher;
    }
    return DescriptionKey::None;
}

// Cuts a line at its "=" signs as the reader sees it.
void SplitLine(DescriptionLine& line) {
    const std::wstring_view text = line.text;
    const auto first = text.find(L'=');
    if (first == std::wstring_view::npos) {
        line.pieces = 1;
        return;
    }
    line.key = Trim(text.substr(0, first));
    const auto second = text.find(L'=', first + 1);
    line.value =
        Trim(text.substr(first + 1, second == std::wstring_view::npos ? std::wstring_view::npos
                                                                      : second - first - 1));
    line.pieces = 2;
    for (auto at = second; at != std::wstring_view::npos; at = text.find(L'=', at + 1)) {
        ++line.pieces;
    }
}

// The row of one "fileitem" value; fewer than four fields store nothing.
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

// Applies the description's rules line by line.
class DescriptionBuilder {
  public:
    // At most this many rows can come: growing the table by doubling would touch twice its
    // memory, which costs more than the parse itself on a large description.
    DescriptionBuilder(Encoding encoding, std::size_t rowsHint, const LineObserver& observe)
        : rowsHint_(rowsHint), observe_(observe) {
        d_.encoding = encoding;
    }

    void Line(DescriptionLine& line) {
        SplitLine(line);
        if (line.pieces >= 2) {
            line.known = KnownKey(line.key);
            Apply(line);
        }
        if (observe_) {
            observe_(line);
        }
    }

    ParsedDescription Finish() { return std::move(d_); }

  private:
    void Apply(DescriptionLine& line) {
        switch (line.known) {
        case DescriptionKey::SetupTitle:
            d_.SetupTitle = line.value;
            break;
        case DescriptionKey::FlagsPicture:
            d_.FlagsPicture = line.value;
            d_.FlagsPictureLine = line.number;
            break;
        case DescriptionKey::HostVersions:
            d_.HostVersions = line.value;
            break;
        case DescriptionKey::AddonId:
            d_.AddonId = line.value;
            d_.AddonIdLine = line.number;
            break;
        case DescriptionKey::AddonName:
            d_.AddonName = line.value;
            break;
        case DescriptionKey::AddonVersion:
            d_.AddonVersion = line.value;
            break;
        case DescriptionKey::Publisher:
            d_.Publisher = line.value;
            break;
        case DescriptionKey::FileItem:
            // Every "fileitem" line makes the table present, even one that stores nothing; a
            // short line leaves row n empty for the next stored item, or as the last row.
            if (!d_.FileItems) {
                d_.FileItems.emplace();
                Reserve();
            }
            d_.FileItems->resize(n_ + 1);
            d_.ItemLines.resize(n_ + 1);
            if (auto item = ParseFileItem(line.value)) {
                (*d_.FileItems)[n_] = std::move(*item);
                d_.ItemLines[n_] = line.number;
                line.item = &(*d_.FileItems)[n_];
                ++n_;
            }
            break;
        case DescriptionKey::None:
            break;
        }
    }

    void Reserve() {
        try {
            d_.FileItems->reserve(rowsHint_);
            d_.ItemLines.reserve(rowsHint_);
        } catch (const std::bad_alloc&) {
            // Only a hint: the table grows as it must.
        }
    }

    std::size_t rowsHint_;
    const LineObserver& observe_;
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
        // A plain scan: find_first_of would search the two terminators once per unit.
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

} // namespace

ParsedDescription ParseDescription(std::string_view bytes, const LineObserver& observe) {
    std::size_t mark = 0;
    const Encoding encoding = DetectEncoding(bytes, mark);
    const std::string_view body = bytes.substr(mark);
    const bool utf16 = encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE;
    const bool bigEndian = encoding == Encoding::Utf16BE;
    // A stored item takes one line of at least "fileitem=||||" and a terminator.
    const std::size_t lineBreaks = static_cast<std::size_t>(
        std::count_if(body.begin(), body.end(), [](char c) { return c == '\r' || c == '\n'; }));
    const std::size_t minItemBytes = utf16 ? 26 : 13;
    DescriptionBuilder builder(encoding, std::min(lineBreaks, body.size() / minItemBytes) + 1,
                               observe);

    AnsiDecoder ansi;
    std::wstring text; // reused: one allocation for the longest line
    ForEachEncodedLine(body, utf16 ? 2 : 1, bigEndian,
                       [&](std::string_view raw, std::size_t number) {
                           text.clear();
                           if (utf16) {
                               AppendUtf16(raw, bigEndian, text);
                           } else if (encoding == Encoding::Utf8) {
                               AppendUtf8(raw, text);
                           } else {
                               ansi.Append(raw, text);
                           }
                           DescriptionLine line;
                           line.number = number;
                           line.text = text;
                           builder.Line(line);
                       });
    return builder.Finish();
}

bool HasFileItems(const std::optional<FileItemTable>& table) {
    return table.has_value();
}

DescriptionRead ReadDescription(const std::wstring& appFolder) {
    return InterpretDescription(ReadWholeFile(appFolder + kDescriptionName));
}

DescriptionRead InterpretDescription(const FileBytes& file, const LineObserver& observe) {
    DescriptionRead read;
    if (file.status != ReadStatus::Ok) {
        read.missing = file.status == ReadStatus::NotFound;
        return read;
    }
    try {
        read.description = ParseDescription(file.bytes, observe);
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

void ApplyDescription(ParsedDescription description, SharedState& state) {
    state.SetupTitle = std::move(description.SetupTitle);
    state.FlagsPicture = std::move(description.FlagsPicture);
    state.FileItems = std::move(description.FileItems);
    state.HostVersions.clear();
    if (description.HostVersions) {
        state.HostVersions = ParseHostVersions(*description.HostVersions).majors;
    }
    state.AddonId.clear();
    if (description.AddonId && IsValidAddonId(*description.AddonId)) {
        state.AddonId = std::move(*description.AddonId);
    }
    state.AddonName =
        description.AddonName.empty() ? state.SetupTitle : std::move(description.AddonName);
    state.AddonVersion = std::move(description.AddonVersion);
    state.Publisher = std::move(description.Publisher);
}

bool LoadInstallInfo(SharedState& state,
                     const std::function<void(const std::wstring&)>& showCritical,
                     Encoding* encoding) {
    DescriptionRead read = ReadDescription(state.AppFolder);
    if (read.missing) {
        showCritical(kMissingDescriptionMessage);
    }
    if (encoding != nullptr) {
        *encoding = read.description.encoding;
    }
    ApplyDescription(std::move(read.description), state);
    return read.result;
}

} // namespace tamrick
