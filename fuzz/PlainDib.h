#pragma once

// Plain decoding of device-independent bitmap rows, written for the BMP and
// clipboard DIB targets as the reference the program's readers are held to.

#include "fuzz/FuzzSupport.h"
#include "image/DibSource.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

inline std::uint32_t u32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}

// The pixels of stored rows of rowSize bytes, 1, 4, 8 or 24 bits a pixel,
// as bottom-up rows of width x 3 bytes, blue first. height < 0: the rows are
// stored top-down. Palette indices from colours on read as black.
inline std::vector<unsigned char> plainPixels(const unsigned char* stored, std::uint64_t rowSize, std::int64_t width,
                                              std::int64_t height, unsigned bits, const unsigned char* palette,
                                              std::uint64_t colours)
{
    const std::int64_t rows = height < 0 ? -height : height;
    std::vector<unsigned char> pixels(std::size_t(width) * 3 * std::size_t(rows));
    for (std::int64_t y = 0; y < rows; ++y) {
        const std::int64_t at = height < 0 ? rows - 1 - y : y;
        const unsigned char* row = stored + std::uint64_t(at) * rowSize;
        unsigned char* out = pixels.data() + std::size_t(y) * std::size_t(width) * 3;
        for (std::int64_t x = 0; x < width; ++x, out += 3) {
            if (bits == 24) {
                std::memcpy(out, row + x * 3, 3);
                continue;
            }
            const std::uint64_t bit = std::uint64_t(x) * bits;
            const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
            if (index < colours)
                std::memcpy(out, palette + index * 4, 3);
            else
                std::memset(out, 0, 3);
        }
    }
    return pixels;
}

// Expands source into a padded block: it must give pixels (as plainPixels
// gives them) and leave the row padding alone.
inline void requireExpandedPixels(const DibSource& source, const std::vector<unsigned char>& pixels, int width,
                                  int height)
{
    constexpr unsigned char kUntouched = 0xA5;
    const int stride = dibStride(source.width);
    require(stride > 0, "a read picture has a stride");
    std::vector<unsigned char> bits(std::size_t(stride) * std::size_t(source.height), kUntouched);
    source.expandInto(bits.data(), stride);
    const std::size_t rowBytes = std::size_t(width) * 3;
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = bits.data() + std::size_t(y) * std::size_t(stride);
        require(std::memcmp(row, pixels.data() + y * rowBytes, rowBytes) == 0, "expandInto gives the decoded pixels");
        for (std::size_t pad = rowBytes; pad < std::size_t(stride); ++pad)
            require(row[pad] == kUntouched, "expandInto leaves the row padding alone");
    }
}
