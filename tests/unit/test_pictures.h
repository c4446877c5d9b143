#pragma once
// Picture files made up for the tests, byte by byte.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tamrick::test {

// A Windows bitmap of the given size: 16-bit 5-5-5, no compression, all pixels black.
inline std::string Bitmap(std::uint32_t width, std::uint32_t height, std::size_t cutPixels = 0) {
    const std::uint32_t stride = (width * 16 + 31) / 32 * 4;
    std::string b(54 + std::size_t{stride} * height - cutPixels, '\0');
    const auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            b[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, static_cast<std::uint32_t>(b.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, width, 4);
    put(22, height, 4);
    put(26, 1, 2);
    put(28, 16, 2);
    return b;
}

} // namespace tamrick::test
