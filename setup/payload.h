#pragma once
// The setup file: the setup program, then right after the end of its last section a header and
// the add-on folder as a cabinet. The setup program finds the header through its own PE
// headers, not from the file's end, so a signature appended later does not move it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tamrick::payload {

inline constexpr std::string_view kMagic{"TamrkCAB", 8};
inline constexpr std::uint32_t kVersion = 1;
// Fixed part of the header: magic, version, header size, payload length, CRC-32, title length.
inline constexpr std::size_t kFixedHeaderSize = 8 + 4 + 4 + 8 + 4 + 4;
inline constexpr std::size_t kMaxTitleLength = 1024;
// Enough of the program's start to hold its PE headers and section table.
inline constexpr std::size_t kPeHeadBytes = 4096;
// The installer that the setup starts, at the top of the payload.
inline constexpr const wchar_t* kInstallerName = L"TamrickInstaller.exe";

struct Header {
    std::uint64_t payloadLength = 0; // the cabinet's bytes, right after the header
    std::uint32_t crc32 = 0;         // over those bytes
    std::wstring title;              // the add-on's title, for the unpacking window
};

std::string EncodeHeader(const Header& header);

// The header at the start of `bytes` and its size; nothing when it is not one of ours or is
// cut short.
struct DecodedHeader {
    Header header;
    std::size_t size = 0;
};
std::optional<DecodedHeader> DecodeHeader(std::string_view bytes);

// CRC-32 (the one of ZIP and PNG), fed in pieces.
class Crc32 {
  public:
    void Update(const void* data, std::size_t size);
    std::uint32_t value() const { return ~state_; }

  private:
    std::uint32_t state_ = 0xFFFFFFFFu;
};

// Where the raw data of a PE program's last section ends, read from the program's first bytes
// (at least its headers and section table); nothing when they are not a PE program's.
std::optional<std::uint64_t> EndOfSections(std::string_view head);

// Whether a name from the cabinet stays inside the folder it is unpacked into: relative, with
// "\" or "/" between non-empty names, none of them ".", "..", a device name (CON, NUL, COM1,
// ... with or without an extension), ending in a dot or space (which Windows drops), or holding
// a colon (a drive or a stream), a control character or one of <>"|?*.
bool IsSafeEntryName(std::wstring_view name);

} // namespace tamrick::payload
