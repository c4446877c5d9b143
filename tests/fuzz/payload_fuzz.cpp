// Any bytes where the setup program looks for its payload: the header, the program's section
// table and the names in the cabinet are read without a crash, and what they let through holds.

#include "check.h"
#include "setup/payload.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

// The bytes as a UTF-16 LE name, as a cabinet entry's name reaches the check.
std::wstring AsName(std::string_view bytes) {
    std::wstring name;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        name.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace payload = tamrick::payload;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // A header read is one that writes back to the same bytes.
    if (const auto decoded = payload::DecodeHeader(bytes)) {
        Check(decoded->size <= bytes.size());
        Check(payload::EncodeHeader(decoded->header) == bytes.substr(0, decoded->size));
    }

    payload::EndOfSections(bytes);

    // A safe name never leaves the folder: no drive, stream, root or parent anywhere in it.
    const std::wstring name = AsName(bytes);
    if (payload::IsSafeEntryName(name)) {
        Check(name.find(L':') == std::wstring::npos);
        Check(name.front() != L'\\' && name.front() != L'/');
        Check(name != L".." && !name.starts_with(L"..\\") && !name.starts_with(L"../") &&
              name.find(L"\\..\\") == std::wstring::npos &&
              name.find(L"/../") == std::wstring::npos && !name.ends_with(L"\\..") &&
              !name.ends_with(L"/.."));
    }
    return 0;
}
