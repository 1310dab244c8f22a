#include "image/DibSource.h"

#include "image/ByteOrder.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr std::uint32_t kUncompressed = 0; // BI_RGB

// Bytes per stored row, padded to 4; 64-bit so that no width can wrap it.
std::uint64_t storedRowSize(int bitCount, int width)
{
    return (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitCount) + 31) / 32 * 4;
}

// Where row y of rows of rowSize bytes starts; both are not negative.
std::size_t rowOffset(int y, std::size_t rowSize)
{
    return static_cast<std::size_t>(y) * rowSize;
}

} // namespace

int dibStride(int width)
{
    if (width <= 0 || width > (INT_MAX - 3) / 3)
        return -1;
    return (width * 3 + 3) & ~3;
}

void expandIndexed(int bitCount, const unsigned char* palette, int colourCount, const unsigned char* source,
                   bool topDown, unsigned char* bits, int width, int height, int stride)
{
    if ((bitCount != 1 && bitCount != 4 && bitCount != 8) || width <= 0 || height <= 0)
        return;

    // Every index a row can hold gets an entry, so no index is looked up
    // past the palette; the ones it lacks stay black.
    unsigned char table[256][3] = {};
    const int entries = std::min(std::max(colourCount, 0), 1 << bitCount);
    for (int i = 0; i < entries; ++i)
        std::memcpy(table[i], palette + 4 * i, 3);

    const auto rowSize = static_cast<std::size_t>(storedRowSize(bitCount, width));
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = source + rowOffset(topDown ? height - 1 - y : y, rowSize);
        unsigned char* out = bits + rowOffset(y, stride);
        for (int x = 0; x < width; ++x) {
            unsigned index;
            if (bitCount == 8)
                index = row[x];
            else if (bitCount == 4)
                index = (x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4;
            else
                index = (row[x / 8] >> (7 - (x & 7))) & 1;
            std::memcpy(out + 3 * x, table[index], 3);
        }
    }
}

namespace {

// True for an info header of at least 40 bytes (shorter ones, OS/2's, lay
// their fields out differently) that the block holds, of an uncompressed
// picture of 1, 4, 8 or 24 bits that is not empty and whose 24-bit picture
// an int can count: it is the largest block, the stored rows are no longer.
bool readableHeader(const unsigned char* block, std::size_t length)
{
    const std::uint32_t headerSize = readU32(block);
    const std::int32_t fileWidth = readS32(block + 4);
    const std::int32_t fileHeight = readS32(block + 8);
    const unsigned fileBitCount = readU16(block + 14);
    if (headerSize < kInfoHeaderSize || headerSize > length)
        return false;
    if (readU32(block + 16) != kUncompressed)
        return false;
    if (fileBitCount != 1 && fileBitCount != 4 && fileBitCount != 8 && fileBitCount != 24)
        return false;
    if (fileWidth <= 0 || fileHeight == 0 || fileHeight == INT32_MIN)
        return false;
    const int rowCount = fileHeight < 0 ? -fileHeight : fileHeight;
    const int stride = dibStride(fileWidth);
    return stride >= 0 && rowCount <= INT_MAX / stride;
}

} // namespace

std::size_t DibSource::readHeader(const unsigned char* block, std::size_t length)
{
    if (!block || length < kInfoHeaderSize || !readableHeader(block, length))
        return 0;
    const std::uint32_t headerSize = readU32(block);
    const std::int32_t fileHeight = readS32(block + 8);
    const unsigned fileBitCount = readU16(block + 14);
    const std::uint32_t colorsUsed = readU32(block + 32);

    std::size_t count = 0;
    if (fileBitCount <= 8)
        count = colorsUsed != 0 ? colorsUsed : std::size_t{1} << fileBitCount;
    if (count > (length - headerSize) / 4 || count > std::size_t{INT_MAX} / 4)
        return 0;

    try {
        palette.assign(block + headerSize, block + headerSize + count * 4);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    width = readS32(block + 4);
    height = fileHeight < 0 ? -fileHeight : fileHeight;
    bitCount = static_cast<int>(fileBitCount);
    topDown = fileHeight < 0;
    colourCount = static_cast<int>(count);
    rowSize = static_cast<int>(storedRowSize(bitCount, width));
    rows.clear();
    return headerSize + count * 4;
}

bool DibSource::readPacked(const unsigned char* block, std::size_t length)
{
    std::size_t offset = readHeader(block, length);
    if (offset == 0)
        return false;
    if (bitCount == 24) {
        // A 24-bit DIB may still carry a colour table for palette devices;
        // its rows come after it.
        const std::uint32_t tableEntries = readU32(block + 32);
        if (tableEntries > (length - offset) / 4)
            return false;
        offset += std::size_t{tableEntries} * 4;
    }
    const std::size_t size = rowOffset(height, rowSize);
    if (size > length - offset)
        return false;
    try {
        rows.assign(block + offset, block + offset + size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void DibSource::expandInto(unsigned char* bits, int stride) const
{
    if (rows.size() < rowOffset(height, rowSize))
        return;
    if (bitCount != 24) {
        expandIndexed(bitCount, palette.data(), colourCount, rows.data(), topDown, bits, width, height, stride);
        return;
    }
    for (int y = 0; y < height; ++y) {
        const std::size_t from = rowOffset(topDown ? height - 1 - y : y, rowSize);
        std::memcpy(bits + rowOffset(y, stride), rows.data() + from, static_cast<std::size_t>(width) * 3);
    }
}
