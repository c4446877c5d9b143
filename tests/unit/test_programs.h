#pragma once
// Files made up for the tests, byte by byte: just enough of a PE program's headers, a bitmap.

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

// A Windows bitmap of the given size: 16-bit 5-5-5, no compression, all pixels black.
inline std::string Bitmap(std::uint32_t width, std::uint32_t height, std::size_t cutPixels = 0) {
    const std::uint32_t stride = (width * 16 + 31) / 32 * 4;
    std::string b(54 + std::size_t{stride} * height - cutPixels, '\0');
    b[0] = 'B';
    b[1] = 'M';
    Put(b, 2, static_cast<std::uint32_t>(b.size()), 4);
    Put(b, 10, 54, 4);
    Put(b, 14, 40, 4);
    Put(b, 18, width, 4);
    Put(b, 22, height, 4);
    Put(b, 26, 1, 2);
    Put(b, 28, 16, 2);
    return b;
}

} // namespace tamrick::test
