#include "payload.h"

#include "base/text_case.h"
#include "base/trim.h"

#include <algorithm>
#include <array>

namespace tamrick::payload {
namespace {

void PutLe(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>(static_cast<unsigned char>(value >> (8 * i))));
    }
}

std::uint64_t GetLe(std::string_view bytes, std::size_t at, int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

bool IsDeviceName(std::wstring_view segment) {
    // The device is found whatever follows its name after a dot: "con.txt" is CON.
    std::wstring stem;
    for (const wchar_t c : TrimEnd(segment.substr(0, segment.find(L'.')))) {
        stem.push_back(AsciiUpper(c));
    }
    for (const std::wstring_view device :
         {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"}) {
        if (stem == device) {
            return true;
        }
    }
    if (stem.size() == 4 && (stem.starts_with(L"COM") || stem.starts_with(L"LPT"))) {
        // COM1 to COM9, and the superscript digits that Windows also takes.
        const wchar_t digit = stem[3];
        return (digit >= L'0' && digit <= L'9') || digit == L'\x00B9' || digit == L'\x00B2' ||
               digit == L'\x00B3';
    }
    return false;
}

bool IsSafeSegment(std::wstring_view segment) {
    if (segment.empty() || segment == L"." || segment == L"..") {
        return false;
    }
    if (segment.back() == L'.' || segment.back() == L' ') {
        return false;
    }
    const bool badCharacter = std::any_of(segment.begin(), segment.end(), [](wchar_t c) {
        return static_cast<std::uint32_t>(c) < 0x20 || c == L':' || c == L'<' || c == L'>' ||
               c == L'"' || c == L'|' || c == L'?' || c == L'*';
    });
    return !badCharacter && !IsDeviceName(segment);
}

} // namespace

std::string EncodeHeader(const Header& header) {
    const std::size_t titleLength = std::min(header.title.size(), kMaxTitleLength);
    std::string out(kMagic);
    PutLe(out, kVersion, 4);
    PutLe(out, kFixedHeaderSize + 2 * titleLength, 4);
    PutLe(out, header.payloadLength, 8);
    PutLe(out, header.crc32, 4);
    PutLe(out, titleLength, 4);
    for (std::size_t i = 0; i < titleLength; ++i) {
        PutLe(out, static_cast<std::uint16_t>(header.title[i]), 2);
    }
    return out;
}

std::optional<DecodedHeader> DecodeHeader(std::string_view bytes) {
    if (bytes.size() < kFixedHeaderSize || bytes.substr(0, kMagic.size()) != kMagic ||
        GetLe(bytes, 8, 4) != kVersion) {
        return std::nullopt;
    }
    const std::uint64_t size = GetLe(bytes, 12, 4);
    const std::uint64_t titleLength = GetLe(bytes, 28, 4);
    if (titleLength > kMaxTitleLength || size != kFixedHeaderSize + 2 * titleLength ||
        bytes.size() < size) {
        return std::nullopt;
    }
    DecodedHeader decoded;
    decoded.size = static_cast<std::size_t>(size);
    decoded.header.payloadLength = GetLe(bytes, 16, 8);
    decoded.header.crc32 = static_cast<std::uint32_t>(GetLe(bytes, 24, 4));
    for (std::size_t i = 0; i < titleLength; ++i) {
        decoded.header.title.push_back(
            static_cast<wchar_t>(GetLe(bytes, kFixedHeaderSize + 2 * i, 2)));
    }
    return decoded;
}

void Crc32::Update(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint32_t c = state_;
    for (std::size_t i = 0; i < size; ++i) {
        c = kCrcTable[(c ^ p[i]) & 0xFFu] ^ (c >> 8);
    }
    state_ = c;
}

std::optional<std::uint64_t> EndOfSections(std::string_view head) {
    if (head.size() < 0x40 || head.substr(0, 2) != "MZ") {
        return std::nullopt;
    }
    const std::uint64_t pe = GetLe(head, 0x3C, 4);
    if (pe + 24 > head.size() ||
        head.substr(static_cast<std::size_t>(pe), 4) != std::string_view("PE\0\0", 4)) {
        return std::nullopt;
    }
    const auto at = static_cast<std::size_t>(pe);
    const std::uint64_t sections = GetLe(head, at + 6, 2);
    const std::uint64_t optionalSize = GetLe(head, at + 20, 2);
    const std::uint64_t table = pe + 24 + optionalSize;
    constexpr std::uint64_t kSectionSize = 40;
    if (sections == 0 || table + sections * kSectionSize > head.size()) {
        return std::nullopt;
    }
    std::uint64_t end = 0;
    for (std::uint64_t i = 0; i < sections; ++i) {
        const auto section = static_cast<std::size_t>(table + i * kSectionSize);
        const std::uint64_t rawSize = GetLe(head, section + 16, 4);
        const std::uint64_t rawPointer = GetLe(head, section + 20, 4);
        if (rawSize != 0) {
            end = std::max(end, rawPointer + rawSize);
        }
    }
    return end;
}

bool IsSafeEntryName(std::wstring_view name) {
    if (name.empty()) {
        return false;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t cut = name.find_first_of(L"\\/", start);
        if (!IsSafeSegment(
                name.substr(start, cut == std::wstring_view::npos ? cut : cut - start))) {
            return false;
        }
        if (cut == std::wstring_view::npos) {
            return true;
        }
        start = cut + 1;
    }
}

} // namespace tamrick::payload
