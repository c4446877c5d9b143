#pragma once
// The setup program's work on its payload: find it through the program's own headers, check
// it whole, and unpack it with the system's cabinet.dll (FDI) into a folder.

#include "payload.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tamrick::setup {

struct PayloadLocation {
    std::uint64_t offset = 0; // of the cabinet in the setup file
    payload::Header header;
};

enum class Outcome {
    Done,
    Damaged,    // cut short, altered, or no payload at all
    UnsafeName, // an entry would land outside the folder
    Failed,     // the system refused (disk full, no access): see `error`
    Cancelled,  // the progress callback said stop
};

struct Result {
    Outcome outcome = Outcome::Done;
    DWORD error = 0;   // for Failed
    std::wstring name; // the entry concerned, where there is one
};

// Called now and then with the bytes done and the total of the step; false stops it.
using Progress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// The payload's place and header, read from the setup file; nothing when the file has none or
// is shorter than the header says.
std::optional<PayloadLocation> FindPayload(const std::wstring& setupFile);

// Reads the whole payload and compares its checksum: Done, Damaged, Failed or Cancelled.
Result VerifyPayload(const std::wstring& setupFile, const PayloadLocation& location,
                     const Progress& progress);

// Unpacks every entry into `folder` (which exists and ends in "\"). Every name is checked
// before the first file is written; a single unsafe one refuses them all.
Result Unpack(const std::wstring& setupFile, const PayloadLocation& location,
              const std::wstring& folder, const Progress& progress);

} // namespace tamrick::setup
