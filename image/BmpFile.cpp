#include "image/BmpFile.h"

#include "image/DibSource.h"

#include <cstdint>
#include <new>
#include <vector>

namespace {

constexpr std::uint32_t kDataOffset = kBmpFileHeaderSize + kInfoHeaderSize;

std::uint32_t readU32(const unsigned char* p)
{
    return (std::uint32_t)p[0] | ((std::uint32_t)p[1] << 8) | ((std::uint32_t)p[2] << 16)
           | ((std::uint32_t)p[3] << 24);
}

void writeU16(unsigned char* p, unsigned value)
{
    p[0] = (unsigned char)(value & 0xFF);
    p[1] = (unsigned char)((value >> 8) & 0xFF);
}

void writeU32(unsigned char* p, std::uint32_t value)
{
    writeU16(p, value & 0xFFFF);
    writeU16(p + 2, value >> 16);
}

// Appends exactly size bytes of the stream to out. Reads in pieces, so a
// header that promises more than the file holds costs no more memory than
// the file. Throws std::bad_alloc.
bool readExactly(std::FILE* stream, std::uint64_t size, std::vector<unsigned char>& out)
{
    constexpr std::size_t kPiece = 1 << 16;
    while (size > 0) {
        const std::size_t piece = size < kPiece ? (std::size_t)size : kPiece;
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
        if (!readExactly(stream, (std::uint64_t)source.rowSize * (std::uint64_t)source.height, rows))
            return false;
        source.rows.swap(rows);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool writeBmpFile(std::FILE* stream, const unsigned char* bits, int width, int height,
                  int stride)
{
    if (!bits || height <= 0 || stride <= 0 || stride != dibStride(width)
        || height > INT32_MAX / stride)
        return false;

    unsigned char header[kDataOffset] = {};
    header[0] = 'B';
    header[1] = 'M';
    // The file-size field stays 0: readers size the picture by its info header.
    writeU32(header + 10, kDataOffset);
    unsigned char* info = header + kBmpFileHeaderSize;
    writeU32(info, kInfoHeaderSize);
    writeU32(info + 4, (std::uint32_t)width);
    writeU32(info + 8, (std::uint32_t)height);
    writeU16(info + 12, 1);  // planes
    writeU16(info + 14, 24); // bits per pixel; the rest (BI_RGB, no palette) is 0

    const std::size_t size = (std::size_t)height * (std::size_t)stride;
    return std::fwrite(header, 1, sizeof header, stream) == sizeof header
           && std::fwrite(bits, 1, size, stream) == size;
}
