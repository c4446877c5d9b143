#pragma once
// A program's first bytes made up for the tests: just enough of a PE file's headers.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tamrick::test {

inline void Put(std::string& bytes, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// A PE program's headers with sections ending at `end` (the last one's raw data).
inline std::string FakeProgram(std::uint32_t end) {
    std::string bytes(end, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    Put(bytes, 0x3C, 0x80, 4);
    bytes.replace(0x80, 4, std::string("PE\0\0", 4));
    Put(bytes, 0x80 + 6, 2, 2);     // two sections
    Put(bytes, 0x80 + 20, 0xE0, 2); // optional header
    const std::size_t table = 0x80 + 24 + 0xE0;
    Put(bytes, table + 16, 0x200, 4); // first: 0x200 bytes at 0x400
    Put(bytes, table + 20, 0x400, 4);
    Put(bytes, table + 40 + 16, end - 0x600, 4); // second: up to the end
    Put(bytes, table + 40 + 20, 0x600, 4);
    return bytes;
}

} // namespace tamrick::test
