#include "reader.h"

#include "platform.h"

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

// Compares a key with a lower-case ASCII name as if the key had been lower-cased first.
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

} // namespace

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

ParsedDescription ParseDescription(std::wstring_view text) {
    ParsedDescription d;
    std::size_t n = 0; // items stored so far: the row the next stored item fills
    ForEachLine(text, [&](std::wstring_view line, std::size_t number) {
        const DescriptionLine l = SplitDescriptionLine(line);
        if (l.pieces < 2) {
            return;
        }
        if (KeyIs(l.key, L"setuptitle")) {
            d.SetupTitle = l.value;
        } else if (KeyIs(l.key, L"flagspicture")) {
            d.FlagsPicture = l.value;
        } else if (KeyIs(l.key, L"fileitem")) {
            // Every "fileitem" line makes the table present, even one that stores nothing; a
            // short line leaves row n empty for the next stored item, or as the last row.
            if (!d.FileItems) {
                d.FileItems.emplace();
            }
            d.FileItems->resize(n + 1);
            d.ItemLines.resize(n + 1);
            if (auto item = ParseFileItem(l.value)) {
                (*d.FileItems)[n] = std::move(*item);
                d.ItemLines[n] = number;
                ++n;
            }
        }
    });
    return d;
}

bool HasFileItems(const std::optional<FileItemTable>& table) {
    return table.has_value();
}

DescriptionRead ReadDescription(const std::wstring& appFolder) {
    DescriptionRead read;
    const FileBytes file = ReadWholeFile(appFolder + kDescriptionName);
    if (file.status != ReadStatus::Ok) {
        read.missing = file.status == ReadStatus::NotFound;
        return read;
    }
    DecodedText decoded = DecodeDescription(file.bytes);
    read.encoding = decoded.encoding;
    read.description = ParseDescription(decoded.text);
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
