#pragma once
// The installer's own run, driven over a simulated world: a window that answers OK, hosts whose
// folders are given or named, and the add-on folder as it is on this disk. Nothing is touched.
// What the run did comes back as it told its observer and its window, so `plan` and `check`
// learn it from the run itself, never from a second copy of its rules. With an add-on id the run
// has a record, which takes back every change of a failed run.

#include "description/model.h"
#include "install/run.h"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace tamrick {

// Host folders by lower-case target key; a key not given answers "<key>" ("<X7:key>" where the
// description names versions).
using HostFolders = std::map<std::wstring, std::wstring>;

struct PlanOptions {
    HostFolders folders;                       // for every version
    std::map<int, HostFolders> versionFolders; // for one version, before `folders`
    // The versions taken to be installed; without it, every version named.
    std::optional<std::vector<int>> installed;
    // Whether the files that items delete from CorelDRAW's folders are there; they are on the
    // user's machine, so either can happen.
    bool hostFilesThere = true;
    // Paths taken to be there all the same, so that a check can look past a missing one.
    std::set<std::wstring> present;
};

struct Happening {
    enum class Kind {
        FindHosts, // the installed versions were looked up
        Confirm,   // text: the warning
        Disable,
        Caption, // text
        CloseHost,
        Pause,       // number: milliseconds
        OpenHost,    // number: the host object's major
        KeepHidden,  // number: the host object's major
        ReleaseHost, // number: the host object's major
        Item,        // a row starts; path: the folder that the items before it left
        Folder,      // text: the key asked for; path: the folder returned
        Exists,      // path; answer; assumed: answered by assumption, not by looking
        Copied,      // text: the source; path: the destination
        Imported,    // path
        Deleted,     // path
        Skipped,     // path; reason
        Ended,       // text: the message; outcome
        Commit,      // the record is kept and the add-on listed for removal
    };
    Kind kind;
    std::wstring text;
    std::wstring path;
    std::size_t number = 0;
    bool answer = false;
    bool assumed = false;
    SkipReason reason = SkipReason::NoAction;
    RunOutcome outcome = RunOutcome::Succeeded;
    // The version at work (13 is X3, also without versions named) and the row at work.
    std::optional<int> version;
    std::optional<std::size_t> row;
};

struct Simulation {
    std::vector<Happening> happenings;
    std::vector<int> installed; // the versions that the run was told are installed
    RunOutcome outcome = RunOutcome::Cancelled;
};

inline bool IsAbortReport(RunOutcome outcome) {
    return outcome == RunOutcome::MissingFile || outcome == RunOutcome::BadFolder;
}

// Where the row that starts at `item` (an Item happening) ends: at the next row, the version's
// end, or the message that ends the run (which, tagged with the row, is the row's doing).
std::size_t EndOfRow(std::span<const Happening> all, std::size_t item);
// The abort report that ended the run inside that row, if one did.
const Happening* StopOfRow(std::span<const Happening> all, std::size_t item);

// The folder that a host of that version answers for a key.
std::wstring SimulatedFolder(const PlanOptions& options, int major, bool named,
                             const std::wstring& key);

// `state.AppFolder` is the add-on folder on this disk, ending in a separator.
Simulation Simulate(const SharedState& state, const PlanOptions& options);

// The run made again past every item that stops it, so that each stop is seen: after a stop the
// file that the item missed is taken to be there, or an item without a folder is taken as
// optional. `look` sees each run, the first as it is.
void SimulatePastStops(SharedState state, PlanOptions options,
                       const std::function<void(const Simulation&)>& look);

} // namespace tamrick
