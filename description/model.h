#pragma once
// The program-wide state: filled once during start-up, only read afterwards.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamrick {

// What the installer, its packager's tool and its tests all go by: one home for each.

// The title of the window as designed and of every message box.
inline constexpr const wchar_t* kProgramTitle = L"Tamrick Installer";
inline constexpr const wchar_t* kDefaultFlagsPicture = L"flags.bmp";
inline constexpr const wchar_t* kDescriptionName = L"InstInfo.ini";
// The banner area at 96 DPI, the size a banner picture is made for.
inline constexpr std::uint32_t kBannerWidth = 420;
inline constexpr std::uint32_t kBannerHeight = 78;
// The host's process image, which the installation closes by force.
inline constexpr const wchar_t* kHostImageName = L"CorelDRW.exe";

// The description's keys, lower case; they are matched in any case.
inline constexpr std::wstring_view kKeySetupTitle = L"setuptitle";
inline constexpr std::wstring_view kKeyFlagsPicture = L"flagspicture";
inline constexpr std::wstring_view kKeyFileItem = L"fileitem";
inline constexpr std::wstring_view kKeyHostVersions = L"hostversions";
// The add-on's identity and what Apps & features shows of it; without a valid AddonId nothing
// is recorded and the add-on can't be removed.
inline constexpr std::wstring_view kKeyAddonId = L"addonid";
inline constexpr std::wstring_view kKeyAddonName = L"addonname";
inline constexpr std::wstring_view kKeyAddonVersion = L"addonversion";
inline constexpr std::wstring_view kKeyPublisher = L"publisher";
inline constexpr std::size_t kAddonIdMaxLength = 64;

// Letters, digits, ".", "-" and "_", 1 to 64 of them, not ending in ".": safe as a folder name
// and in a registry key's name on every Windows. Compared without regard to case.
inline bool IsValidAddonId(std::wstring_view id) {
    if (id.empty() || id.size() > kAddonIdMaxLength) {
        return false;
    }
    for (const wchar_t c : id) {
        const bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
        const bool digit = c >= L'0' && c <= L'9';
        if (!letter && !digit && c != L'.' && c != L'-' && c != L'_') {
            return false;
        }
    }
    // Windows drops a name's trailing dots: "a." would share the folder of "a", and ".." is the
    // folder above.
    return id.back() != L'.';
}

// A file item's actions, as the reader stores them (lower case). A copy with the target
// kTargetImportWorkspace is an import.
inline constexpr std::wstring_view kActionCopy = L"c";
inline constexpr std::wstring_view kActionDelete = L"k";

// A file item's target keys, as the reader stores them (lower case). The first four name the
// host's folders.
inline constexpr std::wstring_view kTargetUserDataPath = L"userdatapath";
inline constexpr std::wstring_view kTargetGmsPath = L"gmspath";
inline constexpr std::wstring_view kTargetUserGmsPath = L"usergmspath";
inline constexpr std::wstring_view kTargetApplicationPath = L"applicationpath";
inline constexpr std::wstring_view kTargetImportWorkspace = L"importworkspace";
inline constexpr std::array<std::wstring_view, 4> kFolderTargets{
    kTargetUserDataPath, kTargetGmsPath, kTargetUserGmsPath, kTargetApplicationPath};

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
    // The majors of the CorelDRAW versions that the description names, ascending; empty when it
    // names none (no "HostVersions", or no entry that can be read): then X3 alone, as always.
    std::vector<int> HostVersions;
    // Empty unless the description gives a valid AddonId: then the installation is recorded and
    // can be removed. AddonName is the title when the description gives none.
    std::wstring AddonId;
    std::wstring AddonName;
    std::wstring AddonVersion;
    std::wstring Publisher;
};

} // namespace tamrick
