#include "check.h"

#include "base/error.h"
#include "description/host_versions.h"
#include "description/model.h"
#include "description/platform.h"
#include "description/reader.h"
#include "files.h"
#include "install/run.h"
#include "json.h"
#include "payload_files.h"
#include "picture.h"
#include "simulation.h"
#include "text.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <span>

namespace tamrick {
namespace {

using Kind = Happening::Kind;

// The last version whose workspace import (ImportWorkspace) a source confirms: X8.
constexpr int kLastImportConfirmedMajor = 18;

constexpr std::wstring_view kKeys[] = {kKeySetupTitle,   kKeyFlagsPicture, kKeyFileItem,
                                       kKeyHostVersions, kKeyAddonId,      kKeyAddonName,
                                       kKeyAddonVersion, kKeyPublisher};

bool IsCommentKey(std::wstring_view key) {
    return !key.empty() && (key.front() == L';' || key.front() == L'#' || key.front() == L'\'' ||
                            key.starts_with(L"//"));
}

bool HasNonAscii(std::wstring_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](wchar_t c) { return static_cast<std::uint32_t>(c) >= 0x80; });
}

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

std::size_t FieldCount(std::wstring_view value) {
    return static_cast<std::size_t>(std::count(value.begin(), value.end(), L'|')) + 1;
}

// Walks the decoded lines with the reader's own functions and collects the findings.
class Checker {
  public:
    explicit Checker(std::wstring folder) : folder_(std::move(folder)) {}

    void Line(const DescriptionLine& l) {
        const std::size_t number = l.number;
        if (firstNonAscii_ == 0 && HasNonAscii(l.text)) {
            firstNonAscii_ = number;
        }
        if (l.pieces < 2) {
            NoEquals(l.text, number);
            return;
        }
        if (l.known == DescriptionKey::None) {
            UnknownKey(l.key, number);
            return;
        }
        if (l.pieces > 2) {
            Add(number, Severity::Warning, "value-cut",
                L"a second \"=\" cuts the value: the installer reads only " + Quote(l.value));
        }
        switch (l.known) {
        case DescriptionKey::FileItem:
            FileItemLine(l.value, l.item, number);
            break;
        case DescriptionKey::SetupTitle:
            Repeated(kKeySetupTitle, l.value, number);
            break;
        case DescriptionKey::FlagsPicture:
            Repeated(kKeyFlagsPicture, l.value, number);
            break;
        case DescriptionKey::HostVersions:
            Repeated(kKeyHostVersions, l.value, number);
            break;
        case DescriptionKey::AddonId:
            Repeated(kKeyAddonId, l.value, number);
            break;
        case DescriptionKey::AddonName:
            Repeated(kKeyAddonName, l.value, number);
            break;
        case DescriptionKey::AddonVersion:
            Repeated(kKeyAddonVersion, l.value, number);
            break;
        case DescriptionKey::Publisher:
            Repeated(kKeyPublisher, l.value, number);
            break;
        case DescriptionKey::None:
            break;
        }
    }

    void Finish(const DescriptionRead& read) {
        const ParsedDescription& d = read.description;
        if (!d.ItemLines.empty() && d.ItemLines.back() == 0) {
            // The last "fileitem" line was too short: the reader ends the table with an empty row.
            for (Finding& f : findings_) {
                if (f.line == lastItemLine_ && f.code == "too-few-fields") {
                    f.message = f.message.substr(0, f.message.find(L", so the installer")) +
                                L"; as the last \"fileitem\" line, it leaves an empty row at the "
                                L"end of the table, which does nothing";
                }
            }
        }
        const Encoding encoding = read.description.encoding;
        if (encoding == Encoding::Ansi && firstNonAscii_ != 0) {
            Add(firstNonAscii_, Severity::Note, "ansi-text",
                L"the description is not UTF-8 and holds non-ASCII text: it is read in the "
                L"user's ANSI code page and reads right only where that is the code page it was "
                L"saved in (save it as UTF-8 to be safe)");
        }
        if (!HasFileItems(read.description.FileItems)) {
            Add(0, Severity::Error, "no-fileitem",
                L"no \"fileitem\" line: the installer ends at start-up without a word");
        } else {
            Walk(read.description);
        }
        Banner(read.description.FlagsPicture);
        if (read.description.HostVersions) {
            HostVersions(*read.description.HostVersions);
        }
        AddonId(read.description);
    }

    std::vector<Finding> Take() { return std::move(findings_); }

  private:
    void Add(std::size_t line, Severity severity, std::string code, std::wstring message) {
        findings_.push_back(Finding{line, severity, std::move(code), std::move(message)});
    }

    void NoEquals(std::wstring_view line, std::size_t number) {
        const std::wstring lower = ToLowerText(TrimBlanks(line));
        for (const auto k : kKeys) {
            if (lower.starts_with(k) &&
                (lower.size() == k.size() || !IsAsciiLetter(lower[k.size()]))) {
                Add(number, Severity::Warning, "no-equals",
                    L"a \"" + std::wstring(k) + L"\" line without \"=\": the line is ignored");
                return;
            }
        }
    }

    void UnknownKey(std::wstring_view key, std::size_t number) {
        if (IsCommentKey(key)) {
            return; // a commented-out line is ignored, as meant
        }
        if (key.empty()) {
            Add(number, Severity::Note, "empty-key", L"no key before \"=\": the line is ignored");
            return;
        }
        const std::wstring lower = ToLowerText(key);
        const std::wstring_view meant = Nearest(lower, kKeys);
        if (meant.empty()) {
            Add(number, Severity::Note, "unknown-key",
                L"unknown key " + Quote(key) + L": the line is ignored");
        } else if (WithoutBlanks(lower) == meant) {
            Add(number, Severity::Warning, "key-blank",
                L"key " + Quote(key) + L" has " + BlankHint(key) +
                    L": the line is ignored (did you mean \"" + std::wstring(meant) + L"\"?)");
        } else {
            Add(number, Severity::Warning, "misspelt-key",
                L"unknown key " + Quote(key) + L": the line is ignored (did you mean \"" +
                    std::wstring(meant) + L"\"?)");
        }
    }

    void Repeated(std::wstring_view key, std::wstring_view value, std::size_t number) {
        const auto [earlier, first] = lastValue_.try_emplace(std::wstring(key), number, value);
        if (first) {
            return;
        }
        const bool same = earlier->second.second == value;
        Add(number, same ? Severity::Note : Severity::Warning, "repeated-key",
            L"\"" + std::wstring(key) + L"\" again (also on line " +
                std::to_wstring(earlier->second.first) + L"): the last line wins, " +
                (value.empty() ? std::wstring(L"and its empty value gives the default")
                               : Quote(value)));
        earlier->second = {number, std::wstring(value)};
    }

    // The installer records an installation only under a valid id, the last line's.
    void AddonId(const ParsedDescription& d) {
        const std::wstring unrecorded =
            L"the installation is not recorded, so the add-on can't be removed (no entry in Apps & "
            L"features) and a failed installation is not undone";
        if (!d.AddonId) {
            Add(0, Severity::Note, "no-addon-id", L"no \"addonid\" line: " + unrecorded);
        } else if (!IsValidAddonId(*d.AddonId)) {
            Add(d.AddonIdLine, Severity::Error, "addon-id",
                L"AddonId " + Quote(*d.AddonId) + L" is no valid id (1 to " +
                    std::to_wstring(kAddonIdMaxLength) +
                    L" letters, digits, \".\", \"-\" and \"_\", not ending in \".\"): the "
                    L"installer ignores the key, and " +
                    unrecorded);
        }
    }

    // The versions the last "hostversions" line names, entry by entry, on that line.
    void HostVersions(const std::wstring& value) {
        const std::size_t line = lastValue_.at(std::wstring(kKeyHostVersions)).first;
        const HostVersionList list = ParseHostVersions(value);
        for (const HostVersionProblem& problem : list.problems) {
            HostVersionProblemFinding(problem, line);
        }
        if (list.majors.empty()) {
            Add(line, value.empty() ? Severity::Note : Severity::Warning, "host-versions-none",
                std::wstring(value.empty()
                                 ? L"\"hostversions\" is empty"
                                 : L"\"hostversions\" names no version that can be read") +
                    L": the installer serves CorelDRAW X3 alone, as without the key");
            return;
        }
        const bool one = list.majors.size() == 1;
        Add(line, Severity::Note, "host-versions",
            L"the installer looks for CorelDRAW " + HostVersionsPhrase(list.majors) +
                (one ? L" and installs into it where it is installed"
                     : L" and installs into each one it finds, in that order") +
                (noHostText_ ? (one ? L"; where it is not, it " : L"; where it finds none, it ") +
                                   NoHostSays(*noHostText_)
                             : L""));
        if (anyImport_ && list.majors.back() > kLastImportConfirmedMajor) {
            Add(line, Severity::Note, "import-unconfirmed",
                L"that CorelDRAW 2017 and later import workspaces as X3 to X8 do (ImportWorkspace) "
                L"is not confirmed: where a version lacks it, the installation stops there with "
                L"发生意外错误");
        }
    }

    // A message of several lines (one that says the run was undone) follows on lines of its own.
    static std::wstring NoHostSays(const std::wstring& message) {
        if (message.find(L"\r\n") == std::wstring::npos) {
            return L"says " + Quote(message) + L" and closes nothing";
        }
        return L"closes nothing and says\r\n" + message;
    }

    void HostVersionProblemFinding(const HostVersionProblem& problem, std::size_t line) {
        const std::wstring entry = Quote(problem.entry);
        const std::wstring ignored = L": the installer ignores it";
        switch (problem.kind) {
        case HostVersionProblemKind::Empty:
            Add(line, Severity::Note, "host-version-empty",
                L"an empty entry (two commas in a row, or one at an end) names nothing");
            break;
        case HostVersionProblemKind::UnknownName:
            Add(line, Severity::Warning, "host-version-unknown",
                entry +
                    L" is no version of CorelDRAW that the installer knows (X3 to X8, 2017 "
                    L"to 2025, a major number from 13 to 99, or a range A-B of them)" +
                    UnknownVersionHint(problem.entry) + ignored);
            break;
        case HostVersionProblemKind::OutOfRange:
            Add(line, Severity::Warning, "host-version-out-of-range",
                entry + L" is outside the major numbers 13 (X3) to 99" + ignored);
            break;
        case HostVersionProblemKind::ReversedRange: {
            const auto dash = problem.entry.find(L'-');
            Add(line, Severity::Warning, "host-version-reversed",
                L"range " + entry + L" runs backwards, so it names nothing (did you mean \"" +
                    std::wstring(TrimBlanks(problem.entry.substr(dash + 1))) + L"-" +
                    std::wstring(TrimBlanks(problem.entry.substr(0, dash))) + L"\"?)" + ignored);
            break;
        }
        case HostVersionProblemKind::Duplicate:
            Add(line, Severity::Warning, "host-version-duplicate",
                entry + L" names " + HostVersionsPhrase(problem.majors) +
                    L" again, after an earlier entry: each version is installed into once");
            break;
        }
    }

    static std::wstring UnknownVersionHint(const std::wstring& entry) {
        if (entry.find_first_of(L"，、；;") != std::wstring::npos) {
            return L" (entries are separated by \",\" only: it holds another separator)";
        }
        if (TrimBlanks(entry) != entry || WithoutBlanks(entry) != entry) {
            return L" (it has " + BlankHint(entry) + L")";
        }
        // A year the table doesn't know yet is written as its major number instead.
        if (std::all_of(entry.begin(), entry.end(),
                        [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
            return L" (a version newer than the table is written as its major number)";
        }
        std::vector<std::wstring> names;
        for (const HostVersionName& known : HostVersionNames()) {
            names.push_back(ToLowerText(known.name));
        }
        const std::vector<std::wstring_view> views(names.begin(), names.end());
        // A two-letter name is within reach of every other one: only a year's typo is guessed.
        const std::wstring_view meant =
            entry.size() >= 4 ? Nearest(ToLowerText(entry), views) : std::wstring_view{};
        if (meant.empty() || entry.find(L'-') != std::wstring::npos) {
            return L"";
        }
        return L" (did you mean \"" + HostVersionDisplayName(*MajorForName(meant)) + L"\"?)";
    }

    void FileItemLine(std::wstring_view value, const FileItem* item, std::size_t number) {
        lastItemLine_ = number;
        const std::size_t fields = FieldCount(value);
        if (item == nullptr) {
            Add(number, Severity::Warning, "too-few-fields",
                (value.empty() ? std::wstring(L"empty item")
                               : L"item of " + std::to_wstring(fields) +
                                     (fields == 1 ? L" field" : L" fields")) +
                    L": at least four (Action|SourceName|Required|Target) are needed, so the "
                    L"installer stores nothing for this line");
            return;
        }
        if (fields > 5) {
            std::size_t fifthBar = 0;
            for (int bars = 0; bars < 5; ++bars) {
                fifthBar = value.find(L'|', fifthBar) + 1;
            }
            Add(number, Severity::Warning, "too-many-fields",
                L"item of " + std::to_wstring(fields) +
                    L" fields: the installer drops everything after the fifth, " +
                    Quote(value.substr(fifthBar)));
        }
        Item(*item, number);
    }

    // What the line alone tells; what the installation does with the item comes from the run.
    void Item(const FileItem& item, std::size_t number) {
        const ItemFolderUse use = FolderUseOf(item);
        if (use == ItemFolderUse::None) {
            Action(item.Action, number);
            return;
        }
        Required(item.Required, number);
        if (use == ItemFolderUse::Import) {
            anyImport_ = true;
        }
    }

    void Action(const std::wstring& action, std::size_t number) {
        const std::wstring_view bare = TrimBlanks(action);
        if (bare == kActionCopy || bare == kActionDelete) {
            Add(number, Severity::Warning, "action-blank",
                L"action " + Quote(action) + L" has " + BlankHint(action) +
                    L": the item does nothing (did you mean \"" + std::wstring(bare) + L"\"?)");
            return;
        }
        Add(number, Severity::Warning, "unknown-action",
            (action.empty() ? std::wstring(L"empty action")
                            : L"action " + Quote(action) + L" is neither \"c\" nor \"k\"") +
                L": the item does nothing but show its caption");
    }

    void Required(const std::wstring& required, std::size_t number) {
        if (required == L"1" || required == L"0" || required.empty()) {
            return;
        }
        const std::wstring consequence =
            L": the item is optional and is skipped without a word when its file or folder is "
            L"missing";
        if (TrimBlanks(required) == L"1") {
            Add(number, Severity::Warning, "required-blank",
                L"Required " + Quote(required) + L" is not \"1\" (it has " + BlankHint(required) +
                    L")" + consequence);
        } else {
            Add(number, Severity::Warning, "required-not-1",
                L"Required " + Quote(required) + L" is not \"1\"" + consequence);
        }
    }

    // The installation, run over a simulated world as `plan` runs it, row by row. A required item
    // that stops it is reported, and the run is made again past it (its file taken to be there,
    // or the item taken as optional), so that every stop is reported in one check.
    void Walk(const ParsedDescription& d) {
        SharedState state;
        state.AppFolder = folder_;
        ApplyDescription(d, state);
        PlanOptions options;
        if (!state.HostVersions.empty()) {
            options.installed.emplace();
            noHostText_ = Simulate(state, options).happenings.back().text;
            options.installed.reset();
        }
        bool first = true;
        SimulatePastStops(state, options, [&](const Simulation& run) {
            Rows(run, *state.FileItems, d);
            if (first && run.outcome == RunOutcome::Succeeded &&
                std::none_of(run.happenings.begin(), run.happenings.end(), Changes)) {
                Add(0, Severity::Warning, "nothing-to-do",
                    L"no item copies, imports or deletes anything: the installer reports success "
                    L"having changed nothing");
            }
            first = false;
        });
        // Where a file to delete is not there, as on a first installation, a required delete
        // item stops the installation.
        options.hostFilesThere = false;
        SimulatePastStops(state, options, [&](const Simulation& run) {
            const Happening& end = run.happenings.back();
            if (end.row && end.outcome == RunOutcome::MissingFile &&
                (*state.FileItems)[*end.row].Action == kActionDelete) {
                Once(d.ItemLines[*end.row], Severity::Warning, "required-delete",
                     L"a required delete item stops the installation wherever the file is not "
                     L"there to delete, such as on a first installation, with the message\r\n" +
                         end.text);
            }
        });
    }

    static bool Changes(const Happening& h) {
        return h.kind == Kind::Copied || h.kind == Kind::Imported || h.kind == Kind::Deleted;
    }

    void Rows(const Simulation& run, const FileItemTable& items, const ParsedDescription& d) {
        const std::vector<Happening>& all = run.happenings;
        // The key and line that last gave the run its folder, in the version at work.
        std::optional<std::pair<std::wstring, std::size_t>> lastFolder;
        std::optional<int> version;
        for (std::size_t i = 0; i < all.size(); ++i) {
            const Happening& h = all[i];
            if (h.version != version) {
                version = h.version;
                lastFolder.reset();
            }
            if (h.kind != Kind::Item) {
                continue;
            }
            const std::size_t end = EndOfRow(all, i);
            const std::span<const Happening> inside = std::span(all).subspan(i + 1, end - i - 1);
            const Happening* stop = StopOfRow(all, i);
            const std::size_t row = *h.row;
            Row(items[row], d.ItemLines[row], h.path, inside, stop, lastFolder);
            for (const Happening& in : inside) {
                if (in.kind == Kind::Folder) {
                    lastFolder = {in.text, d.ItemLines[row]};
                }
            }
            i = end - 1;
        }
    }

    void Row(const FileItem& item, std::size_t number, const std::wstring& carried,
             std::span<const Happening> inside, const Happening* stop,
             const std::optional<std::pair<std::wstring, std::size_t>>& lastFolder) {
        if (number == 0) {
            return; // the empty row: its line was reported as too short
        }
        const ItemFolderUse use = FolderUseOf(item);
        const Happening* skipped = nullptr;
        bool done = false;
        for (const Happening& h : inside) {
            skipped = h.kind == Kind::Skipped ? &h : skipped;
            done = done || Changes(h);
        }
        const auto skippedFor = [&](SkipReason reason) {
            return skipped != nullptr && skipped->reason == reason;
        };
        const bool sourceMissing = skippedFor(SkipReason::SourceMissing) ||
                                   (stop != nullptr && stop->outcome == RunOutcome::MissingFile);
        if (sourceMissing) {
            Source(item, number, use == ItemFolderUse::Import ? L"import source" : L"copy source",
                   stop);
        } else if (done && use != ItemFolderUse::None && item.Action == kActionCopy) {
            SourceCase(item, number,
                       use == ItemFolderUse::Import ? L"import source" : L"copy source");
        }
        if (use != ItemFolderUse::CarriesOver) {
            return;
        }
        const std::wstring target = UnknownTarget(item);
        if (!carried.empty()) {
            Once(number, Severity::Warning, "unknown-target",
                 target + L": the item uses the previous item's folder, " +
                     (lastFolder ? L"\"" + lastFolder->first + L"\" from line " +
                                       std::to_wstring(lastFolder->second)
                                 : carried));
        } else if (stop != nullptr && stop->outcome == RunOutcome::BadFolder) {
            Once(number, Severity::Error, "unknown-target",
                 target + L": no folder was resolved before, so " + StopsWith(stop->text));
        } else if (skipped != nullptr) {
            Once(number, Severity::Warning, "unknown-target",
                 target + L": no folder was resolved before, so the item is skipped without a "
                          L"word");
        }
    }

    static std::wstring UnknownTarget(const FileItem& item) {
        if (item.Target == kTargetImportWorkspace) {
            return L"target \"importworkspace\" on a delete item names no folder";
        }
        std::wstring message = L"unknown target " + Quote(item.Target);
        std::vector<std::wstring_view> targets(kFolderTargets.begin(), kFolderTargets.end());
        if (item.Action == kActionCopy) {
            targets.push_back(kTargetImportWorkspace);
        }
        const std::wstring_view meant = Nearest(item.Target, targets);
        if (!meant.empty()) {
            message += WithoutBlanks(item.Target) == meant
                           ? L" (it has " + BlankHint(item.Target) + L")"
                           : L" (did you mean \"" + std::wstring(meant) + L"\"?)";
        }
        return message;
    }

    // The message that the run ends with, exactly, on lines of its own.
    static std::wstring StopsWith(const std::wstring& report) {
        return L"the installation stops with the message\r\n" + report;
    }

    void SourceCase(const FileItem& item, std::size_t number, const std::wstring& what) {
        const LookUp found = LookUpFile(LocalPath(folder_, item.SourceName));
        if (found.presence == Presence::OtherCase) {
            Once(number, Severity::Note, "source-case",
                 what + L" " + Quote(item.SourceName) + L" is in the folder as " +
                     Quote(found.foundName) +
                     L": Windows ignores the case of names, so the installer finds it");
        }
    }

    void Source(const FileItem& item, std::size_t number, const std::wstring& what,
                const Happening* stop) {
        const LookUp found = LookUpFile(LocalPath(folder_, item.SourceName));
        std::wstring message = what + L" " + Quote(item.SourceName);
        if (item.SourceName.empty()) {
            message = what + L" has no file name";
        } else if (found.presence == Presence::Folder) {
            message += L" is a folder, not a file";
        } else if (TrimBlanks(item.SourceName) != item.SourceName &&
                   FoundOnWindows(LookUpFile(LocalPath(folder_, TrimBlanks(item.SourceName))))) {
            message += L" is not in the folder, but it is without " + BlankHint(item.SourceName) +
                       L" (the fields are not trimmed)";
        } else {
            message += L" is not in the folder";
        }
        if (stop != nullptr) {
            Once(number, Severity::Error, "source-missing",
                 message + L": " + StopsWith(stop->text));
        } else {
            Once(number, Severity::Warning, "source-missing",
                 message + L": the item is skipped without a word");
        }
    }

    // A row is reported once, as the first version that reaches it has it.
    void Once(std::size_t line, Severity severity, std::string code, std::wstring message) {
        if (reported_.emplace(line, code).second) {
            Add(line, severity, std::move(code), std::move(message));
        }
    }

    void Banner(const std::wstring& name) {
        const auto set = lastValue_.find(std::wstring(kKeyFlagsPicture));
        const std::size_t line = set == lastValue_.end() ? 0 : set->second.first;
        const tamrick::Banner banner = LookAtBanner(folder_, name);
        const std::wstring what = L"banner " + Quote(name);
        const std::wstring builtIn = L": the installer shows its built-in banner";
        if (const std::optional<BannerStop> stop = BannerStopsStartUp(banner)) {
            Add(line, Severity::Error,
                banner.state == BannerState::Unreadable ? "banner-unreadable"
                                                        : "banner-not-picture",
                what + L" " + stop->problem + L": the installer stops at start-up, before its " +
                    (stop->report ? L"window shows, with the message\r\n" + *stop->report
                                  : std::wstring(L"window shows, with the system's reason")));
            return;
        }
        switch (banner.state) {
        case BannerState::Missing:
            Add(line, Severity::Note, "banner-missing",
                what + (banner.folder ? L" is a folder" : L" not found") + builtIn);
            break;
        case BannerState::Hidden:
            Add(line, Severity::Note, "banner-hidden",
                what + L" is a hidden or system file" + builtIn);
            break;
        case BannerState::Unreadable:
        case BannerState::NotPicture:
            break;
        case BannerState::Picture:
            if (!ShownWithoutWic(banner.picture.type)) {
                std::wstring format;
                AppendUtf8(banner.picture.format, format);
                Add(line, Severity::Note, "banner-needs-wic",
                    what + L" is a " + format +
                        L" file: Windows XP without its imaging component (WIC) shows no " +
                        format +
                        L", and there the installer stops at start-up with the "
                        L"message\r\n" +
                        UnhandledErrorText(kErrInvalidPicture, kInvalidPictureText) +
                        L"\r\n(BMP, JPEG and GIF show everywhere)");
            }
            if (banner.picture.width != kBannerWidth || banner.picture.height != kBannerHeight) {
                Add(line, Severity::Note, "banner-size",
                    what + L" is " + std::to_wstring(banner.picture.width) + L" × " +
                        std::to_wstring(banner.picture.height) + L" pixels; the banner area is " +
                        std::to_wstring(kBannerWidth) + L" × " + std::to_wstring(kBannerHeight));
            }
            break;
        }
    }

    std::wstring folder_;
    std::vector<Finding> findings_;
    std::size_t firstNonAscii_ = 0;
    bool anyImport_ = false;
    // The line and value of the latest "setuptitle" and "flagspicture" line.
    std::map<std::wstring, std::pair<std::size_t, std::wstring>> lastValue_;
    std::size_t lastItemLine_ = 0;
    // What the installer says where none of the versions named is installed.
    std::optional<std::wstring> noHostText_;
    // The rows already reported, by line and code.
    std::set<std::pair<std::size_t, std::string>> reported_;
};

const char* SeverityName(Severity severity) {
    switch (severity) {
    case Severity::Error:
        return "error";
    case Severity::Warning:
        return "warning";
    case Severity::Note:
        return "note";
    }
    return "note";
}

} // namespace

std::size_t CheckReport::Count(Severity severity) const {
    return static_cast<std::size_t>(
        std::count_if(findings.begin(), findings.end(),
                      [&](const Finding& f) { return f.severity == severity; }));
}

CheckReport CheckFolder(const std::wstring& folder) {
    CheckReport report;
    // Read once: the findings and what the installer makes of the file come from the same bytes.
    const FileBytes file = ReadWholeFile(folder + kDescriptionName);
    if (file.status == ReadStatus::NotFound) {
        report.findings.push_back({0, Severity::Error, "missing-description",
                                   L"not found: the installer shows " +
                                       Quote(kMissingDescriptionMessage) + L" and ends"});
        return report;
    }
    if (file.status != ReadStatus::Ok) {
        report.findings.push_back({0, Severity::Error, "unreadable-description",
                                   L"can't be read (a folder, no permission, in use or too "
                                   L"large): the installer ends at start-up without a word"});
        return report;
    }
    Checker checker(folder);
    const DescriptionRead read =
        InterpretDescription(file, [&](const DescriptionLine& line) { checker.Line(line); });
    report.encoding = read.description.encoding;
    checker.Finish(read);
    report.findings = checker.Take();
    // What pack would refuse: the same selection that it packs.
    for (PayloadProblem& p : SelectPayload(folder, read.description).problems) {
        report.findings.push_back(
            {p.line, Severity::Error, std::move(p.code), std::move(p.message)});
    }
    std::stable_sort(report.findings.begin(), report.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return report;
}

std::string CheckText(const CheckReport& report, const std::wstring& fileName) {
    const std::string file = ToUtf8(fileName);
    std::string out;
    for (const Finding& f : report.findings) {
        out += file;
        if (f.line != 0) {
            out += ':';
            out += std::to_string(f.line);
        }
        // A message that quotes one of several lines gives each a line of its own, indented.
        std::string message = ToUtf8(f.message);
        for (auto at = message.find("\r\n"); at != std::string::npos; at = message.find("\r\n")) {
            message.replace(at, 2, "\n    ");
        }
        out += std::string(": ") + SeverityName(f.severity) + ": " + message + "\n";
    }
    out += file + ": " + Counted(report.Count(Severity::Error), "error") + ", " +
           Counted(report.Count(Severity::Warning), "warning") + ", " +
           Counted(report.Count(Severity::Note), "note") + "\n";
    return out;
}

std::string CheckJson(const CheckReport& report, const std::wstring& fileName) {
    std::string out = "{\n  \"file\": " + json::String(fileName);
    out += ",\n  \"encoding\": ";
    if (report.encoding) {
        out.append(1, '"').append(EncodingName(*report.encoding)).append(1, '"');
    } else {
        out += "null";
    }
    out += ",\n  \"findings\": [";
    for (std::size_t i = 0; i < report.findings.size(); ++i) {
        const Finding& f = report.findings[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"line\": " + (f.line == 0 ? std::string("null") : std::to_string(f.line));
        out += std::string(", \"severity\": \"") + SeverityName(f.severity) + "\"";
        out += ", \"code\": \"" + f.code + "\"";
        out += ", \"message\": " + json::String(f.message) + "}";
    }
    out += report.findings.empty() ? "]" : "\n  ]";
    out += ",\n  \"errors\": " + std::to_string(report.Count(Severity::Error));
    out += ",\n  \"warnings\": " + std::to_string(report.Count(Severity::Warning));
    out += ",\n  \"notes\": " + std::to_string(report.Count(Severity::Note)) + "\n}\n";
    return out;
}

int CheckExitStatus(const CheckReport& report, bool strict) {
    if (report.Count(Severity::Error) > 0) {
        return 1;
    }
    return strict && report.Count(Severity::Warning) > 0 ? 1 : 0;
}

} // namespace tamrick
