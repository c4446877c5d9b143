#pragma once
// `instinfo plan`: what the installation run would do with an add-on folder. The installer's own
// run logic is driven with a simulated window, host and file system; nothing is touched.

#include "simulation.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tamrick {

struct PlanItem {
    std::size_t row = 0;
    std::size_t line = 0; // of the "fileitem" line; 0 for an empty row
    std::wstring caption; // on the button while the item runs
    bool required = false;
    std::wstring folder;   // where the target leads, in words; empty when the item needs none
    std::string operation; // "copy", "import", "delete", "nothing", "skipped" or "stop"
    std::wstring text;     // what happens, in words
};

struct PlanStep {
    // "start", "window", "record", "find-hosts", "confirm", "disable", "caption", "close-host",
    // "pause", "open-host", "switch", "item", "release-host", "entry", "message-information",
    // "message-error" or "end"
    std::string kind;
    std::wstring text;
    std::optional<PlanItem> item;
    std::optional<int> version; // the major of the version the step works on, where one is
};

struct Plan {
    std::vector<PlanStep> steps;
    // "success", "abort" (an abort report), "error" (the run's error message) or "no-window"
    std::string outcome;
    // The versions the description names, and those the plan takes to be installed; both empty
    // without "HostVersions" (X3 alone, as always).
    std::vector<int> named;
    std::vector<int> installed;
};

// `folder` ends in a separator.
Plan MakePlan(const std::wstring& folder, const PlanOptions& options = {});

// Numbered steps, UTF-8.
std::string PlanText(const Plan& plan, const std::wstring& fileName);
std::string PlanJson(const Plan& plan, const std::wstring& fileName);

} // namespace tamrick
