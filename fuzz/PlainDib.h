#pragma once

// Plain decoding of device-independent bitmap rows, written for the BMP and
// clipboard DIB targets as the reference the program's readers are held to.

#include "fuzz/FuzzSupport.h"
#include "image/DibSource.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

inline std::uint32_t u32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The fields of an info header that the plain decoders use.
struct PlainHeader {
    std::uint64_t size = 0; // of the header itself
    std::int64_t width = 0;
    std::int64_t height = 0; // negative when the rows are stored top-down
    std::int64_t rows = 0;
    unsigned bits = 0;
    std::uint64_t used = 0;    // the colours-used field
    std::uint64_t rowSize = 0; // stored bytes per row, padded to 4

    // Palette entries: colours used, or all 2^bits when 0; none for 24 bits.
    std::uint64_t colours() const { return bits <= 8 ? (used != 0 ? used : 1u << bits) : 0; }
};

// Reads the info header at the start of the length (at least 40) bytes of
// info. False unless the header is at least 40 bytes long and fits there,
// the picture uncompressed, of 1, 4, 8 or 24 bits, not empty, and its
// 24-bit expansion countable in an int.
inline bool plainHeader(const unsigned char* info, std::uint64_t length, PlainHeader& header)
{
    header.size = u32(info);
    header.width = static_cast<std::int32_t>(u32(info + 4));
    header.height = static_cast<std::int32_t>(u32(info + 8));
    header.bits = info[14] | (info[15] << 8);
    header.used = u32(info + 32);
    if (header.size < 40 || header.size > length || u32(info + 16) != 0)
        return false;
    if (header.bits != 1 && header.bits != 4 && header.bits != 8 && header.bits != 24)
        return false;
    header.rows = header.height < 0 ? -header.height : header.height;
    if (header.width <= 0 || header.rows == 0 || header.rows > INT_MAX)
        return false;
    const std::int64_t stride = (header.width * 3 + 3) / 4 * 4;
    if (stride > INT_MAX || header.rows * stride > INT_MAX)
        return false;
    header.rowSize = (static_cast<std::uint64_t>(header.width) * header.bits + 31) / 32 * 4;
    return true;
}

// The pixels of stored rows of rowSize bytes, 1, 4, 8 or 24 bits a pixel,
// as bottom-up rows of width x 3 bytes, blue first. height < 0: the rows are
// stored top-down. Palette indices from colours on read as black.
inline std::vector<unsigned char> plainPixels(const unsigned char* stored, std::uint64_t rowSize, std::int64_t width,
                                              std::int64_t height, unsigned bits, const unsigned char* palette,
                                              std::uint64_t colours)
{
    const std::int64_t rows = height < 0 ? -height : height;
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * 3 * static_cast<std::size_t>(rows));
    for (std::int64_t y = 0; y < rows; ++y) {
        const std::int64_t at = height < 0 ? rows - 1 - y : y;
        const unsigned char* row = stored + static_cast<std::uint64_t>(at) * rowSize;
        unsigned char* out = pixels.data() + static_cast<std::size_t>(y * width) * 3;
        for (std::int64_t x = 0; x < width; ++x, out += 3) {
            if (bits == 24) {
                std::memcpy(out, row + x * 3, 3);
                continue;
            }
            const std::uint64_t bit = static_cast<std::uint64_t>(x) * bits;
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
    std::vector<unsigned char> bits(static_cast<std::size_t>(stride) * static_cast<std::size_t>(source.height),
                                    kUntouched);
    source.expandInto(bits.data(), stride);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = bits.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
        require(std::memcmp(row, pixels.data() + y * rowBytes, rowBytes) == 0, "expandInto gives the decoded pixels");
        for (std::size_t pad = rowBytes; pad < static_cast<std::size_t>(stride); ++pad)
            require(row[pad] == kUntouched, "expandInto leaves the row padding alone");
    }
}

// A source that was read must have the plainly decoded size, stored row
// size and pixels, and a palette of colourCount entries.
inline void requireDecoded(const DibSource& source, int width, int height, std::uint64_t rowSize,
                           const std::vector<unsigned char>& pixels)
{
    require(source.width == width && source.height == height, "the size is the header's");
    require(source.rowSize >= 0 && static_cast<std::uint64_t>(source.rowSize) == rowSize,
            "rows are the header's width in bits, padded to 4 bytes");
    require(source.palette.size() == static_cast<std::size_t>(source.colourCount) * 4,
            "the palette holds colourCount entries");
    requireExpandedPixels(source, pixels, width, height);
}
