#include "check.h"

#include "description/host_versions.h"
#include "description/model.h"
#include "description/platform.h"
#include "description/reader.h"
#include "files.h"
#include "install/reports.h"
#include "install/run.h"
#include "json.h"
#include "payload_files.h"
#include "picture.h"
#include "text.h"

#include <algorithm>
#include <map>
#include <optional>

namespace tamrick {
namespace {

// The last version whose workspace import (ImportWorkspace) a source confirms: X8.
constexpr int kLastImportConfirmedMajor = 18;

constexpr std::wstring_view kKeys[] = {kKeySetupTitle, kKeyFlagsPicture, kKeyFileItem,
                                       kKeyHostVersions};

// The first line of a report: enough to recognise it in a one-line finding.
std::wstring FirstLine(const std::wstring& report) {
    return report.substr(0, report.find(L'\r'));
}

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
        case DescriptionKey::None:
            break;
        }
    }

    void Finish(const DescriptionRead& read) {
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
        } else if (!anyActing_) {
            Add(0, Severity::Warning, "nothing-to-do",
                L"no item copies, imports or deletes anything: the installer reports success "
                L"having changed nothing");
        }
        Banner(read.description.FlagsPicture);
        if (read.description.HostVersions) {
            HostVersions(*read.description.HostVersions);
        }
    }

    std::vector<Finding> Take() { return std::move(findings_); }

  private:
    void Add(std::size_t line, Severity severity, std::string code, std::wstring message) {
        findings_.push_back(Finding{line, severity, std::move(code), std::move(message)});
    }

    // A fault ends the installation with its report when the item is required; otherwise the item
    // is skipped.
    void Fault(const FileItem& item, std::size_t number, std::string code,
               const std::wstring& message, const std::wstring& report) {
        if (IsRequired(item)) {
            Add(number, Severity::Error, std::move(code),
                message + L"the installation stops with " + Quote(FirstLine(report)));
        } else {
            Add(number, Severity::Warning, std::move(code),
                message + L"the item is skipped without a word");
        }
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
        Add(line, Severity::Note, "host-versions",
            L"the installer looks for CorelDRAW " + HostVersionsPhrase(list.majors) +
                L" and installs into each one it finds, in that order; where it finds none, it "
                L"says " +
                Quote(NoHostMessage(list.majors)) + L" and closes nothing");
        if (anyImport_ && list.majors.back() > kLastImportConfirmedMajor) {
            Add(line, Severity::Note, "import-unconfirmed",
                L"that CorelDRAW 2017 and later import workspaces as X3 to X8 do (ImportWorkspace) "
                L"is not confirmed: where a version lacks it, the installation stops there with "
                L"发生意外错误");
        }
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

    void Item(const FileItem& item, std::size_t number) {
        const ItemFolderUse use = FolderUseOf(item);
        if (use == ItemFolderUse::None) {
            Action(item.Action, number);
            return;
        }
        anyActing_ = true;
        Required(item.Required, number);
        if (use == ItemFolderUse::Import) {
            anyImport_ = true;
            Source(item, number, L"import source");
            return;
        }
        const bool copy = item.Action == kActionCopy;
        Target(item, number, use, copy);
        if (copy) {
            Source(item, number, L"copy source");
        } else if (IsRequired(item)) {
            Add(number, Severity::Warning, "required-delete",
                L"a required delete item stops the installation with the missing-file report "
                L"wherever the file is not there to delete, such as a first installation");
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

    void Target(const FileItem& item, std::size_t number, ItemFolderUse use, bool copy) {
        if (use == ItemFolderUse::Resolves) {
            lastFolder_ = {item.Target, number};
            return;
        }
        // The host is asked for nothing, so the folder of the previous item stays.
        std::wstring message;
        if (item.Target == kTargetImportWorkspace) {
            message = L"target \"importworkspace\" on a delete item names no folder";
        } else {
            message = L"unknown target " + Quote(item.Target);
            std::vector<std::wstring_view> targets(kFolderTargets.begin(), kFolderTargets.end());
            if (copy) {
                targets.push_back(kTargetImportWorkspace);
            }
            const std::wstring_view meant = Nearest(item.Target, targets);
            if (!meant.empty()) {
                message += WithoutBlanks(item.Target) == meant
                               ? L" (it has " + BlankHint(item.Target) + L")"
                               : L" (did you mean \"" + std::wstring(meant) + L"\"?)";
            }
        }
        if (lastFolder_) {
            Add(number, Severity::Warning, "unknown-target",
                message + L": the item uses the previous item's folder, \"" + lastFolder_->first +
                    L"\" from line " + std::to_wstring(lastFolder_->second));
        } else {
            Fault(item, number, "unknown-target", message + L": no folder was resolved before, so ",
                  BadFolderReport(L""));
        }
    }

    void Source(const FileItem& item, std::size_t number, const std::wstring& what) {
        const LookUp found = LookUpFile(LocalPath(folder_, item.SourceName));
        if (found.presence == Presence::OtherCase) {
            Add(number, Severity::Note, "source-case",
                what + L" " + Quote(item.SourceName) + L" is in the folder as " +
                    Quote(found.foundName) +
                    L": Windows ignores the case of names, so the installer finds it");
            return;
        }
        if (FoundOnWindows(found)) {
            return;
        }
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
        Fault(item, number, "source-missing", message + L": ", MissingFileReport(L"…"));
    }

    void Banner(const std::wstring& name) {
        const auto set = lastValue_.find(std::wstring(kKeyFlagsPicture));
        const std::size_t line = set == lastValue_.end() ? 0 : set->second.first;
        const tamrick::Banner banner = LookAtBanner(folder_, name);
        const std::wstring what = L"banner " + Quote(name);
        const std::wstring builtIn = L": the installer shows its built-in banner";
        const std::wstring stops =
            L": the installer stops at start-up with an unhandled-error report";
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
            Add(line, Severity::Error, "banner-unreadable", what + L" can't be read" + stops);
            break;
        case BannerState::NotPicture:
            Add(line, Severity::Error, "banner-not-picture",
                what + L" is not a picture (" + PictureProblem(banner.picture) + L")" + stops);
            break;
        case BannerState::Picture:
            if (banner.picture.width == 0) {
                std::wstring format;
                AppendUtf8(banner.picture.format, format);
                Add(line, Severity::Note, "banner-format",
                    what + L" is a " + format +
                        L" file: Windows loads it, but BMP, PNG, JPEG and GIF are the formats to "
                        L"use");
            } else if (banner.picture.width != kBannerWidth ||
                       banner.picture.height != kBannerHeight) {
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
    bool anyActing_ = false;
    bool anyImport_ = false;
    // The line and value of the latest "setuptitle" and "flagspicture" line.
    std::map<std::wstring, std::pair<std::size_t, std::wstring>> lastValue_;
    // The target key that last gave the run its folder, and its line: an item whose target
    // names no folder works there.
    std::optional<std::pair<std::wstring, std::size_t>> lastFolder_;
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
        out += std::string(": ") + SeverityName(f.severity) + ": " + ToUtf8(f.message) + "\n";
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
