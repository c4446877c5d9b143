#include "text_case.h"

#include <climits>

#include <windows.h>

namespace tamrick {
namespace {

// LCMapStringW with the invariant locale: there since Windows 2000, unlike LCMapStringEx.
std::wstring MapInvariant(std::wstring_view text, DWORD how) {
    std::wstring out(text);
    if (!out.empty() && out.size() <= static_cast<std::size_t>(INT_MAX)) {
        ::LCMapStringW(LOCALE_INVARIANT, how, out.data(), static_cast<int>(out.size()), out.data(),
                       static_cast<int>(out.size()));
    }
    return out;
}

} // namespace

std::wstring ToUpperInvariant(std::wstring_view text) {
    return MapInvariant(text, LCMAP_UPPERCASE);
}

std::wstring ToLowerInvariant(std::wstring_view text) {
    return MapInvariant(text, LCMAP_LOWERCASE);
}

} // namespace tamrick
