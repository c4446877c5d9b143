#pragma once
// The names of an add-on's record folder and of its Apps & features entry, the same on every
// system: the installer makes them on Windows, and the packager's tool shows them.

#include <string>
#include <string_view>

namespace tamrick {

inline constexpr const wchar_t* kUninstallerName = L"Uninstall.exe";
inline constexpr const wchar_t* kRecordName = L"Record.txt";
inline constexpr const wchar_t* kBackupsName = L"Backups";

// The record folder below the machine's application data folder (an administrator's
// installation) or the user's local one; ends in a separator.
inline std::wstring RecordFolderBelow(std::wstring_view addonId) {
    return L"Tamrick\\" + std::wstring(addonId) + L"\\";
}

// The entry's key under HKLM or HKCU.
inline std::wstring UninstallKeyPath(std::wstring_view addonId) {
    return L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamrick." +
           std::wstring(addonId);
}

// The entry's UninstallString and QuietUninstallString for the uninstaller at that path.
inline std::wstring UninstallString(std::wstring_view uninstaller) {
    return L"\"" + std::wstring(uninstaller) + L"\" /UNINSTALL";
}
inline std::wstring QuietUninstallString(std::wstring_view uninstaller) {
    return UninstallString(uninstaller) + L" /S";
}

} // namespace tamrick
