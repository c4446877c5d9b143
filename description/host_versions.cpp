#include "host_versions.h"

#include "base/decimal.h"
#include "base/text_case.h"
#include "base/trim.h"

#include <algorithm>
#include <array>

namespace tamrick {
namespace {

// 2023 kept 2022's major, so both names stand for 24; 2024 and 2025 have majors of
// their own. The sources are in docs/host-versions.md.
constexpr std::array<HostVersionName, 15> kNames{{
    {13, L"X3"},
    {14, L"X4"},
    {15, L"X5"},
    {16, L"X6"},
    {17, L"X7"},
    {18, L"X8"},
    {19, L"2017"},
    {20, L"2018"},
    {21, L"2019"},
    {22, L"2020"},
    {23, L"2021"},
    {24, L"2022"},
    {24, L"2023"},
    {25, L"2024"},
    {26, L"2025"},
}};

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// One end of a range, or a whole entry that is no range.
struct Version {
    std::optional<int> major;
    HostVersionProblemKind problem = HostVersionProblemKind::UnknownName;
};

Version ReadVersion(std::wstring_view text) {
    if (const auto major = MajorForName(text)) {
        return {major};
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit)) {
        return {};
    }
    // A year that is no release's name reads as an unknown name, not as a number too large.
    const auto significant = text.substr(std::min(text.find_first_not_of(L'0'), text.size()));
    if (significant.size() == 4) {
        return {};
    }
    if (significant.size() > 2) {
        return {std::nullopt, HostVersionProblemKind::OutOfRange};
    }
    int major = 0;
    for (const wchar_t c : significant) {
        major = major * 10 + (c - L'0');
    }
    if (major < kX3Major) {
        return {std::nullopt, HostVersionProblemKind::OutOfRange};
    }
    return {major};
}

struct Entry {
    std::optional<HostVersionProblemKind> problem;
    int first = 0;
    int last = -1; // first..last, both included
};

Entry ReadEntry(std::wstring_view entry) {
    if (entry.empty()) {
        return {HostVersionProblemKind::Empty};
    }
    const auto dash = entry.find(L'-');
    if (dash == std::wstring_view::npos) {
        const Version version = ReadVersion(entry);
        if (!version.major) {
            return {version.problem};
        }
        return {std::nullopt, *version.major, *version.major};
    }
    const Version from = ReadVersion(Trim(entry.substr(0, dash)));
    const Version to = ReadVersion(Trim(entry.substr(dash + 1)));
    if (!from.major || !to.major) {
        // An end that is no version at all says more than an end out of range.
        const bool unknown = (!from.major && from.problem == HostVersionProblemKind::UnknownName) ||
                             (!to.major && to.problem == HostVersionProblemKind::UnknownName);
        return {unknown ? HostVersionProblemKind::UnknownName : HostVersionProblemKind::OutOfRange};
    }
    if (*from.major > *to.major) {
        return {HostVersionProblemKind::ReversedRange};
    }
    return {std::nullopt, *from.major, *to.major};
}

} // namespace

std::span<const HostVersionName> HostVersionNames() {
    return kNames;
}

std::wstring HostProgId(int major) {
    return L"CorelDRAW.Application." + DecimalText(major);
}

std::optional<int> MajorForName(std::wstring_view name) {
    for (const HostVersionName& known : kNames) {
        if (EqualsIgnoringAsciiCase(name, known.name)) {
            return known.major;
        }
    }
    return std::nullopt;
}

std::wstring HostVersionDisplayName(int major) {
    std::wstring name;
    for (const HostVersionName& known : kNames) {
        if (known.major == major) {
            if (!name.empty()) {
                name += L'/';
            }
            name += known.name;
        }
    }
    return name.empty() ? DecimalText(major) : name;
}

std::wstring HostVersionsPhrase(std::span<const int> majors) {
    std::wstring phrase;
    const auto append = [&](int major) {
        if (!phrase.empty()) {
            phrase += L'、';
        }
        phrase += HostVersionDisplayName(major);
    };
    for (std::size_t i = 0; i < majors.size();) {
        std::size_t end = i + 1;
        while (end < majors.size() && majors[end] == majors[end - 1] + 1) {
            ++end;
        }
        if (end - i >= 3) {
            append(majors[i]);
            phrase += L" 至 " + HostVersionDisplayName(majors[end - 1]);
        } else {
            for (std::size_t j = i; j < end; ++j) {
                append(majors[j]);
            }
        }
        i = end;
    }
    return phrase;
}

HostVersionList ParseHostVersions(std::wstring_view value) {
    HostVersionList list;
    if (Trim(value).empty()) {
        return list;
    }
    // Majors are few and small: a flag for each, which also keeps them ascending.
    std::array<bool, kLastHostMajor + 1> named{};
    std::size_t begin = 0;
    for (;;) {
        const auto comma = value.find(L',', begin);
        const std::wstring_view entry =
            Trim(value.substr(begin, comma == std::wstring_view::npos ? comma : comma - begin));
        const Entry read = ReadEntry(entry);
        if (read.problem) {
            list.problems.push_back({*read.problem, std::wstring(entry), {}});
        }
        std::vector<int> again;
        for (int major = read.first; major <= read.last; ++major) {
            bool& seen = named[static_cast<std::size_t>(major)];
            if (seen) {
                again.push_back(major);
            }
            seen = true;
        }
        if (!again.empty()) {
            list.problems.push_back(
                {HostVersionProblemKind::Duplicate, std::wstring(entry), std::move(again)});
        }
        if (comma == std::wstring_view::npos) {
            break;
        }
        begin = comma + 1;
    }
    for (int major = 0; major <= kLastHostMajor; ++major) {
        if (named[static_cast<std::size_t>(major)]) {
            list.majors.push_back(major);
        }
    }
    return list;
}

} // namespace tamrick
