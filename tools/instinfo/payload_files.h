#pragma once
// What a setup carries of an add-on folder: the description, the banner, the folder's own
// installer and the sources of the copy and import items, each once and named as on disk. Both
// `check` and `pack` ask this, so what checks clean is what gets packed.

#include "description/reader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tamrick {

struct PayloadFile {
    std::wstring name; // as unpacked: "\" between folders, each name as it is on disk
    std::wstring path; // on this machine
    std::uint64_t size = 0;
};

// What keeps a file out of any setup: it lies outside the folder, a link is on its way, or
// Windows can't create its name. Each is an error of the line that names the file.
struct PayloadProblem {
    std::size_t line = 0; // of the description; 0 for the description as a whole
    std::string code;     // "payload-outside", "payload-link", "payload-name", "payload-case"
    std::wstring message;
};

struct PayloadSelection {
    std::vector<PayloadFile> files;       // by name; a missing file is simply not there
    std::vector<PayloadProblem> problems; // by line
};

// `folder` ends in a separator; `description` as ReadDescription gives it, with the default
// banner's name filled in. Links are never followed.
PayloadSelection SelectPayload(const std::wstring& folder, const ParsedDescription& description);

// The folder's other files and links, by name; the setup being written (`setup`) is not one of
// them. Throws std::runtime_error when the folder can't be read.
std::vector<std::wstring> FilesLeftOut(const std::wstring& folder,
                                       const std::vector<PayloadFile>& files,
                                       const std::wstring& setup);

} // namespace tamrick
