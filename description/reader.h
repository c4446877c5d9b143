#pragma once
// The InstInfo.ini reader. Parsing works on text and does no I/O; loading is a thin step on top.

#include "decode.h"
#include "description/model.h"
#include "platform.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamrick {

inline constexpr const wchar_t* kMissingDescriptionMessage =
    L"缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。";

// One line of the description split as the reader sees it.
struct DescriptionLine {
    std::wstring_view key;   // trimmed of spaces, not yet lower-cased
    std::wstring_view value; // text between the first and the second "=", trimmed of spaces
    std::size_t pieces =
        0; // how many pieces the "=" cut the line into; below 2 the line is ignored
};

DescriptionLine SplitDescriptionLine(std::wstring_view line);

// Calls `visit(line, number)` for every line; CR, CR LF and LF end a line (numbers from 1).
void ForEachLine(std::wstring_view text,
                 const std::function<void(std::wstring_view, std::size_t)>& visit);

std::wstring_view TrimSpaces(std::wstring_view text);

// Whether a trimmed key is `name` (one of the lower-case keys) once lower-cased.
bool KeyIs(std::wstring_view key, std::wstring_view name);

// The rows of one "fileitem" value; fewer than four fields store nothing.
std::optional<FileItem> ParseFileItem(std::wstring_view value);

struct ParsedDescription {
    std::wstring SetupTitle;   // as read: empty when no line set it
    std::wstring FlagsPicture; // as read
    std::optional<FileItemTable> FileItems;
    // The 1-based line of the "fileitem" line that filled each row; 0 for a row left empty.
    std::vector<std::size_t> ItemLines;
};

ParsedDescription ParseDescription(std::wstring_view text);

struct DecodedDescription {
    Encoding encoding = Encoding::Ansi;
    ParsedDescription description;
};

// The same from the file's bytes, decoded line by line: the whole text is never held at once.
DecodedDescription ParseDescriptionBytes(std::string_view bytes);

// Decodes the file's bytes line by line as the reader does and calls `visit(line, number)`;
// returns the encoding chosen.
Encoding ForEachDecodedLine(std::string_view bytes,
                            const std::function<void(std::wstring_view, std::size_t)>& visit);

// What reading the description in a folder gave, before anything is shown.
struct DescriptionRead {
    bool result = false;
    bool missing = false; // the file does not exist: the one case with a message
    Encoding encoding = Encoding::Ansi;
    ParsedDescription description; // defaults applied when the file was read to its end
};

// `appFolder` ends in a separator.
DescriptionRead ReadDescription(const std::wstring& appFolder);
// The same for the description's bytes once read, for tools that also look at them line by line.
DescriptionRead InterpretDescription(const FileBytes& file);

// True when the table is present.
bool HasFileItems(const std::optional<FileItemTable>& table);

// Fills the shared state from AppFolder's description; `showCritical` shows the one message
// (the missing description). True when the installer can go on.
bool LoadInstallInfo(SharedState& state,
                     const std::function<void(const std::wstring&)>& showCritical);

} // namespace tamrick
