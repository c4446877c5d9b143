#include "app_folder.h"

#include "base/path_separator.h"

#include <cwchar>
#include <type_traits>

namespace tamrick {

std::wstring AppFolderFromExecutable(std::wstring_view executablePath, wchar_t separator) {
    const auto last = executablePath.find_last_of(separator);
    std::wstring folder(executablePath.substr(0, last == std::wstring_view::npos ? 0 : last));
    EnsureTrailingSeparator(folder, separator);
    return folder;
}

std::wstring InstanceLockName(std::wstring_view foldedExecutablePath) {
    // FNV-1a over the UTF-16 code units: kernel object names can't hold backslashes and are
    // limited in length, so the path itself can't be the name.
    std::uint64_t hash = 14695981039346656037ull;
    for (const wchar_t c : foldedExecutablePath) {
        const auto unit = static_cast<std::uint32_t>(std::char_traits<wchar_t>::to_int_type(c));
        for (const std::uint32_t byte : {unit & 0xFFu, (unit >> 8) & 0xFFu}) {
            hash ^= byte;
            hash *= 1099511628211ull;
        }
    }
    wchar_t hex[17] = {};
    for (int i = 15; i >= 0; --i) {
        hex[i] = L"0123456789abcdef"[hash & 0xF];
        hash >>= 4;
    }
    return std::wstring(L"Local\\TamrickInstaller.") + hex;
}

} // namespace tamrick
