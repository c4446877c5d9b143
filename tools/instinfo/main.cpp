// instinfo: the packager's view of an add-on folder, read with the installer's own reader and
// run logic.

#include "arguments.h"
#include "base/path_separator.h"
#include "check.h"
#include "description/platform.h"
#include "description/reader.h"
#include "pack.h"
#include "plan.h"
#include "show.h"

#include <cstdio>
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
    "       instinfo --help | --version\n"
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
    "  pack   checks FOLDER and writes one setup file that carries InstInfo.ini, the banner\n"
    "         and the files that the items copy or import, with the installer (default:\n"
    "         FOLDER's name with -setup.exe, in the current folder); refused when the check\n"
    "         finds an error, unless --force. A link, a file outside FOLDER or a name that\n"
    "         Windows can't create is refused even with --force. Exit status: 0 when\n"
    "         written, 1 when not.\n"
    "  --json prints the result as one JSON object.\n"
    "Exit status 2: a usage error.\n";

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void PrintError(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
}

std::wstring FolderPrefix(std::wstring folder) {
    if (folder.empty()) {
        folder = L".";
    }
    tamrick::EnsureTrailingSeparator(folder);
    return folder;
}

int Run(const std::vector<std::wstring>& args) {
    const tamrick::Arguments parsed = tamrick::ParseArguments(args);
    switch (parsed.ask) {
    case tamrick::Arguments::Ask::Help:
        Print(kUsage);
        return 0;
    case tamrick::Arguments::Ask::Version:
        Print("instinfo " TAMRICK_VERSION "\n");
        return 0;
    case tamrick::Arguments::Ask::Mistake:
        PrintError(parsed.mistake + "\nRun \"instinfo --help\" for the usage.\n");
        return 2;
    case tamrick::Arguments::Ask::Run:
        break;
    }
    const tamrick::Options& o = parsed.options;
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
        return tamrick::Pack(pack, Print, PrintError);
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
    // UTF-8 bytes, untouched by the console's code page, and lines ending as on Linux.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
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
