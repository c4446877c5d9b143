#pragma once
// The InstInfo.ini reader. One way from the file's bytes to what it says: ParseDescription
// decodes, cuts into lines and applies the rules, with no I/O; loading is a thin step on top.

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

struct ParsedDescription {
    Encoding encoding = Encoding::Ansi;
    std::wstring SetupTitle;   // as read: empty when no line set it
    std::wstring FlagsPicture; // as read
    // The 1-based line of the last "flagspicture" line; 0 without one.
    std::size_t FlagsPictureLine = 0;
    std::optional<FileItemTable> FileItems;
    std::optional<std::wstring> HostVersions; // the value as read; absent without the key
    std::optional<std::wstring> AddonId;      // as read, valid or not; absent without the key
    std::size_t AddonIdLine = 0;
    std::wstring AddonName; // as read: empty when no line set it
    std::wstring AddonVersion;
    std::wstring Publisher;
    // The 1-based line of the "fileitem" line that filled each row; 0 for a row left empty.
    std::vector<std::size_t> ItemLines;
};

// The keys the reader knows.
enum class DescriptionKey {
    None,
    SetupTitle,
    FlagsPicture,
    FileItem,
    HostVersions,
    AddonId,
    AddonName,
    AddonVersion,
    Publisher,
};

// One line as the reader saw it, for the packager's checker.
struct DescriptionLine {
    std::size_t number = 0;  // from 1; CR, CR LF and LF each end a line
    std::wstring_view text;  // decoded, without its terminator
    std::size_t pieces = 0;  // how many pieces "=" cut it into; below 2 the line is ignored
    std::wstring_view key;   // before the first "=", trimmed of spaces, as written
    std::wstring_view value; // between the first and the second "=", trimmed of spaces
    DescriptionKey known = DescriptionKey::None;
    const FileItem* item = nullptr; // a "fileitem" line's stored row; none when it stored none
};
using LineObserver = std::function<void(const DescriptionLine&)>;

// The description's bytes: a byte-order mark (UTF-8, UTF-16 LE/BE) is honoured; without one,
// valid UTF-8 holding a non-ASCII byte is UTF-8, anything else the ANSI code page. `observe`
// sees every line, after the reader has applied it.
ParsedDescription ParseDescription(std::string_view bytes, const LineObserver& observe = nullptr);

// What reading the description in a folder gave, before anything is shown.
struct DescriptionRead {
    bool result = false;
    bool missing = false;          // the file does not exist: the one case with a message
    ParsedDescription description; // defaults applied when the file was read to its end
};

// `appFolder` ends in a separator.
DescriptionRead ReadDescription(const std::wstring& appFolder);
// The same for the description's bytes once read.
DescriptionRead InterpretDescription(const FileBytes& file, const LineObserver& observe = nullptr);

// True when the table is present.
bool HasFileItems(const std::optional<FileItemTable>& table);

// What a description gives the shared state: its title, picture, items and versions.
void ApplyDescription(ParsedDescription description, SharedState& state);

// Fills the shared state from AppFolder's description; `showCritical` shows the one message
// (the missing description). True when the installer can go on. `encoding`, when given, gets
// the encoding the description was read in.
bool LoadInstallInfo(SharedState& state,
                     const std::function<void(const std::wstring&)>& showCritical,
                     Encoding* encoding = nullptr);

} // namespace tamrick
