#pragma once
// The versions of CorelDRAW that a description names in "HostVersions": the one table of version
// names, the parse of the key's value, and the words that name versions in the messages.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tamrick {

// Program versions are named by their major number (X3 is 13). A packager may write any major
// from X3's on; two digits are enough for decades of yearly releases.
inline constexpr int kX3Major = 13;
inline constexpr int kLastHostMajor = 99;

struct HostVersionName {
    int major;
    std::wstring_view name; // as the product is sold, upper case
};

// Every name a packager may write, in ascending order of major. One major may have two names:
// a release that kept the previous major number is told apart by its minor number only, and
// registers the same automation class as its predecessor.
std::span<const HostVersionName> HostVersionNames();

// The automation ProgID that a version registers: "CorelDRAW.Application.17". X3 is found by its
// class instead.
std::wstring HostProgId(int major);

// The major a name stands for, in any case; std::nullopt for any other text.
std::optional<int> MajorForName(std::wstring_view name);

// A major as the messages write it: "X7", "2020", "2022/2023"; the bare number for a major that
// has no name yet ("27").
std::wstring HostVersionDisplayName(int major);

// An ascending set of majors as the messages write it: runs of three or more consecutive majors
// as "X7 至 2020", the rest one by one, all joined with "、": "X3、X7 至 2017、2020".
std::wstring HostVersionsPhrase(std::span<const int> majors);

enum class HostVersionProblemKind {
    Empty,         // nothing between two commas (or before or after one)
    UnknownName,   // neither a known name, a number, nor a range of them
    OutOfRange,    // a number, or a range's end, outside 13 to 99
    ReversedRange, // a range whose first end is above its second: it names nothing
    Duplicate,     // names a major that an earlier entry named already (only a warning)
};

struct HostVersionProblem {
    HostVersionProblemKind kind;
    std::wstring entry;      // the entry as written, without the spaces around it
    std::vector<int> majors; // for Duplicate: the majors named again
};

struct HostVersionList {
    std::vector<int> majors; // ascending, each once; empty when no entry could be read
    std::vector<HostVersionProblem> problems; // in the order of the entries
};

// Parses the value of "HostVersions": a comma-separated list whose entries lose the spaces around
// them (and around a range's "-"); an entry is a major number, a name in any case, or a range
// "A-B" of either, both ends included. An entry that can't be read names nothing.
HostVersionList ParseHostVersions(std::wstring_view value);

} // namespace tamrick
