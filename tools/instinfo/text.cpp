#include "text.h"

#include "base/trim.h"

#include <algorithm>
#include <vector>

namespace tamrick {
namespace {

// Optimal string alignment distance: insertions, deletions, substitutions and swaps of two
// neighbours each cost one.
std::size_t EditDistance(std::wstring_view a, std::wstring_view b) {
    const std::size_t width = b.size() + 1;
    std::vector<std::size_t> d((a.size() + 1) * width);
    const auto at = [&](std::size_t i, std::size_t j) -> std::size_t& { return d[i * width + j]; };
    for (std::size_t i = 0; i <= a.size(); ++i) {
        at(i, 0) = i;
    }
    for (std::size_t j = 0; j <= b.size(); ++j) {
        at(0, j) = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            at(i, j) = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                at(i, j) = std::min(at(i, j), at(i - 2, j - 2) + 1);
            }
        }
    }
    return at(a.size(), b.size());
}

} // namespace

bool IsBlank(wchar_t c) {
    return kBlanks.find(c) != std::wstring_view::npos;
}

std::wstring_view TrimBlanks(std::wstring_view text) {
    return Trim(text, kBlanks);
}

std::wstring WithoutBlanks(std::wstring_view text) {
    std::wstring out;
    for (const wchar_t c : text) {
        if (!IsBlank(c)) {
            out.push_back(c);
        }
    }
    return out;
}

std::wstring BlankHint(std::wstring_view text) {
    const std::wstring noun = text.find(L'\t') != std::wstring_view::npos ? L"tab"
                              : text.find(L'\x3000') != std::wstring_view::npos
                                  ? L"ideographic space"
                                  : L"space";
    const bool leading = !text.empty() && IsBlank(text.front());
    const bool trailing = !text.empty() && IsBlank(text.back());
    if (leading && trailing) {
        return L"blanks at both ends";
    }
    if (leading) {
        return L"a leading " + noun;
    }
    if (trailing) {
        return L"a trailing " + noun;
    }
    return L"an inner " + noun;
}

std::wstring Quote(std::wstring_view text) {
    std::wstring out = L"\"";
    for (const wchar_t c : text) {
        if (c == L'\t') {
            out += L"\\t";
        } else if (static_cast<std::uint32_t>(c) < 0x20) {
            static constexpr wchar_t kHex[] = L"0123456789abcdef";
            out += L"\\x";
            out.push_back(kHex[(c >> 4) & 0xF]);
            out.push_back(kHex[c & 0xF]);
        } else {
            out.push_back(c);
        }
    }
    out += L"\"";
    return out;
}

std::wstring_view Nearest(std::wstring_view text, std::span<const std::wstring_view> known) {
    const std::wstring bare = WithoutBlanks(text);
    for (const auto k : known) {
        if (bare == k) {
            return k;
        }
    }
    std::wstring_view best;
    std::size_t bestDistance = 3;
    for (const auto k : known) {
        const std::size_t distance = EditDistance(bare, k);
        if (distance < bestDistance) {
            best = k;
            bestDistance = distance;
        }
    }
    return best;
}

std::string Counted(std::size_t n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

} // namespace tamrick
