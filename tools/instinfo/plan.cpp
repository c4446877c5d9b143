#include "plan.h"

#include "description/decode.h"
#include "description/host_versions.h"
#include "description/model.h"
#include "description/reader.h"
#include "files.h"
#include "install/run.h"
#include "json.h"
#include "picture.h"
#include "record/record_names.h"
#include "simulation.h"
#include "text.h"

#include <algorithm>
#include <map>
#include <span>
#include <tuple>
#include <utility>

namespace tamrick {
namespace {

using Kind = Happening::Kind;

// What a packager wants to know about one row in one version, from what the run did with it;
// `carried` is the folder that the items before it left.
// `notThere` is the message that stops the run where the file to delete is not there.
PlanItem DescribeItem(const FileItem& item, std::size_t row, std::size_t line,
                      const std::wstring& carried, std::span<const Happening> happenings,
                      bool stopped, const std::wstring& notThere) {
    PlanItem p;
    p.row = row;
    p.line = line;
    p.required = IsRequired(item);
    const Happening* exists = nullptr;
    for (const Happening& h : happenings) {
        switch (h.kind) {
        case Kind::Caption:
            p.caption = h.text;
            break;
        case Kind::Folder:
            p.folder = h.text + L" -> " + (h.path.empty() ? L"\"\" (empty)" : h.path);
            break;
        case Kind::Exists:
            exists = &h;
            break;
        case Kind::Copied:
            p.operation = "copy";
            p.text = L"copy " + h.text + L" to " + h.path;
            break;
        case Kind::Imported:
            p.operation = "import";
            p.text = L"CorelDRAW imports " + h.path + L" as a workspace";
            break;
        case Kind::Deleted:
            p.operation = "delete";
            p.text = L"delete " + h.path;
            if (exists != nullptr && exists->assumed) {
                p.text += p.required && !notThere.empty()
                              ? L" (if it is there); where it is not, the installation stops with "
                                L"the message\r\n" +
                                    notThere
                              : std::wstring(L" (if it is there; if not, the item is skipped)");
            }
            break;
        default:
            break;
        }
    }
    const ItemFolderUse use = FolderUseOf(item);
    if (use == ItemFolderUse::CarriesOver) {
        p.folder = L"target " + Quote(item.Target) + L" names no folder; the previous one stays: " +
                   (carried.empty() ? L"none yet (empty)" : carried);
    }
    if (!p.operation.empty()) {
        return p;
    }
    const std::wstring why = exists != nullptr && !exists->answer
                                 ? exists->path + L" is not there"
                                 : std::wstring(L"the folder is empty");
    if (stopped) {
        p.operation = "stop";
        p.text = L"the installation stops: " + why;
    } else if (use != ItemFolderUse::None) {
        p.operation = "skipped";
        p.text = L"skipped: " + why + L" (the item is optional)";
    } else {
        p.operation = "nothing";
        p.text = line == 0
                     ? std::wstring(L"nothing: an empty row, left by a last "
                                    L"\"fileitem\" line with too few fields")
                     : L"nothing: action " + Quote(item.Action) + L" is neither \"c\" nor \"k\"";
    }
    return p;
}

PlanStep Step(std::string kind, std::wstring text) {
    return PlanStep{std::move(kind), std::move(text), std::nullopt, std::nullopt};
}

std::wstring ProgIds(std::span<const int> majors) {
    std::wstring text;
    for (const int major : majors) {
        text +=
            (text.empty() ? L"" : L", ") + (major == kX3Major ? L"X3's class" : HostProgId(major));
    }
    return text;
}

std::wstring FindText(std::span<const int> named, std::span<const int> installed) {
    std::wstring text = L"the installer looks in the registry for CorelDRAW " +
                        HostVersionsPhrase(named) + L" (" + ProgIds(named) + L"); ";
    if (installed.empty()) {
        return text + L"the plan takes none of them to be installed";
    }
    return text + L"the plan takes " + HostVersionsPhrase(installed) + L" to be installed";
}

std::wstring OpenText(int major) {
    if (major == kX3Major) {
        return L"CorelDRAW X3 is started through its automation interface";
    }
    return L"CorelDRAW " + HostVersionDisplayName(major) + L" is started through " +
           HostProgId(major) + L", driven by member name";
}

// Where the record folder of an installation in that scope is, as the system's variable names it.
std::wstring RecordFolderIn(const wchar_t* variable, const SharedState& state) {
    return std::wstring(variable) + L"\\" + RecordFolderBelow(state.AddonId);
}

std::wstring RecordText(const SharedState& state) {
    return L"every change is recorded before it is made, in the record folder (" +
           std::wstring(kUninstallerName) + L", " + kRecordName + L", " + kBackupsName +
           L"\\ with the files it replaces or deletes):\r\nas an administrator: " +
           RecordFolderIn(L"%ProgramData%", state) + L"\r\nas a standard user: " +
           RecordFolderIn(L"%LOCALAPPDATA%", state) +
           L"\r\nwhere the installation fails, what it changed is taken back and its message "
           L"ends with " +
           kChangesUndoneLine;
}

std::wstring EntryText(const SharedState& state) {
    std::wstring text = L"the record is kept and Apps & features lists the add-on: DisplayName " +
                        Quote(state.AddonName) + L", DisplayVersion " + Quote(state.AddonVersion) +
                        L", Publisher " + Quote(state.Publisher);
    for (const auto& [scope, root, variable] :
         {std::tuple(L"as an administrator", L"HKLM", L"%ProgramData%"),
          std::tuple(L"as a standard user", L"HKCU", L"%LOCALAPPDATA%")}) {
        text += L"\r\n" + std::wstring(scope) + L": " + root + L"\\" +
                UninstallKeyPath(state.AddonId) + L", removed silently by " +
                QuietUninstallString(RecordFolderIn(variable, state) + kUninstallerName);
    }
    return text;
}

// The steps of the simulated run, one a happening; a row's happenings make one item step.
void Run(const SharedState& state, const ParsedDescription& d, const PlanOptions& options,
         Plan& plan) {
    const Simulation simulation = Simulate(state, options);
    // What a required delete item stops with, by version and row, where its file is not there.
    std::map<std::pair<std::optional<int>, std::size_t>, std::wstring> notThere;
    PlanOptions absent = options;
    absent.hostFilesThere = false;
    SimulatePastStops(state, absent, [&](const Simulation& run) {
        const Happening& end = run.happenings.back();
        if (end.row && end.outcome == RunOutcome::MissingFile) {
            notThere.emplace(std::pair(end.version, *end.row), end.text);
        }
    });
    plan.named = state.HostVersions;
    plan.installed = simulation.installed;
    const bool named = !plan.named.empty();
    const std::vector<Happening>& all = simulation.happenings;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Happening& h = all[i];
        const auto add = [&](std::string kind, std::wstring text) {
            PlanStep& step = plan.steps.emplace_back(Step(std::move(kind), std::move(text)));
            if (named) {
                step.version = h.version;
            }
        };
        switch (h.kind) {
        case Kind::FindHosts:
            add("find-hosts", FindText(plan.named, plan.installed));
            break;
        case Kind::Confirm:
            add("confirm", h.text);
            break;
        case Kind::Disable:
            add("disable", L"the button is disabled");
            break;
        case Kind::Caption:
            add("caption", h.text);
            break;
        case Kind::CloseHost:
            add("close-host", L"every running " + std::wstring(kHostImageName) +
                                  L" is closed by force, without waiting");
            break;
        case Kind::Pause:
            add("pause", L"pause of " + std::to_wstring(h.number / 1000) + L" s");
            break;
        case Kind::OpenHost:
            add("open-host", OpenText(static_cast<int>(h.number)));
            break;
        case Kind::KeepHidden:
            add("switch", L"CorelDRAW " + HostVersionDisplayName(static_cast<int>(h.number)) +
                              L" is kept hidden");
            break;
        case Kind::ReleaseHost:
            add("release-host", L"CorelDRAW " + HostVersionDisplayName(static_cast<int>(h.number)) +
                                    L"'s automation object is released");
            break;
        case Kind::Item: {
            // The row's happenings: those the run tagged with it, up to the next row.
            const std::size_t end = EndOfRow(all, i);
            const bool stopped = StopOfRow(all, i) != nullptr;
            PlanStep& step = plan.steps.emplace_back(Step("item", {}));
            if (named) {
                step.version = h.version;
            }
            const std::size_t row = *h.row;
            const auto stops = notThere.find(std::pair(h.version, row));
            step.item = DescribeItem((*state.FileItems)[row], row, d.ItemLines[row], h.path,
                                     std::span(all).subspan(i + 1, end - i - 1), stopped,
                                     stops == notThere.end() ? std::wstring() : stops->second);
            if (!state.AddonId.empty() && step.item->operation == "import") {
                step.item->text += L" (which no removal takes back)";
            }
            i = end - 1;
            break;
        }
        case Kind::Commit:
            add("entry", EntryText(state));
            break;
        case Kind::Ended:
            add(h.outcome == RunOutcome::Succeeded ? "message-information" : "message-error",
                h.text);
            plan.outcome = h.outcome == RunOutcome::Succeeded ? "success"
                           : IsAbortReport(h.outcome)         ? "abort"
                                                              : "error";
            break;
        default:
            break;
        }
    }
}

} // namespace

Plan MakePlan(const std::wstring& folder, const PlanOptions& options) {
    Plan plan;
    plan.outcome = "no-window";
    const DescriptionRead read = ReadDescription(folder);
    const ParsedDescription& d = read.description;
    if (read.missing) {
        plan.steps.push_back(Step("start", L"InstInfo.ini is missing"));
        plan.steps.push_back(Step("message-error", kMissingDescriptionMessage));
    } else if (!read.result) {
        plan.steps.push_back(Step("start", L"no \"fileitem\" line, or InstInfo.ini can't be "
                                           L"read: no window opens"));
    } else {
        const Banner banner = LookAtBanner(folder, d.FlagsPicture);
        if (const std::optional<BannerStop> stop = BannerStopsStartUp(banner)) {
            plan.steps.push_back(
                Step("start", L"banner " + Quote(d.FlagsPicture) + L" " + stop->problem +
                                  L": the installer stops before its window shows" +
                                  (stop->report ? L"" : L", with the system's reason")));
            if (stop->report) {
                plan.steps.push_back(Step("message-error", *stop->report));
            }
        } else {
            plan.steps.push_back(Step(
                "window",
                L"the window opens, titled " + Quote(d.SetupTitle) + L", with " +
                    (banner.state == BannerState::Picture
                         ? L"the banner " + Quote(d.FlagsPicture)
                         : L"the built-in banner (" + Quote(d.FlagsPicture) + L" is not there)")));
            SharedState state;
            state.AppFolder = folder;
            ApplyDescription(d, state);
            if (!state.AddonId.empty()) {
                plan.steps.push_back(Step("record", RecordText(state)));
            }
            Run(state, d, options, plan);
        }
    }
    plan.steps.push_back(Step("end", L"the installer ends"));
    return plan;
}

namespace {

// After a colon: a message of one line follows on the same line, one of several starts on a
// line of its own, indented.
std::string MessageText(const std::wstring& text, std::size_t indent) {
    if (text.find(L"\r\n") == std::wstring::npos) {
        return " " + ToUtf8(text);
    }
    const std::string pad = "\n" + std::string(indent, ' ');
    std::string out;
    std::size_t begin = 0;
    while (true) {
        const auto end = text.find(L"\r\n", begin);
        out += pad + ToUtf8(text.substr(begin, end == std::wstring::npos ? end : end - begin));
        if (end == std::wstring::npos) {
            return out;
        }
        begin = end + 2;
    }
}

// The text's first line as it is, each further one on a line of its own after `pad`.
std::string Indented(const std::wstring& text, const std::string& pad) {
    std::string out = ToUtf8(text);
    for (auto at = out.find("\r\n"); at != std::string::npos; at = out.find("\r\n")) {
        out.replace(at, 2, "\n" + pad);
    }
    return out;
}

std::string StepText(const PlanStep& step, std::size_t indent) {
    if (step.kind == "confirm") {
        return "confirmation (warning, OK and Cancel), answered OK:" +
               MessageText(step.text, indent + 2);
    }
    if (step.kind == "caption") {
        return "caption: " + ToUtf8(step.text);
    }
    if (step.kind == "message-error" || step.kind == "message-information") {
        return std::string("message (") + (step.kind == "message-error" ? "error" : "information") +
               "):" + MessageText(step.text, indent + 2);
    }
    const std::string pad(indent + 2, ' ');
    if (!step.item) {
        return Indented(step.text, pad);
    }
    const PlanItem& item = *step.item;
    std::string out = "item " + std::to_string(item.row + 1);
    out += item.line == 0 ? std::string(" (empty row)") : ", line " + std::to_string(item.line);
    out += item.required ? ", required" : ", optional";
    out += ": caption " + ToUtf8(Quote(item.caption));
    if (!item.folder.empty()) {
        out += "\n" + pad + "folder: " + ToUtf8(item.folder);
    }
    // The lines of a message that the text quotes follow, indented further.
    out += "\n" + pad + Indented(item.text, pad + "  ");
    return out;
}

} // namespace

std::string PlanText(const Plan& plan, const std::wstring& fileName) {
    std::string out = "plan for " + ToUtf8(fileName) + "\n";
    const std::size_t width = std::to_string(plan.steps.size()).size();
    for (std::size_t i = 0; i < plan.steps.size(); ++i) {
        std::string number = std::to_string(i + 1);
        number.insert(0, width - number.size(), ' ');
        out += number + ". " + StepText(plan.steps[i], width + 2) + "\n";
    }
    out += "outcome: " + plan.outcome + "\n";
    return out;
}

std::string PlanJson(const Plan& plan, const std::wstring& fileName) {
    std::string out = "{\n  \"file\": " + json::String(fileName);
    out += ",\n  \"outcome\": \"" + plan.outcome + "\"";
    out += ",\n  \"hostVersions\": ";
    out += plan.named.empty() ? std::string("null")
                              : "{\"named\": " + json::HostVersions(plan.named) +
                                    ", \"installed\": " + json::HostVersions(plan.installed) + "}";
    out += ",\n  \"steps\": [";
    for (std::size_t i = 0; i < plan.steps.size(); ++i) {
        const PlanStep& s = plan.steps[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"step\": " + std::to_string(i + 1) + ", \"kind\": \"" + s.kind + "\"";
        if (s.version) {
            out += ", \"version\": " + json::HostVersion(*s.version);
        }
        if (s.item) {
            const PlanItem& item = *s.item;
            out += ", \"row\": " + std::to_string(item.row);
            out +=
                ", \"line\": " + (item.line == 0 ? std::string("null") : std::to_string(item.line));
            out += ", \"caption\": " + json::String(item.caption);
            out += std::string(", \"required\": ") + (item.required ? "true" : "false");
            out += ", \"folder\": " +
                   (item.folder.empty() ? std::string("null") : json::String(item.folder));
            out += ", \"operation\": \"" + item.operation + "\"";
            out += ", \"text\": " + json::String(item.text) + "}";
        } else {
            out += ", \"text\": " + json::String(s.text) + "}";
        }
    }
    out += "\n  ]\n}\n";
    return out;
}

} // namespace tamrick
