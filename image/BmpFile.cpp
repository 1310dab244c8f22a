#include "image/BmpFile.h"

#include "image/ByteOrder.h"
#include "image/DibSource.h"

#include <cstdint>
#include <new>
#include <vector>

namespace {

constexpr std::uint32_t kDataOffset = kBmpFileHeaderSize + kInfoHeaderSize;

// Appends exactly size bytes of the stream to out. Reads in pieces, so a
// header that promises more than the file holds costs no more memory than
// the file. Throws std::bad_alloc.
bool readExactly(std::FILE* stream, std::uint64_t size, std::vector<unsigned char>& out)
{
    constexpr std::size_t kPiece = 1 << 16;
    while (size > 0) {
        const std::size_t piece = size < kPiece ? static_cast<std::size_t>(size) : kPiece;
        const std::size_t start = out.size();
        out.resize(start + piece);
        if (std::fread(out.data() + start, 1, piece, stream) != piece)
            return false;
        size -= piece;
    }
    return true;
}

} // namespace

bool readBmpFile(std::FILE* stream, DibSource& source)
{
    try {
        unsigned char fileHeader[kBmpFileHeaderSize];
        if (std::fread(fileHeader, 1, sizeof fileHeader, stream) != sizeof fileHeader)
            return false;
        if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
            return false;
        const std::uint32_t dataOffset = readU32(fileHeader + 10);
        if (dataOffset < kDataOffset)
            return false;

        std::vector<unsigned char> block;
        if (!readExactly(stream, dataOffset - kBmpFileHeaderSize, block))
            return false;
        if (source.readHeader(block.data(), block.size()) == 0)
            return false;

        std::vector<unsigned char> rows;
        const std::uint64_t size = static_cast<std::uint64_t>(source.rowSize) * source.height;
        if (!readExactly(stream, size, rows))
            return false;
        source.rows.swap(rows);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool writeBmpFile(std::FILE* stream, const unsigned char* bits, int width, int height, int stride)
{
    if (!bits || height <= 0 || stride <= 0 || stride != dibStride(width) || height > INT32_MAX / stride)
        return false;

    unsigned char header[kDataOffset] = {};
    header[0] = 'B';
    header[1] = 'M';
    // The file-size field stays 0: readers size the picture by its info header.
    writeU32(header + 10, kDataOffset);
    unsigned char* info = header + kBmpFileHeaderSize;
    writeU32(info, kInfoHeaderSize);
    writeU32(info + 4, static_cast<std::uint32_t>(width));
    writeU32(info + 8, static_cast<std::uint32_t>(height));
    writeU16(info + 12, 1);  // planes
    writeU16(info + 14, 24); // bits per pixel; the rest (BI_RGB, no palette) is 0

    const std::size_t size = static_cast<std::size_t>(height) * static_cast<std::size_t>(stride);
    return std::fwrite(header, 1, sizeof header, stream) == sizeof header && std::fwrite(bits, 1, size, stream) == size;
}
