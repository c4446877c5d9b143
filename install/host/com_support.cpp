#include "com_support.h"

#include "base/system_error.h"

#include <limits>

namespace tamrick {

Bstr MakeBstr(std::wstring_view text) {
    if (text.size() > std::numeric_limits<UINT>::max())
        ThrowHresult(E_OUTOFMEMORY);
    Bstr result{SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))};
    if (!result)
        ThrowHresult(E_OUTOFMEMORY);
    return result;
}

std::wstring FromBstr(BSTR text) {
    return text ? std::wstring(text, SysStringLen(text)) : L"";
}

ComApartment::ComApartment(Model model) noexcept
    : initialised_(SUCCEEDED(CoInitializeEx(
          nullptr, static_cast<DWORD>(model == Model::SingleThreaded ? COINIT_APARTMENTTHREADED
                                                                     : COINIT_MULTITHREADED) |
                       COINIT_DISABLE_OLE1DDE))) {}

ComApartment::~ComApartment() {
    if (initialised_)
        CoUninitialize();
}

} // namespace tamrick
