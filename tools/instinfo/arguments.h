#pragma once
// instinfo's command line: from the arguments to what to run, or to the one line that says which
// argument was wrong and what was expected there.

#include "plan.h"

#include <optional>
#include <string>
#include <vector>

namespace tamrick {

struct Options {
    std::wstring command; // "show", "check", "plan" or "pack"
    std::optional<std::wstring> folder;
    bool json = false;
    bool strict = false;
    bool force = false;
    std::optional<std::wstring> output;
    PlanOptions plan;
};

struct Arguments {
    enum class Ask { Run, Help, Version, Mistake };
    Ask ask = Ask::Run;
    Options options;     // for Run
    std::string mistake; // for Mistake: "instinfo plan: --installed \"X9\": expected ...", UTF-8
};

// `args` without the program's name.
Arguments ParseArguments(const std::vector<std::wstring>& args);

} // namespace tamrick
