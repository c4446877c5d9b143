#include "host_finder_win32.h"

#include "base/handles.h"
#include "base/registry.h"
#include "description/host_versions.h"
#include "install/host/com_support.h"

#include <array>
#include <string>

namespace tamrick {
namespace {

// A 32-bit program sees the ProgIDs of a 64-bit host on Windows 7 and later (they are shared),
// but not its class keys; under Wine it sees neither. So every key is looked up in both views.
constexpr std::array<REGSAM, 2> kViews{KEY_WOW64_64KEY, KEY_WOW64_32KEY};

UniqueKey OpenClassesKey(const std::wstring& path, REGSAM view) {
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) !=
        ERROR_SUCCESS) {
        key.release();
    }
    return key;
}

std::wstring ClassKey(const CLSID& clsid) {
    wchar_t text[40] = {};
    StringFromGUID2(clsid, text, static_cast<int>(std::size(text)));
    return L"CLSID\\" + std::wstring(text);
}

bool ClassRegistered(const CLSID& clsid, bool inProcess) {
    const std::wstring key = ClassKey(clsid);
    for (const REGSAM view : kViews) {
        if (OpenClassesKey(key + L"\\LocalServer32", view) ||
            (inProcess && OpenClassesKey(key + L"\\InprocServer32", view))) {
            return true;
        }
    }
    return false;
}

// The class a ProgID names in one view: the default value of its CLSID key, a GUID in braces.
std::optional<CLSID> ProgIdClass(const std::wstring& progId, REGSAM view) {
    const std::optional<std::wstring> text =
        RegistryDefaultString(HKEY_CLASSES_ROOT, progId + L"\\CLSID", view);
    // IIDFromString reads the GUID form only; CLSIDFromString would also take a ProgID.
    CLSID clsid{};
    if (!text || FAILED(IIDFromString(text->c_str(), &clsid))) {
        return std::nullopt;
    }
    return clsid;
}

} // namespace

std::optional<CLSID> FindHostClass(int major) {
    if (major == kX3Major) {
        return ClassRegistered(kHostApplicationClsid, true) ? std::optional(kHostApplicationClsid)
                                                            : std::nullopt;
    }
    const std::wstring progId = HostProgId(major);
    for (const REGSAM view : kViews) {
        if (const std::optional<CLSID> clsid = ProgIdClass(progId, view);
            clsid && ClassRegistered(*clsid, false)) {
            return clsid;
        }
    }
    return std::nullopt;
}

std::vector<int> FindInstalledHosts(std::span<const int> named) {
    std::vector<int> installed;
    for (const int major : named) {
        if (FindHostClass(major)) {
            installed.push_back(major);
        }
    }
    return installed;
}

} // namespace tamrick
