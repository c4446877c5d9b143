// /RegServer and /UnregServer, as local servers conventionally offer them: the class's
// LocalServer32 key, and a type library that lets COM marshal the two dual interfaces.

#include "install/host/com_support.h"
#include "standin.h"

#include <shlobj.h>
#include <wrl/client.h>

#include <array>

namespace standin {
namespace {

using Microsoft::WRL::ComPtr;

constexpr const wchar_t* kProgId = L"CorelDRAW.Application.13";

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, static_cast<int>(std::size(text)));
    return text;
}

std::wstring ClassesKey(const std::wstring& subkey) {
    return L"Software\\Classes\\" + subkey;
}

HRESULT SetValue(const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
    tamrick::UniqueKey key;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, ClassesKey(subkey).c_str(), 0, nullptr, 0,
                                     KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(static_cast<DWORD>(status));
    status =
        RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

HRESULT DeleteTree(const std::wstring& subkey) {
    const LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, ClassesKey(subkey).c_str());
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

HRESULT RegisterServer(const std::wstring& exePath, const std::wstring& folder) {
    const std::wstring clsid = L"CLSID\\" + GuidText(tamrick::kHostApplicationClsid);
    HRESULT hr = SetValue(clsid, nullptr, L"CorelDRAW Application (stand-in)");
    if (SUCCEEDED(hr))
        hr = SetValue(clsid + L"\\LocalServer32", nullptr, L"\"" + exePath + L"\"");
    if (SUCCEEDED(hr))
        hr = SetValue(clsid + L"\\ProgID", nullptr, kProgId);
    if (SUCCEEDED(hr))
        hr = SetValue(std::wstring(kProgId) + L"\\CLSID", nullptr,
                      GuidText(tamrick::kHostApplicationClsid));
    if (FAILED(hr))
        return hr;

    const std::wstring typeLibPath = folder + std::wstring(kTypeLibName);
    hr = BuildTypeLibrary(typeLibPath);
    if (FAILED(hr))
        return hr;
    ComPtr<ITypeLib> registered;
    hr = LoadTypeLibEx(typeLibPath.c_str(), REGKIND_REGISTER, &registered);
    if (FAILED(hr))
        return hr;

    // An installed host has its folders; so does the stand-in once registered.
    const Config config = LoadConfig(folder);
    for (const std::wstring* path :
         {&config.path, &config.gmsPath, &config.userGmsPath, &config.userDataPath}) {
        if (!path->empty())
            SHCreateDirectoryExW(nullptr, path->c_str(), nullptr);
    }
    return S_OK;
}

HRESULT UnregisterServer() {
    const HRESULT typeLib =
        UnRegisterTypeLib(kTypeLibId, kTypeLibMajor, kTypeLibMinor, LOCALE_NEUTRAL, kSysKind);
    HRESULT hr = DeleteTree(L"CLSID\\" + GuidText(tamrick::kHostApplicationClsid));
    if (SUCCEEDED(hr))
        hr = DeleteTree(kProgId);
    // A type library that was never registered is no failure of unregistering.
    if (SUCCEEDED(hr) && FAILED(typeLib) && typeLib != TYPE_E_REGISTRYACCESS &&
        typeLib != TYPE_E_LIBNOTREGISTERED)
        hr = typeLib;
    return hr;
}

} // namespace standin
