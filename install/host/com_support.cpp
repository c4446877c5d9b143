#include "com_support.h"

#include "base/error.h"
#include "base/system_text.h"

#include <cwchar>
#include <cwctype>
#include <iterator>
#include <limits>

namespace tamrick {

Bstr MakeBstr(std::wstring_view text) {
    if (text.size() > std::numeric_limits<UINT>::max())
        throw Error(ErrorNumberFor(E_OUTOFMEMORY), DescribeHresult(E_OUTOFMEMORY));
    Bstr result{SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))};
    if (!result)
        throw Error(ErrorNumberFor(E_OUTOFMEMORY), DescribeHresult(E_OUTOFMEMORY));
    return result;
}

std::wstring FromBstr(BSTR text) {
    return text ? std::wstring(text, SysStringLen(text)) : L"";
}

std::int32_t ErrorNumberFor(HRESULT hr) {
    if (FAILED(hr) && HRESULT_FACILITY(hr) == FACILITY_CONTROL)
        return static_cast<std::int32_t>(HRESULT_CODE(hr));
    return static_cast<std::int32_t>(hr);
}

std::wstring DescribeHresult(HRESULT hr) {
    std::wstring text = SystemMessageText(static_cast<std::uint32_t>(hr));
    if (!text.empty())
        return text;
    wchar_t code[16];
    std::swprintf(code, std::size(code), L"0x%08lX", static_cast<unsigned long>(hr));
    return L"Automation error " + std::wstring(code);
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
