#include "text_case.h"

#include <climits>

#include <windows.h>

namespace tamrick {

// LCMapStringW with the invariant locale: there since Windows 2000, unlike LCMapStringEx.
std::wstring ToLowerText(std::wstring_view text) {
    std::wstring out(text);
    if (!out.empty() && out.size() <= static_cast<std::size_t>(INT_MAX)) {
        ::LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, out.data(), static_cast<int>(out.size()),
                       out.data(), static_cast<int>(out.size()));
    }
    return out;
}

} // namespace tamrick
