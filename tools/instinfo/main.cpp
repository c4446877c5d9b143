// instinfo: the packager's view of an add-on folder, read with the installer's own reader and
// run logic.

#include "check.h"
#include "description/host_versions.h"
#include "description/platform.h"
#include "description/reader.h"
#include "install/host/host.h"
#include "pack.h"
#include "plan.h"
#include "show.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "base/system_library.h"
#endif

namespace {

constexpr const char* kUsage =
    "usage: instinfo show [FOLDER]\n"
    "       instinfo check [--json] [--strict] [FOLDER]\n"
    "       instinfo plan [--json] [FOLDER] [--folder [VERSION:]KEY=PATH ...] [--installed LIST]\n"
    "       instinfo pack [--force] [-o SETUP.exe] FOLDER\n"
    "FOLDER holds InstInfo.ini (default: the current folder); it is read as the installer\n"
    "would read it.\n"
    "  show   prints what the installer reads, as JSON.\n"
    "         Exit status: 0 when the installer would open its window, 1 when not.\n"
    "  check  reports every error, warning and note, line by line.\n"
    "         Exit status: 0 without errors, 1 with one (--strict: also with a warning).\n"
    "  plan   prints what the installation run would do, step by step, touching nothing.\n"
    "         --folder gives the path that a target key (gmspath, usergmspath, userdatapath,\n"
    "         applicationpath) resolves to, in every version or, with VERSION: (X7:gmspath=...),\n"
    "         in one; without it the plan shows <key>. Where the description names versions\n"
    "         (HostVersions), the plan takes them all to be installed; --installed takes only\n"
    "         those of LIST (as HostVersions is written, or none).\n"
    "         Exit status: 0 when the run would end in success, 1 when not.\n"
    "  pack   checks FOLDER and writes one setup file that carries it (default:\n"
    "         FOLDER's name with -setup.exe, in the current folder); refused when the check\n"
    "         finds an error, unless --force. Exit status: 0 when written, 1 when not.\n"
    "  --json prints the result as one JSON object.\n"
    "Exit status 2: a usage error.\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

std::wstring FolderPrefix(std::wstring folder) {
    if (folder.empty()) {
        folder = L".";
    }
    if (folder.back() != tamrick::kPathSeparator && folder.back() != L'/') {
        folder.push_back(tamrick::kPathSeparator);
    }
    return folder;
}

struct Options {
    std::wstring command;
    std::optional<std::wstring> folder;
    bool json = false;
    bool strict = false;
    bool force = false;
    std::optional<std::wstring> output;
    tamrick::PlanOptions plan;
};

// "KEY=PATH" or "VERSION:KEY=PATH" (a version as HostVersions names one); the path may hold
// colons of its own.
bool ParseFolder(const std::wstring& given, tamrick::PlanOptions& plan) {
    const auto eq = given.find(L'=');
    if (eq == std::wstring::npos) {
        return false;
    }
    std::wstring key = given.substr(0, eq);
    tamrick::HostFolders* folders = &plan.folders;
    if (const auto colon = key.find(L':'); colon != std::wstring::npos) {
        const tamrick::HostVersionList version = tamrick::ParseHostVersions(key.substr(0, colon));
        if (version.majors.size() != 1 || !version.problems.empty()) {
            return false;
        }
        folders = &plan.versionFolders[version.majors.front()];
        key = key.substr(colon + 1);
    }
    key = tamrick::ToLowerText(key);
    if (!tamrick::FolderForKey(key)) {
        return false;
    }
    (*folders)[key] = given.substr(eq + 1);
    return true;
}

// A list as HostVersions is written, or "none".
bool ParseInstalled(const std::wstring& given, tamrick::PlanOptions& plan) {
    if (given == L"none") {
        plan.installed.emplace();
        return true;
    }
    const tamrick::HostVersionList list = tamrick::ParseHostVersions(given);
    if (list.majors.empty() || !list.problems.empty()) {
        return false;
    }
    plan.installed = list.majors;
    return true;
}

// Takes the options that `command` allows; false on anything else.
bool Parse(const std::vector<std::wstring>& args, Options& o) {
    if (args.empty()) {
        return false;
    }
    o.command = args[0];
    const bool show = o.command == L"show";
    const bool check = o.command == L"check";
    const bool plan = o.command == L"plan";
    const bool pack = o.command == L"pack";
    if (!show && !check && !plan && !pack) {
        return false;
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (a == L"--json" && (check || plan)) {
            o.json = true;
        } else if (a == L"--strict" && check) {
            o.strict = true;
        } else if (a == L"--folder" && plan && i + 1 < args.size()) {
            if (!ParseFolder(args[++i], o.plan)) {
                return false;
            }
        } else if (a == L"--installed" && plan && i + 1 < args.size() && !o.plan.installed) {
            if (!ParseInstalled(args[++i], o.plan)) {
                return false;
            }
        } else if (a == L"--force" && pack) {
            o.force = true;
        } else if (a == L"-o" && pack && i + 1 < args.size() && !o.output) {
            o.output = args[++i];
        } else if (a.starts_with(L"-") || o.folder) {
            return false;
        } else {
            o.folder = a;
        }
    }
    return !pack || o.folder;
}

int Run(const std::vector<std::wstring>& args) {
    Options o;
    if (!Parse(args, o)) {
        return Usage();
    }
    const std::wstring folder = FolderPrefix(o.folder.value_or(L"."));
    // Named as the packager gave the folder.
    const std::wstring fileName =
        o.folder ? folder + tamrick::kDescriptionName : std::wstring(tamrick::kDescriptionName);
    if (o.command == L"show") {
        const tamrick::DescriptionRead read = tamrick::ReadDescription(folder);
        Print(tamrick::ShowJson(read));
        return read.result ? 0 : 1;
    }
    if (o.command == L"pack") {
        tamrick::PackOptions pack;
        pack.folder = folder;
        pack.output = o.output;
        pack.force = o.force;
        pack.distribution = tamrick::DistributionFolders();
        return tamrick::Pack(pack, Print, [](const std::string& text) {
            std::fwrite(text.data(), 1, text.size(), stderr);
        });
    }
    if (o.command == L"check") {
        const tamrick::CheckReport report = tamrick::CheckFolder(folder);
        Print(o.json ? tamrick::CheckJson(report, fileName) : tamrick::CheckText(report, fileName));
        return tamrick::CheckExitStatus(report, o.strict);
    }
    const tamrick::Plan plan = tamrick::MakePlan(folder, o.plan);
    Print(o.json ? tamrick::PlanJson(plan, fileName) : tamrick::PlanText(plan, fileName));
    return plan.outcome == "success" ? 0 : 1;
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    // cabinet.dll is loaded for pack: from the system folder only.
    tamrick::RestrictDllSearch();
    // UTF-8 bytes, untouched by the console's code page.
    _setmode(_fileno(stdout), _O_BINARY);
    return Run(std::vector<std::wstring>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg;
        tamrick::AppendUtf8(argv[i], arg);
        args.push_back(std::move(arg));
    }
    return Run(args);
}
#endif
