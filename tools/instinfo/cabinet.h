#pragma once
// Writing the setup's payload: a cabinet (MSZIP), written by the platform's own cabinet code
// (libgcab on Linux, cabinet.dll's FCI on Windows). The same entries give the same bytes: every
// file gets the same date and attributes, and the entries go in the order given.

#include <cstdint>
#include <string>
#include <vector>

namespace tamrick {

struct CabinetEntry {
    std::wstring name;   // relative, with "\" between folders, as it is unpacked
    std::wstring source; // the file on this machine
};

// A cabinet's folder holds at most this many bytes before compression.
inline constexpr std::uint64_t kMaxCabinetInput = 0x7FFF8000u;

// Writes a new cabinet file; throws std::runtime_error (a UTF-8 message) when it can't, and
// then may have left a partial file behind for the caller to remove.
void WriteCabinet(const std::vector<CabinetEntry>& entries, const std::wstring& cabinet);

} // namespace tamrick
