#pragma once
// `instinfo pack`: one setup file that carries an add-on folder. The setup program (shipped
// beside instinfo as TamrickSetup.exe) is copied first, then the payload's header and the
// folder as a cabinet.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tamrick {

inline constexpr const wchar_t* kSetupProgramName = L"TamrickSetup.exe";

struct PackOptions {
    std::wstring folder; // ends in a separator
    std::optional<std::wstring> output;
    bool force = false;
    // Where TamrickSetup.exe and TamrickInstaller.exe are looked for, in order.
    std::vector<std::wstring> distribution;
};

using Printer = std::function<void(const std::string&)>;

// Checks, packs and writes; `out` gets the findings and what went in, `err` what went wrong
// (UTF-8). Returns the exit status: 0 written, 1 refused or failed (nothing left behind).
int Pack(const PackOptions& options, const Printer& out, const Printer& err);

// The folders that a packager's installation of instinfo takes them from: the one named by the
// environment variable TAMRICK_DIST, the folder of instinfo itself, and for a build on Linux the
// i686 build's distributable folder.
std::vector<std::wstring> DistributionFolders();

// "<FOLDER's name>-setup.exe", in the current folder.
std::wstring DefaultSetupName(const std::wstring& folder);

} // namespace tamrick
