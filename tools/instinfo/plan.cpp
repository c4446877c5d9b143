#include "plan.h"

#include "description/decode.h"
#include "description/host_versions.h"
#include "description/model.h"
#include "description/reader.h"
#include "files.h"
#include "install/host/host.h"
#include "install/reports.h"
#include "install/run.h"
#include "json.h"
#include "picture.h"
#include "text.h"

#include <algorithm>
#include <span>

namespace tamrick {
namespace {

// What the run did to the simulated world, one entry per call.
struct Event {
    enum class Kind {
        Find, // number: how many of the versions named are taken to be installed
        Confirm,
        Disable,
        Caption,
        CloseHost,
        Pause,
        Create, // number: the major
        Open,
        Switch,
        Release,
        Resolve, // text: the key, path: the folder answered
        Import,
        Exists, // answer: the result; assumed: answered by the policy, not by looking
        Copy,   // text: the source, path: the folder
        Delete,
        Item, // number: the row; path: the folder the items before it left
        Message,
    };
    Kind kind;
    std::wstring text;
    std::wstring path;
    bool answer = false;
    bool assumed = false;
    bool report = false; // an abort report, which ends the run
    std::size_t number = 0;
};

using Events = std::vector<Event>;

// Each row as the run reaches it, with the folder carried to it.
class ItemObserver final : public RunObserver {
  public:
    explicit ItemObserver(Events& events) : events_(events) {}
    void ItemStarting(std::size_t row, std::wstring_view destFolder) override {
        Event e{Event::Kind::Item, {}, std::wstring(destFolder)};
        e.number = row;
        events_.push_back(e);
    }

  private:
    Events& events_;
};

class SimWindow : public RunWindow {
  public:
    explicit SimWindow(Events& events) : events_(events) {}
    bool Confirm(const std::wstring& text) override {
        events_.push_back({Event::Kind::Confirm, text, {}});
        return true;
    }
    void DisableButton() override { events_.push_back({Event::Kind::Disable, {}, {}}); }
    void SetCaption(const std::wstring& caption) override {
        events_.push_back({Event::Kind::Caption, caption, {}});
    }
    void PauseWithEvents(std::chrono::milliseconds duration) override {
        Event e{Event::Kind::Pause, {}, {}};
        e.number = static_cast<std::size_t>(duration.count());
        events_.push_back(e);
    }
    void ShowMessage(const std::wstring& text, MessageKind kind) override {
        Event e{Event::Kind::Message, text, {}};
        e.answer = kind == MessageKind::Error;
        events_.push_back(e);
    }
    void ReportMissingFile(const std::wstring& path) override { Report(MissingFileReport(path)); }
    void ReportBadFolder(const std::wstring& path, int major) override {
        Report(BadFolderReport(path, major));
    }

  private:
    void Report(const std::wstring& text) {
        Event e{Event::Kind::Message, text, {}};
        e.answer = true;
        e.report = true;
        events_.push_back(e);
    }

    Events& events_;
};

class SimCloser : public HostCloser {
  public:
    explicit SimCloser(Events& events) : events_(events) {}
    void StartClosingHost() override { events_.push_back({Event::Kind::CloseHost, {}, {}}); }

  private:
    Events& events_;
};

// One version of the host; its folders are the ones given for it, else those given for every
// version, else a placeholder that names the key (and the version, where versions are named).
class SimHost : public Host {
  public:
    SimHost(Events& events, const PlanOptions& options, int major, bool named)
        : events_(events), options_(options), major_(major), named_(named) {}
    void Open() override { events_.push_back({Event::Kind::Open, {}, {}}); }
    void SetInvisible() override { events_.push_back({Event::Kind::Switch, {}, {}}); }
    std::optional<std::wstring> ResolveFolder(const std::wstring& key) override {
        if (!FolderForKey(key)) {
            return std::nullopt;
        }
        std::wstring folder = Given(key).value_or(
            L"<" + (named_ ? HostVersionDisplayName(major_) + L":" : L"") + key + L">");
        events_.push_back({Event::Kind::Resolve, key, folder});
        return folder;
    }
    void ImportWorkspace(const std::wstring& path) override {
        events_.push_back({Event::Kind::Import, {}, path});
    }
    void Release() noexcept override {
        try {
            events_.push_back({Event::Kind::Release, {}, {}});
        } catch (...) {
            // Only the plan's record of it is lost.
        }
    }

  private:
    std::optional<std::wstring> Given(const std::wstring& key) const {
        for (const HostFolders* folders :
             {options_.versionFolders.contains(major_) ? &options_.versionFolders.at(major_)
                                                       : nullptr,
              &options_.folders}) {
            if (folders != nullptr && folders->contains(key)) {
                return folders->at(key);
            }
        }
        return std::nullopt;
    }

    Events& events_;
    const PlanOptions& options_;
    int major_;
    bool named_;
};

// Answers for the add-on folder by looking; the host's folders are on the user's machine, where
// a file to delete is taken to be there.
class SimFiles : public FileSystemOps {
  public:
    SimFiles(Events& events, std::wstring appFolder)
        : events_(events), appFolder_(std::move(appFolder)) {}
    bool FileExists(const std::wstring& path) override {
        Event e{Event::Kind::Exists, {}, path};
        e.assumed = !path.starts_with(appFolder_);
        e.answer = e.assumed ||
                   FoundOnWindows(LookUpFile(
                       LocalPath(appFolder_, std::wstring_view(path).substr(appFolder_.size()))));
        events_.push_back(e);
        return e.answer;
    }
    void CopyFileInto(const std::wstring& source, const std::wstring& folder) override {
        events_.push_back({Event::Kind::Copy, source, folder});
    }
    void RemoveFile(const std::wstring& path) override {
        events_.push_back({Event::Kind::Delete, {}, path});
    }

  private:
    Events& events_;
    std::wstring appFolder_;
};

// Turns the events of one row into what a packager wants to know about it; `carried` is the
// folder that the items before it left.
PlanItem DescribeItem(const FileItem& item, std::size_t row, std::size_t line,
                      const std::wstring& carried, const Events& events, bool stopped) {
    PlanItem p;
    p.row = row;
    p.line = line;
    p.required = IsRequired(item);
    const Event* exists = nullptr;
    for (const Event& e : events) {
        switch (e.kind) {
        case Event::Kind::Caption:
            p.caption = e.text;
            break;
        case Event::Kind::Resolve:
            p.folder = e.text + L" -> " + (e.path.empty() ? L"\"\" (empty)" : e.path);
            break;
        case Event::Kind::Exists:
            exists = &e;
            break;
        case Event::Kind::Copy:
            p.operation = "copy";
            p.text = L"copy " + e.text + L" into " + e.path;
            break;
        case Event::Kind::Import:
            p.operation = "import";
            p.text = L"CorelDRAW imports " + e.path + L" as a workspace";
            break;
        case Event::Kind::Delete:
            p.operation = "delete";
            p.text = L"delete " + e.path;
            if (exists != nullptr && exists->assumed) {
                p.text += p.required ? L" (if it is there; if not, the installation stops "
                                       L"with the missing-file report)"
                                     : L" (if it is there; if not, the item is skipped)";
            }
            break;
        default:
            break;
        }
    }
    const ItemFolderUse use = FolderUseOf(item);
    const bool acting = use != ItemFolderUse::None;
    if (use == ItemFolderUse::CarriesOver) {
        p.folder = L"target " + Quote(item.Target) +
                   L" names no folder; the previous one "
                   L"stays: " +
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
    } else if (acting) {
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

void Run(const SharedState& state, const ParsedDescription& d, const PlanOptions& options,
         Plan& plan) {
    Events events;
    SimWindow window(events);
    SimCloser closer(events);
    std::unique_ptr<Host> hostApp;
    std::unique_ptr<FileSystemOps> fileSystem;
    const bool named = !state.HostVersions.empty();
    RunServices services{window, closer,
                         [&](std::span<const int> versions) {
                             // The user's registry can't be read from here: every version named is
                             // taken to be installed, unless the packager says otherwise.
                             std::vector<int> installed;
                             for (const int major : versions) {
                                 if (!options.installed ||
                                     std::find(options.installed->begin(), options.installed->end(),
                                               major) != options.installed->end()) {
                                     installed.push_back(major);
                                 }
                             }
                             Event e{Event::Kind::Find, {}, {}};
                             e.number = installed.size();
                             events.push_back(e);
                             plan.installed = installed;
                             return installed;
                         },
                         [&](int major) -> std::unique_ptr<Host> {
                             Event e{Event::Kind::Create, {}, {}};
                             e.number = static_cast<std::size_t>(major);
                             events.push_back(e);
                             return std::make_unique<SimHost>(events, options, major, named);
                         },
                         [&]() -> std::unique_ptr<FileSystemOps> {
                             return std::make_unique<SimFiles>(events, state.AppFolder);
                         }};
    ItemObserver observer(events);
    services.observer = &observer;
    plan.named = state.HostVersions;
    RunInstallation(state, RunMembers{hostApp, fileSystem}, services);

    // The version that the steps work on, where the description names versions: from the caption
    // that announces it (the event before its creation) to the switch that ends its walk. An
    // abort report or an error within the walk belongs to it.
    std::optional<int> version;
    int switches = 0;            // of the version at work
    std::optional<int> previous; // the version whose walk ended last
    const auto add = [&](std::string kind, std::wstring text) {
        PlanStep step = Step(std::move(kind), std::move(text));
        step.version = version;
        plan.steps.push_back(std::move(step));
    };
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        switch (e.kind) {
        case Event::Kind::Find:
            add("find-hosts", FindText(plan.named, plan.installed));
            break;
        case Event::Kind::Confirm:
            add("confirm", e.text);
            break;
        case Event::Kind::Disable:
            add("disable", L"the button is disabled");
            break;
        case Event::Kind::Caption:
            if (!plan.named.empty() && i + 1 < events.size() &&
                events[i + 1].kind == Event::Kind::Create) {
                version = static_cast<int>(events[i + 1].number);
                switches = 0;
            }
            add("caption", e.text);
            break;
        case Event::Kind::CloseHost:
            add("close-host", L"every running " + std::wstring(kHostImageName) +
                                  L" is closed by force, without waiting");
            break;
        case Event::Kind::Pause:
            add("pause", L"pause of " + std::to_wstring(e.number / 1000) + L" s");
            break;
        case Event::Kind::Open:
            add("open-host", OpenText(version.value_or(kX3Major)));
            break;
        case Event::Kind::Switch:
            add("switch", L"the host's switch is set to false");
            if (++switches == 2) {
                previous = version;
                version.reset();
            }
            break;
        case Event::Kind::Release:
            add("release-host", L"CorelDRAW " +
                                    HostVersionDisplayName(previous.value_or(kX3Major)) +
                                    L"'s automation object is released");
            break;
        case Event::Kind::Item: {
            // The row's events run up to the next row, the closing switch or a message.
            std::size_t end = i + 1;
            while (end < events.size() && events[end].kind != Event::Kind::Item &&
                   events[end].kind != Event::Kind::Switch &&
                   events[end].kind != Event::Kind::Release &&
                   events[end].kind != Event::Kind::Message) {
                ++end;
            }
            const bool stopped = end < events.size() && events[end].kind == Event::Kind::Message &&
                                 events[end].report;
            const Events rowEvents(events.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                   events.begin() + static_cast<std::ptrdiff_t>(end));
            PlanStep step = Step("item", {});
            step.version = version;
            step.item = DescribeItem((*state.FileItems)[e.number], e.number, d.ItemLines[e.number],
                                     e.path, rowEvents, stopped);
            plan.steps.push_back(std::move(step));
            i = end - 1;
            break;
        }
        case Event::Kind::Message:
            add(e.answer ? "message-error" : "message-information", e.text);
            plan.outcome = !e.answer ? "success" : e.report ? "abort" : "error";
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
        if (banner.state == BannerState::Unreadable || banner.state == BannerState::NotPicture) {
            plan.steps.push_back(
                Step("start", L"banner " + Quote(d.FlagsPicture) +
                                  L" is not a readable picture: the installer stops with an "
                                  L"unhandled-error report before its window shows"));
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
    if (!step.item) {
        return ToUtf8(step.text);
    }
    const PlanItem& item = *step.item;
    std::string out = "item " + std::to_string(item.row + 1);
    out += item.line == 0 ? std::string(" (empty row)") : ", line " + std::to_string(item.line);
    out += item.required ? ", required" : ", optional";
    out += ": caption " + ToUtf8(Quote(item.caption));
    const std::string pad(indent + 2, ' ');
    if (!item.folder.empty()) {
        out += "\n" + pad + "folder: " + ToUtf8(item.folder);
    }
    out += "\n" + pad + ToUtf8(item.text);
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
