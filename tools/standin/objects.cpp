// The served objects. Each implements IDispatch over a small member table, the way a type
// library's dispatch would behave: names are matched without regard to case, a property can't
// be called as a method, and arguments are coerced to the member's type.

#include "base/text_case.h"
#include "install/host/com_support.h"
#include "standin.h"

#include <wrl/client.h>

#include <atomic>
#include <span>

namespace standin {
namespace {

using Microsoft::WRL::ComPtr;
using tamrick::FromBstr;
using tamrick::Variant;

enum class Kind { ReadOnly, ReadWrite, Method };
enum class Access { Get, Put, Call, Invalid };

struct Member {
    DISPID id;
    const wchar_t* name;
    Kind kind;
};

const wchar_t* AccessName(Access access) {
    switch (access) {
    case Access::Get:
        return L"get";
    case Access::Put:
        return L"put";
    case Access::Call:
        return L"call";
    case Access::Invalid:
        break;
    }
    return L"invalid";
}

Access AccessFor(Kind kind, WORD flags) {
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))
        return kind == Kind::ReadWrite ? Access::Put : Access::Invalid;
    if (kind == Kind::Method)
        return flags & DISPATCH_METHOD ? Access::Call : Access::Invalid;
    return flags & DISPATCH_PROPERTYGET ? Access::Get : Access::Invalid;
}

// Arguments in the order they were written, as text for the log.
std::vector<std::wstring> ArgumentTexts(const DISPPARAMS& params) {
    std::vector<std::wstring> texts;
    for (UINT i = params.cArgs; i-- > 0;) {
        Variant text;
        const HRESULT hr = VariantChangeTypeEx(text.get(), &params.rgvarg[i], LOCALE_INVARIANT,
                                               VARIANT_ALPHABOOL, VT_BSTR);
        texts.push_back(SUCCEEDED(hr) ? FromBstr(V_BSTR(text.get()))
                                      : L"<vt " + std::to_wstring(V_VT(&params.rgvarg[i])) + L">");
    }
    return texts;
}

HRESULT ReturnString(VARIANT* result, const std::wstring& text) {
    if (result) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!V_BSTR(result)) {
            V_VT(result) = VT_EMPTY;
            return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}

HRESULT ReturnObject(VARIANT* result, IDispatch* object) {
    if (result) {
        object->AddRef();
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = object;
    }
    return S_OK;
}

// Reference counting and the process's server lock shared by every served object: the server
// ends when the last one goes.
template <class Derived> class DispatchObject : public IDispatch {
  public:
    explicit DispatchObject(const Server& server) : server_(server) { CoAddRefServerProcess(); }
    virtual ~DispatchObject() {
        if (CoReleaseServerProcess() == 0)
            PostThreadMessageW(server_.threadId, WM_QUIT, 0, 0);
    }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    // COM objects own themselves through their reference count, which starts at the ComPtr's
    // one reference. (MinGW's ComPtr::Attach adds a reference, unlike Microsoft's, so it is
    // not used.)
    template <class... Args> static ComPtr<Derived> Create(Args&&... args) {
        return ComPtr<Derived>(std::make_unique<Derived>(std::forward<Args>(args)...).release());
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        if (!result)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == Derived::kIid) {
            AddRef();
            *result = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *result = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG refs = --refs_;
        if (refs == 0)
            std::unique_ptr<Derived>{static_cast<Derived*>(this)}.reset();
        return refs;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info)
            *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (iid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        if (!names || !ids || count == 0)
            return E_INVALIDARG;
        if (server_.TurnsAway(L""))
            return RPC_E_CALL_REJECTED;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        for (const Member& member : Derived::kMembers) {
            if (CompareStringOrdinal(names[0], -1, member.name, -1, TRUE) == CSTR_EQUAL)
                ids[0] = member.id;
        }
        // Named arguments aren't offered.
        if (ids[0] == DISPID_UNKNOWN || count > 1)
            hr = DISP_E_UNKNOWNNAME;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* argError) override {
        if (iid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        if (!params)
            return E_INVALIDARG;
        const Member* member = nullptr;
        for (const Member& candidate : Derived::kMembers) {
            if (candidate.id == id)
                member = &candidate;
        }
        if (!member)
            return DISP_E_MEMBERNOTFOUND;

        const std::wstring what = std::wstring(Derived::kName) + L"." + member->name;
        const std::wstring name = tamrick::ToLowerAscii(member->name);
        // What a busy host's channel does: the call never reaches the member.
        if (server_.TurnsAway(name)) {
            AppendLog(server_.log, what, L"busy");
            return RPC_E_CALL_REJECTED;
        }
        const Access access = AccessFor(member->kind, flags);
        AppendLog(server_.log, what, AccessName(access), ArgumentTexts(*params));
        if (access == Access::Invalid)
            return DISP_E_MEMBERNOTFOUND;
        server_.HangOrCrash(name);
        if (const auto fault = server_.config.faults.find(name);
            fault != server_.config.faults.end())
            return Raise(fault->second, excep);

        const size_t expected = access == Access::Get ? 0 : 1;
        if (params->cArgs != expected)
            return DISP_E_BADPARAMCOUNT;
        if (access == Access::Put &&
            (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
            return DISP_E_PARAMNOTOPTIONAL;
        if (access != Access::Put && params->cNamedArgs != 0)
            return DISP_E_NONAMEDARGS;
        if (result)
            VariantInit(result);
        return static_cast<Derived*>(this)->Dispatch(id, *params, result, argError);
    }

  protected:
    const Server& server() const { return server_; }

  private:
    // A number that fits wCode is raised as one, anything else as an HRESULT (scode): the two
    // ways servers report their errors.
    HRESULT Raise(const Fault& fault, EXCEPINFO* excep) const {
        if (excep) {
            *excep = EXCEPINFO{};
            if (fault.number > 0 && fault.number <= 0xFFFF)
                excep->wCode = static_cast<WORD>(fault.number);
            else
                excep->scode = static_cast<SCODE>(fault.number);
            excep->bstrSource = SysAllocString(L"CorelDRAW");
            if (!fault.description.empty())
                excep->bstrDescription = SysAllocStringLen(
                    fault.description.data(), static_cast<UINT>(fault.description.size()));
        }
        return DISP_E_EXCEPTION;
    }

    const Server& server_;
    std::atomic<ULONG> refs_{0};
};

class GmsManager final : public DispatchObject<GmsManager> {
  public:
    static constexpr IID kIid = tamrick::kHostGmsManagerIid;
    static constexpr const wchar_t* kName = L"GMSManager";
    static constexpr Member kMembers[] = {{1, L"GMSPath", Kind::ReadOnly},
                                          {2, L"UserGMSPath", Kind::ReadOnly}};

    using DispatchObject::DispatchObject;

    HRESULT Dispatch(DISPID id, const DISPPARAMS&, VARIANT* result, UINT*) {
        return ReturnString(result,
                            id == 1 ? server().config.gmsPath : server().config.userGmsPath);
    }
};

class Application final : public DispatchObject<Application> {
  public:
    static constexpr IID kIid = tamrick::kHostApplicationIid;
    static constexpr const wchar_t* kName = L"Application";
    static constexpr Member kMembers[] = {
        {1, L"Application", Kind::ReadOnly},   {2, L"Visible", Kind::ReadWrite},
        {3, L"Path", Kind::ReadOnly},          {4, L"GMSManager", Kind::ReadOnly},
        {5, L"ImportWorkspace", Kind::Method}, {6, L"UserDataPath", Kind::ReadOnly}};

    using DispatchObject::DispatchObject;

    HRESULT Dispatch(DISPID id, const DISPPARAMS& params, VARIANT* result, UINT* argError) {
        switch (id) {
        case 1:
            return ReturnObject(result, this);
        case 2:
            if (params.cArgs == 1) {
                Variant value;
                const HRESULT hr = VariantChangeType(value.get(), &params.rgvarg[0], 0, VT_BOOL);
                if (FAILED(hr)) {
                    if (argError)
                        *argError = 0;
                    return hr;
                }
                visible_ = V_BOOL(value.get()) != VARIANT_FALSE;
                return S_OK;
            }
            if (result) {
                V_VT(result) = VT_BOOL;
                V_BOOL(result) = visible_ ? VARIANT_TRUE : VARIANT_FALSE;
            }
            return S_OK;
        case 3:
            return ReturnString(result, server().config.path);
        case 4:
            if (!gmsManager_)
                gmsManager_ = GmsManager::Create(server());
            return ReturnObject(result, gmsManager_.Get());
        case 5: {
            // Only logged: what the import does inside the host is the host's business.
            Variant path;
            return DispGetParam(const_cast<DISPPARAMS*>(&params), 0, VT_BSTR, path.get(), argError);
        }
        case 6:
            return ReturnString(result, server().config.userDataPath);
        }
        return DISP_E_MEMBERNOTFOUND;
    }

  private:
    bool visible_ = false;
    ComPtr<GmsManager> gmsManager_;
};

// Lives on Serve's stack for the life of the server; COM's references don't own it.
class ClassFactory final : public IClassFactory {
  public:
    explicit ClassFactory(const Server& server) : server_(server) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        if (!result)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *result = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *result = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** result) override {
        if (!result)
            return E_POINTER;
        *result = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (server_.TurnsAway(L"")) {
            AppendLog(server_.log, Application::kName, L"busy");
            return RPC_E_CALL_REJECTED;
        }
        if (FAILED(server_.config.refuseCreation)) {
            wchar_t code[16];
            swprintf(code, std::size(code), L"0x%08lX",
                     static_cast<unsigned long>(server_.config.refuseCreation));
            AppendLog(server_.log, Application::kName, L"create", {L"refused", code});
            // Nobody will hold an object of this server, so it ends here.
            CoAddRefServerProcess();
            if (CoReleaseServerProcess() == 0)
                PostThreadMessageW(server_.threadId, WM_QUIT, 0, 0);
            return server_.config.refuseCreation;
        }
        AppendLog(server_.log, Application::kName, L"create");
        return Application::Create(server_)->QueryInterface(iid, result);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            CoAddRefServerProcess();
        else if (CoReleaseServerProcess() == 0)
            PostThreadMessageW(server_.threadId, WM_QUIT, 0, 0);
        return S_OK;
    }

  private:
    const Server& server_;
};

} // namespace

int Serve(const std::wstring& folder) {
    const tamrick::ComApartment apartment;
    const Server server{LoadConfig(folder), folder + std::wstring(kLogName)};
    for (const std::wstring& line : server.config.ignored)
        AppendLog(server.log, kConfigName, L"ignored", {line});
    // A slow start: COM waits for the class object meanwhile. A quit request ends it there.
    if (!WaitUnlessQuit(server.config.slowStartMs)) {
        AppendLog(server.log, L"CorelDRW.exe", L"exit");
        return 0;
    }

    ClassFactory factory{server};
    DWORD cookie = 0;
    const HRESULT hr = CoRegisterClassObject(ClassOfVersion(server.config.version), &factory,
                                             CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    if (FAILED(hr))
        return static_cast<int>(hr);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    CoRevokeClassObject(cookie);
    AppendLog(server.log, L"CorelDRW.exe", L"exit");
    // A client's release can still be on its way: after a refused creation, the release of the
    // class object crosses the quit. Wine's CoUninitialize may wait for that call for ever (it
    // unregisters the interface waiting for calls to complete, and the call that failed never
    // completes), so the server ends here, without tearing COM down; the late release then
    // finds it gone, which a client takes as a disconnected server.
    ExitProcess(0);
}

} // namespace standin
