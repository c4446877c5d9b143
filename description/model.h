#pragma once
// The program-wide state: filled once during start-up, only read afterwards.

#include <optional>
#include <string>
#include <vector>

namespace tamrick {

// The title of the window as designed and of every message box.
inline constexpr const wchar_t* kProgramTitle = L"Tamrick Installer";
inline constexpr const wchar_t* kDefaultFlagsPicture = L"flags.bmp";
inline constexpr const wchar_t* kDescriptionName = L"InstInfo.ini";

struct FileItem {
    std::wstring Action;      // lower case; "c" copies or imports, "k" deletes
    std::wstring SourceName;  // relative to AppFolder, as written
    std::wstring Required;    // "1" exactly marks a required item
    std::wstring Target;      // lower case target key
    std::wstring StepCaption; // shown on the button while the item runs
};

// A required item's failure ends the installation; only exactly "1" marks one.
inline bool IsRequired(const FileItem& item) {
    return item.Required == L"1";
}

// A present table always has at least one row; an absent one is std::nullopt.
using FileItemTable = std::vector<FileItem>;

struct SharedState {
    std::wstring AppFolder; // always ends in exactly one separator
    std::wstring SetupTitle;
    std::wstring FlagsPicture;
    std::optional<FileItemTable> FileItems;
};

} // namespace tamrick
