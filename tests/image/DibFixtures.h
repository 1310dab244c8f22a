#pragma once

// Hand-built BMP files and packed DIBs for the image tests.

#include "image/DibSource.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace dibtest {

// The bytes of a hand-built block, as the readers take them.
inline const unsigned char* bytesOf(const std::string& block)
{
    return reinterpret_cast<const unsigned char*>(block.data());
}

inline std::string le16(unsigned value)
{
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
}

inline std::string le32(std::uint32_t value)
{
    return le16(value & 0xFFFF) + le16(value >> 16);
}

// The fields of a BITMAPINFOHEADER; size beyond 40 is padded with zeros.
struct Info {
    std::uint32_t size = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    unsigned planes = 1;
    unsigned bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
};

inline std::string infoHeader(const Info& info)
{
    std::string h = le32(info.size) + le32(static_cast<std::uint32_t>(info.width)) +
                    le32(static_cast<std::uint32_t>(info.height)) + le16(info.planes) + le16(info.bitCount) +
                    le32(info.compression) + le32(0) + le32(0) + le32(0) + le32(info.colorsUsed) + le32(0);
    if (info.size > 40 && info.size < 4096)
        h.resize(info.size, '\0');
    return h;
}

inline std::string paletteColour(int i)
{
    return std::string{static_cast<char>(i), static_cast<char>(255 - i), static_cast<char>(7 * i)};
}

// A palette of count entries whose entry i is (blue, green, red) =
// (i, 255 - i, 7 * i mod 256), so that every entry is distinct.
inline std::string palette(int count)
{
    std::string p;
    for (int i = 0; i < count; ++i)
        p += paletteColour(i) + '\0';
    return p;
}

// A BMP file: file header, then head (info header and palette), then
// pixels; the data offset is that of the pixels unless given.
inline std::string bmpFile(const std::string& head, const std::string& pixels, std::uint32_t dataOffset = 0)
{
    if (dataOffset == 0)
        dataOffset = static_cast<std::uint32_t>(14 + head.size());
    return "BM" + le32(0) + le16(0) + le16(0) + le32(dataOffset) + head + pixels;
}

// The picture as width x 3 bytes per row, bottom-up, without row padding.
inline std::string packed(const unsigned char* bits, int width, int height, int stride)
{
    std::string s;
    for (int y = 0; y < height; ++y)
        s.append(reinterpret_cast<const char*>(bits) + static_cast<std::size_t>(y) * stride,
                 static_cast<std::size_t>(width) * 3);
    return s;
}

// Expands a source into a fresh 24-bit block and returns its rows as
// packed() does.
inline std::string expanded(const DibSource& source)
{
    const int stride = dibStride(source.width);
    std::vector<unsigned char> bits(static_cast<std::size_t>(stride) * source.height);
    source.expandInto(bits.data(), stride);
    return packed(bits.data(), source.width, source.height, stride);
}

// readPacked on an exactly sized heap copy, so that the sanitizers see any
// read past the block.
inline bool readPacked(DibSource& source, const std::string& block)
{
    std::vector<unsigned char> copy(block.begin(), block.end());
    return source.readPacked(copy.data(), copy.size());
}

inline std::uint64_t fnv1a(const std::string& bytes)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes)
        h = (h ^ c) * 0x100000001b3ull;
    return h;
}

} // namespace dibtest
