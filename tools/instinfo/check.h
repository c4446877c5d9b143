#pragma once
// `instinfo check`: reads an add-on folder as the installer would and tells the packager, line by
// line, what the installer will do that the packager very likely did not mean.

#include "description/decode.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tamrick {

enum class Severity {
    Error,   // the installer will abort, crash or end without a word
    Warning, // it will do something the packager very likely did not mean
    Note,    // worth knowing
};

struct Finding {
    std::size_t line = 0; // 1-based; 0 for the description as a whole
    Severity severity = Severity::Note;
    std::string code; // stable name for scripts, such as "action-space"
    std::wstring message;
};

struct CheckReport {
    std::optional<Encoding> encoding; // absent when the description was not read
    std::vector<Finding> findings;    // by line, the whole description first
    std::size_t Count(Severity severity) const;
};

// `folder` ends in a separator.
CheckReport CheckFolder(const std::wstring& folder);

// One finding a line, "InstInfo.ini:12: warning: ...", then a summary line; UTF-8.
std::string CheckText(const CheckReport& report, const std::wstring& fileName);
std::string CheckJson(const CheckReport& report, const std::wstring& fileName);

// 0 without errors, 1 with one (with `strict`, also with a warning).
int CheckExitStatus(const CheckReport& report, bool strict);

} // namespace tamrick
