// The host binding over COM: the application object is created by its class, and every member
// is called by name through IDispatch, which works whether or not this process can see the
// host's type library. X3's interfaces are asked for where offered; any other version is driven
// through IDispatch alone, since only X3's interfaces are fixed.

#include "base/decimal.h"
#include "base/error.h"
#include "base/system_error.h"
#include "base/system_text.h"
#include "install/host/com_support.h"
#include "install/host/host.h"
#include "install/host/host_busy.h"
#include "install/host/host_finder_win32.h"

#include <wrl/client.h>

#include <array>
#include <span>
#include <string>
#include <thread>

namespace tamrick {
namespace {

using Microsoft::WRL::ComPtr;

[[noreturn]] void ThrowFailure(HRESULT hr) {
    ThrowHresult(hr);
}

// The number of a host exception is wCode when the host gave one, else scode (else the
// HRESULT of the call itself); the description is the host's, else the system's text for it.
[[noreturn]] void ThrowHostException(HRESULT hr, ExcepInfo& excep) {
    if (excep.pfnDeferredFillIn)
        excep.pfnDeferredFillIn(&excep);
    const HRESULT code = FAILED(excep.scode) ? excep.scode : hr;
    std::wstring description = FromBstr(excep.bstrDescription);
    if (excep.wCode != 0) {
        if (description.empty())
            description = L"CorelDRAW 返回了错误 " + DecimalText(excep.wCode) + L"。";
        throw Error(excep.wCode, std::move(description));
    }
    if (description.empty())
        ThrowFailure(code);
    throw Error(ErrorNumberForHresult(code), std::move(description));
}

// The interface asked for when the object offers it across this process boundary, else its
// IDispatch: the members are called by name either way.
HRESULT AskForInterface(IUnknown& object, const IID& iid, ComPtr<IDispatch>& result) {
    HRESULT hr = object.QueryInterface(iid, &result);
    if (FAILED(hr))
        hr = object.QueryInterface(IID_IDispatch, &result);
    return hr;
}

// The calls may block their thread: a busy host is waited for by sleeping.
class SleepingClock final : public RetryClock {
  public:
    std::chrono::steady_clock::time_point Now() override {
        return std::chrono::steady_clock::now();
    }
    void Pause(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
};

class ComHost final : public Host {
  public:
    ComHost(int major, std::chrono::milliseconds busyLimit)
        : major_(major), busyLimit_(busyLimit),
          applicationIid_(major == kX3Major ? kHostApplicationIid : IID_IDispatch),
          gmsManagerIid_(major == kX3Major ? kHostGmsManagerIid : IID_IDispatch) {}

    void Open() override {
        app_.Reset();
        // X3 by its class; any other version by the class its ProgID names, in either registry
        // view (the host may be of the other width), created without a width of its own: COM
        // starts the installer's width where both are registered, else the other.
        const std::optional<CLSID> clsid =
            major_ == kX3Major ? std::optional(kHostApplicationClsid) : FindHostClass(major_);
        if (!clsid)
            throw Error(kErrCantCreateObject, HostProgId(major_) + L" 没有注册。");
        const DWORD context =
            major_ == kX3Major ? CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER : CLSCTX_LOCAL_SERVER;
        ComPtr<IUnknown> object;
        HRESULT hr = WhileBusy(
            [&] { return CoCreateInstance(*clsid, nullptr, context, IID_IUnknown, &object); });
        // A host that is there but kept turning the creation away is not a missing host.
        if (IsBusyRefusal(hr))
            ThrowFailure(hr);
        if (SUCCEEDED(hr))
            hr = AskForInterface(*object.Get(), applicationIid_, app_);
        if (FAILED(hr))
            throw Error(kErrCantCreateObject, L"无法创建 CorelDRAW 的应用程序对象：" +
                                                  SystemErrorText(static_cast<std::uint32_t>(hr)));
    }

    void SetInvisible() override {
        std::array<VARIANTARG, 1> value{};
        V_VT(&value[0]) = VT_BOOL;
        V_BOOL(&value[0]) = VARIANT_FALSE;
        Invoke(App(), L"Visible", DISPATCH_PROPERTYPUT, value, true);
    }

    std::optional<std::wstring> ResolveFolder(const std::wstring& key) override {
        const std::optional<HostFolder> folder = FolderForKey(key);
        if (!folder)
            return std::nullopt;
        switch (*folder) {
        case HostFolder::UserData:
            return GetString(App(), L"UserDataPath");
        case HostFolder::Gms:
            return GetString(*GetMemberObject(App(), L"GMSManager", gmsManagerIid_).Get(),
                             L"GMSPath");
        case HostFolder::UserGms:
            return GetString(*GetMemberObject(App(), L"GMSManager", gmsManagerIid_).Get(),
                             L"UserGMSPath");
        case HostFolder::Application:
            return GetString(*GetMemberObject(App(), L"Application", applicationIid_).Get(),
                             L"Path");
        }
        return std::nullopt;
    }

    void ImportWorkspace(const std::wstring& path) override {
        const Bstr text = MakeBstr(path);
        std::array<VARIANTARG, 1> argument{};
        V_VT(&argument[0]) = VT_BSTR;
        V_BSTR(&argument[0]) = text.get();
        Invoke(App(), L"ImportWorkspace", DISPATCH_METHOD, argument, false);
    }

    void Release() noexcept override { app_.Reset(); }

  private:
    IDispatch& App() const {
        if (!app_)
            throw Error(kErrObjectNotSet, L"没有连接到 CorelDRAW。");
        return *app_.Get();
    }

    template <class Call> HRESULT WhileBusy(Call&& call) const {
        SleepingClock clock;
        return CallWhileBusy(std::forward<Call>(call), clock, busyLimit_);
    }

    Variant Invoke(IDispatch& object, const wchar_t* member, WORD flags, std::span<VARIANTARG> args,
                   bool isPut) const {
        std::wstring name{member};
        LPOLESTR names[] = {name.data()};
        DISPID id = DISPID_UNKNOWN;
        HRESULT hr = WhileBusy(
            [&] { return object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); });
        if (FAILED(hr))
            ThrowFailure(hr);

        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS params{args.data(), isPut ? &putId : nullptr, static_cast<UINT>(args.size()),
                          isPut ? 1u : 0u};
        Variant result;
        ExcepInfo excep;
        UINT argError = 0;
        // A refused call never reached the member, so it left the result and excep untouched.
        hr = WhileBusy([&] {
            return object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                 isPut ? nullptr : result.get(), &excep, &argError);
        });
        if (hr == DISP_E_EXCEPTION)
            ThrowHostException(hr, excep);
        if (FAILED(hr))
            ThrowFailure(hr);
        return result;
    }

    Variant Get(IDispatch& object, const wchar_t* member) const {
        return Invoke(object, member, DISPATCH_PROPERTYGET, {}, false);
    }

    std::wstring GetString(IDispatch& object, const wchar_t* member) const {
        Variant value = Get(object, member);
        if (V_VT(value.get()) != VT_BSTR) {
            const HRESULT hr = VariantChangeType(value.get(), value.get(), 0, VT_BSTR);
            if (FAILED(hr))
                ThrowFailure(hr);
        }
        return FromBstr(V_BSTR(value.get()));
    }

    ComPtr<IDispatch> GetMemberObject(IDispatch& object, const wchar_t* member,
                                      const IID& iid) const {
        Variant value = Get(object, member);
        if (V_VT(value.get()) != VT_DISPATCH && V_VT(value.get()) != VT_UNKNOWN)
            ThrowFailure(DISP_E_TYPEMISMATCH);
        IUnknown* found =
            V_VT(value.get()) == VT_DISPATCH ? V_DISPATCH(value.get()) : V_UNKNOWN(value.get());
        if (!found)
            throw Error(kErrObjectNotSet,
                        L"CorelDRAW 没有返回 " + std::wstring(member) + L" 对象。");
        ComPtr<IDispatch> result;
        const HRESULT hr = AskForInterface(*found, iid, result);
        if (FAILED(hr))
            ThrowFailure(hr);
        return result;
    }

    int major_;
    std::chrono::milliseconds busyLimit_;
    // What is asked of the objects: X3's interfaces, or IDispatch for any other version.
    IID applicationIid_;
    IID gmsManagerIid_;
    ComPtr<IDispatch> app_;
};

} // namespace

std::unique_ptr<Host> MakeComHost(int major, std::chrono::milliseconds busyLimit) {
    return std::make_unique<ComHost>(major, busyLimit);
}

} // namespace tamrick
