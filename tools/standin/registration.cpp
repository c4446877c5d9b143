// /RegServer and /UnregServer, as local servers conventionally offer them: the class's
// LocalServer32 key and the ProgID of the version played; for X3 also a type library that lets COM
// marshal its two dual interfaces (later versions are driven by name through IDispatch alone).

#include "base/registry.h"
#include "install/host/com_support.h"
#include "standin.h"

#include <shlobj.h>
#include <wrl/client.h>

#include <array>

namespace standin {
namespace {

using Microsoft::WRL::ComPtr;

// Where the latest version registered is named, as real setups do; the installer never reads it.
constexpr const wchar_t* kCurrentVersionKey = L"CorelDRAW.Application\\CurVer";

// The other width's registry view; on 32-bit Windows the flag is ignored and it is the one view.
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, static_cast<int>(std::size(text)));
    return text;
}

std::wstring ClassesKey(const std::wstring& subkey) {
    return L"Software\\Classes\\" + subkey;
}

HRESULT SetValue(const std::wstring& subkey, const wchar_t* name, const std::wstring& value,
                 REGSAM view) {
    tamrick::UniqueKey key;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, ClassesKey(subkey).c_str(), 0, nullptr, 0,
                                     KEY_SET_VALUE | view, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(static_cast<DWORD>(status));
    status =
        RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

HRESULT DeleteTree(const std::wstring& subkey, REGSAM view) {
    tamrick::UniqueKey classes;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0,
                                   KEY_READ | KEY_SET_VALUE | DELETE | view, classes.put());
    if (status == ERROR_SUCCESS)
        status = RegDeleteTreeW(classes.get(), subkey.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND
               ? S_OK
               : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

// Two dual interfaces that add nothing to IDispatch: every member is reached by name, so the
// type library only has to tell COM how to carry the interfaces between processes.
HRESULT BuildTypeLibrary(const std::wstring& path) {
    ComPtr<ICreateTypeLib2> library;
    HRESULT hr = CreateTypeLib2(kSysKind, path.c_str(), &library);
    if (FAILED(hr))
        return hr;
    library->SetGuid(kTypeLibId);
    library->SetVersion(kTypeLibMajor, kTypeLibMinor);
    library->SetLcid(LOCALE_NEUTRAL);
    hr = library->SetName(const_cast<LPOLESTR>(L"CorelDRWStandIn"));
    if (FAILED(hr))
        return hr;

    ComPtr<ITypeLib> stdole;
    hr = LoadTypeLib(L"stdole2.tlb", &stdole);
    if (FAILED(hr))
        return hr;
    ComPtr<ITypeInfo> dispatch;
    hr = stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatch);
    if (FAILED(hr))
        return hr;

    struct Interface {
        const wchar_t* name;
        IID iid;
    };
    const std::array<Interface, 2> interfaces{{{L"IDrawApplication", tamrick::kHostApplicationIid},
                                               {L"IGMSManager", tamrick::kHostGmsManagerIid}}};
    for (const Interface& item : interfaces) {
        ComPtr<ICreateTypeInfo> info;
        hr = library->CreateTypeInfo(const_cast<LPOLESTR>(item.name), TKIND_INTERFACE, &info);
        HREFTYPE base = 0;
        if (SUCCEEDED(hr))
            hr = info->SetGuid(item.iid);
        if (SUCCEEDED(hr))
            hr = info->SetTypeFlags(TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION);
        if (SUCCEEDED(hr))
            hr = info->AddRefTypeInfo(dispatch.Get(), &base);
        if (SUCCEEDED(hr))
            hr = info->AddImplType(0, base);
        if (SUCCEEDED(hr))
            hr = info->LayOut();
        if (FAILED(hr))
            return hr;
    }
    return library->SaveAllChanges();
}

} // namespace

CLSID ClassOfVersion(int major) {
    if (major == tamrick::kX3Major)
        return tamrick::kHostApplicationClsid;
    CLSID clsid = tamrick::kHostApplicationClsid;
    clsid.Data1 = 0x5A110000u + static_cast<unsigned>(major);
    return clsid;
}

HRESULT RegisterServer(const std::wstring& exePath, const std::wstring& folder, bool otherView) {
    const Config config = LoadConfig(folder);
    const int major = config.version;
    const REGSAM view = otherView ? kOtherView : 0;
    const std::wstring progId = tamrick::HostProgId(major);
    const std::wstring classId = GuidText(ClassOfVersion(major));
    const std::wstring clsid = L"CLSID\\" + classId;
    HRESULT hr = SetValue(clsid, nullptr,
                          major == tamrick::kX3Major
                              ? L"CorelDRAW Application (stand-in)"
                              : L"CorelDRAW " + tamrick::HostVersionDisplayName(major) +
                                    L" Application (stand-in)",
                          view);
    if (SUCCEEDED(hr))
        hr = SetValue(clsid + L"\\LocalServer32", nullptr, L"\"" + exePath + L"\"", view);
    if (SUCCEEDED(hr))
        hr = SetValue(clsid + L"\\ProgID", nullptr, progId, view);
    if (SUCCEEDED(hr))
        hr = SetValue(progId + L"\\CLSID", nullptr, classId, view);
    if (SUCCEEDED(hr) && major != tamrick::kX3Major)
        hr = SetValue(kCurrentVersionKey, nullptr, progId, view);
    if (FAILED(hr))
        return hr;

    if (major == tamrick::kX3Major) {
        const std::wstring typeLibPath = folder + std::wstring(kTypeLibName);
        hr = BuildTypeLibrary(typeLibPath);
        if (FAILED(hr))
            return hr;
        ComPtr<ITypeLib> registered;
        hr = LoadTypeLibEx(typeLibPath.c_str(), REGKIND_REGISTER, &registered);
        if (FAILED(hr))
            return hr;
    }

    // An installed host has its folders; so does the stand-in once registered.
    for (const std::wstring* path :
         {&config.path, &config.gmsPath, &config.userGmsPath, &config.userDataPath}) {
        if (!path->empty())
            SHCreateDirectoryExW(nullptr, path->c_str(), nullptr);
    }
    return S_OK;
}

HRESULT UnregisterServer(const std::wstring& folder) {
    const int major = LoadConfig(folder).version;
    const HRESULT typeLib =
        major == tamrick::kX3Major
            ? UnRegisterTypeLib(kTypeLibId, kTypeLibMajor, kTypeLibMinor, LOCALE_NEUTRAL, kSysKind)
            : S_OK;
    const std::wstring progId = tamrick::HostProgId(major);
    HRESULT hr = S_OK;
    for (const REGSAM view : {REGSAM{0}, kOtherView}) {
        if (SUCCEEDED(hr))
            hr = DeleteTree(L"CLSID\\" + GuidText(ClassOfVersion(major)), view);
        if (SUCCEEDED(hr))
            hr = DeleteTree(progId, view);
        if (SUCCEEDED(hr) && major != tamrick::kX3Major &&
            tamrick::RegistryDefaultString(HKEY_LOCAL_MACHINE, ClassesKey(kCurrentVersionKey),
                                           view) == progId)
            hr = DeleteTree(L"CorelDRAW.Application", view);
    }
    // A type library that was never registered is no failure of unregistering.
    if (SUCCEEDED(hr) && FAILED(typeLib) && typeLib != TYPE_E_REGISTRYACCESS &&
        typeLib != TYPE_E_LIBNOTREGISTERED)
        hr = typeLib;
    return hr;
}

} // namespace standin
