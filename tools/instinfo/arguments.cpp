#include "arguments.h"

#include "description/decode.h"
#include "description/host_versions.h"
#include "description/platform.h"
#include "install/host/host.h"
#include "text.h"

#include <array>
#include <string_view>

namespace tamrick {
namespace {

enum Command : unsigned { kShow = 1, kCheck = 2, kPlan = 4, kPack = 8 };

struct CommandName {
    std::wstring_view name;
    unsigned bit;
};
constexpr std::array<CommandName, 4> kCommands{
    {{L"show", kShow}, {L"check", kCheck}, {L"plan", kPlan}, {L"pack", kPack}}};

// Takes an option's value; what was expected instead when it can't.
using Apply = std::optional<std::string> (*)(const std::wstring& value, Options& o);

struct Rule {
    std::wstring_view name;
    unsigned commands; // the commands that take it
    const char* value; // what its value is; none for a switch
    Apply apply;
};

// "KEY=PATH" or "VERSION:KEY=PATH" (a version as HostVersions names one); the path may hold
// colons of its own.
std::optional<std::string> TakeFolder(const std::wstring& given, Options& o) {
    constexpr const char* expected =
        "expected KEY=PATH or VERSION:KEY=PATH, KEY one of gmspath, usergmspath, userdatapath, "
        "applicationpath, VERSION one version as HostVersions writes it (X7:gmspath=C:\\GMS)";
    const auto eq = given.find(L'=');
    if (eq == std::wstring::npos) {
        return expected;
    }
    std::wstring key = given.substr(0, eq);
    HostFolders* folders = &o.plan.folders;
    if (const auto colon = key.find(L':'); colon != std::wstring::npos) {
        const HostVersionList version = ParseHostVersions(key.substr(0, colon));
        if (version.majors.size() != 1 || !version.problems.empty()) {
            return expected;
        }
        folders = &o.plan.versionFolders[version.majors.front()];
        key = key.substr(colon + 1);
    }
    key = ToLowerText(key);
    if (!FolderForKey(key)) {
        return expected;
    }
    (*folders)[key] = given.substr(eq + 1);
    return std::nullopt;
}

std::optional<std::string> TakeInstalled(const std::wstring& given, Options& o) {
    if (o.plan.installed) {
        return "--installed is given once";
    }
    if (given == L"none") {
        o.plan.installed.emplace();
        return std::nullopt;
    }
    const HostVersionList list = ParseHostVersions(given);
    if (list.majors.empty() || !list.problems.empty()) {
        return "expected versions as HostVersions writes them (X3 to X8, 2017 to 2025, 13 to 99, "
               "ranges A-B) or \"none\"";
    }
    o.plan.installed = list.majors;
    return std::nullopt;
}

constexpr std::array<Rule, 6> kRules{{
    {L"--json", kCheck | kPlan, nullptr,
     [](const std::wstring&, Options& o) -> std::optional<std::string> {
         o.json = true;
         return std::nullopt;
     }},
    {L"--strict", kCheck, nullptr,
     [](const std::wstring&, Options& o) -> std::optional<std::string> {
         o.strict = true;
         return std::nullopt;
     }},
    {L"--folder", kPlan, "[VERSION:]KEY=PATH", TakeFolder},
    {L"--installed", kPlan, "a list of versions, or none", TakeInstalled},
    {L"--force", kPack, nullptr,
     [](const std::wstring&, Options& o) -> std::optional<std::string> {
         o.force = true;
         return std::nullopt;
     }},
    {L"-o", kPack, "the setup file to write",
     [](const std::wstring& value, Options& o) -> std::optional<std::string> {
         if (o.output) {
             return "-o is given once: one setup file is written";
         }
         o.output = value;
         return std::nullopt;
     }},
}};

std::string Quoted(const std::wstring& text) {
    return ToUtf8(Quote(text));
}

// "check and plan": the commands in `bits`.
std::string CommandNames(unsigned bits) {
    std::vector<std::string> names;
    for (const CommandName& c : kCommands) {
        if ((bits & c.bit) != 0) {
            names.push_back(ToUtf8(c.name));
        }
    }
    std::string joined;
    for (std::size_t i = 0; i < names.size(); ++i) {
        joined += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    }
    return joined;
}

Arguments Mistake(std::string text) {
    Arguments a;
    a.ask = Arguments::Ask::Mistake;
    a.mistake = std::move(text);
    return a;
}

} // namespace

Arguments ParseArguments(const std::vector<std::wstring>& args) {
    for (const std::wstring& a : args) {
        if (a == L"--help" || a == L"-h") {
            return Arguments{Arguments::Ask::Help, {}, {}};
        }
        if (a == L"--version") {
            return Arguments{Arguments::Ask::Version, {}, {}};
        }
    }
    const std::string commands = "expected show, check, plan or pack";
    if (args.empty()) {
        return Mistake("instinfo: no command: " + commands);
    }
    const CommandName* command = nullptr;
    for (const CommandName& c : kCommands) {
        if (args[0] == c.name) {
            command = &c;
        }
    }
    if (command == nullptr) {
        return Mistake("instinfo: unknown command " + Quoted(args[0]) + ": " + commands);
    }
    const std::string where = "instinfo " + ToUtf8(command->name) + ": ";
    Arguments parsed;
    Options& o = parsed.options;
    o.command = command->name;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        const Rule* rule = nullptr;
        for (const Rule& r : kRules) {
            if (a == r.name) {
                rule = &r;
            }
        }
        if (rule != nullptr && (rule->commands & command->bit) == 0) {
            return Mistake(where + ToUtf8(a) + " is no option of " + ToUtf8(command->name) +
                           " (only of " + CommandNames(rule->commands) + ")");
        }
        if (rule == nullptr && a.starts_with(L"-") && a.size() > 1) {
            std::vector<std::wstring_view> names;
            for (const Rule& r : kRules) {
                if ((r.commands & command->bit) != 0) {
                    names.push_back(r.name);
                }
            }
            const std::wstring_view meant = Nearest(a, names);
            return Mistake(where + "unknown option " + Quoted(a) +
                           (meant.empty() ? "" : " (did you mean " + ToUtf8(meant) + "?)"));
        }
        if (rule == nullptr) {
            if (o.folder) {
                return Mistake(where + "a second folder " + Quoted(a) + ": one FOLDER is read (" +
                               Quoted(*o.folder) + " was given before)");
            }
            o.folder = a;
            continue;
        }
        std::wstring value;
        if (rule->value != nullptr) {
            if (i + 1 == args.size()) {
                return Mistake(where + ToUtf8(a) + " without a value: expected " + rule->value);
            }
            value = args[++i];
        }
        if (const std::optional<std::string> expected = rule->apply(value, o)) {
            return Mistake(where + ToUtf8(a) + (rule->value != nullptr ? " " + Quoted(value) : "") +
                           ": " + *expected);
        }
    }
    if (command->bit == kPack && !o.folder) {
        return Mistake(where + "no FOLDER: expected the add-on folder to pack");
    }
    return parsed;
}

} // namespace tamrick
