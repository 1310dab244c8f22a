// fuzz_bmp: readBmpFile, DibSource::expandInto and writeBmpFile.
//
// Input: a whole BMP file, read from a fmemopen stream over exactly its
// bytes. The result is compared with a plain decoder written here: the same
// success or failure and, on success, the same size, a block of stored rows
// exactly as large as the header says, and the same pixels once expanded to
// 24 bits (the row padding left alone). A picture that was read is written
// back with writeBmpFile and must read back unchanged.

#include "fuzz/FuzzSupport.h"
#include "fuzz/PlainDib.h"
#include "image/BmpFile.h"
#include "image/DibSource.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

struct Picture {
    bool loaded = false;
    int width = 0;
    int height = 0;
    std::uint64_t storedRowSize = 0;
    std::vector<unsigned char> pixels; // bottom-up rows of width x 3 bytes, blue first
};

// An uncompressed 1-, 4-, 8- or 24-bit picture: the file header, the info
// header with the palette right after it, the rows from the data offset.
Picture decode(const unsigned char* file, std::size_t size)
{
    Picture picture;
    if (size < 14 || file[0] != 'B' || file[1] != 'M')
        return picture;
    const std::uint64_t dataOffset = u32(file + 10);
    if (dataOffset < 54 || dataOffset > size)
        return picture;
    const unsigned char* info = file + 14;
    const std::uint64_t infoLength = dataOffset - 14;
    const std::uint64_t headerSize = u32(info);
    const std::int64_t width = std::int32_t(u32(info + 4));
    const std::int64_t height = std::int32_t(u32(info + 8));
    const unsigned bits = info[14] | (info[15] << 8);
    if (headerSize < 40 || headerSize > infoLength || u32(info + 16) != 0)
        return picture;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return picture;
    const std::int64_t rows = height < 0 ? -height : height;
    if (width <= 0 || rows == 0 || rows > INT_MAX)
        return picture;
    // The expanded picture must be countable in an int.
    const std::int64_t stride = (width * 3 + 3) / 4 * 4;
    if (stride > INT_MAX || rows * stride > INT_MAX)
        return picture;
    std::uint64_t colours = 0;
    if (bits <= 8)
        colours = u32(info + 32) != 0 ? u32(info + 32) : 1u << bits;
    if (headerSize + colours * 4 > infoLength)
        return picture;
    const unsigned char* palette = info + headerSize;
    const std::uint64_t rowSize = (std::uint64_t(width) * bits + 31) / 32 * 4;
    if (rowSize * std::uint64_t(rows) > size - dataOffset)
        return picture;

    picture.loaded = true;
    picture.width = int(width);
    picture.height = int(rows);
    picture.storedRowSize = rowSize;
    picture.pixels = plainPixels(file + dataOffset, rowSize, width, height, bits, palette, colours);
    return picture;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Picture expected = decode(data, size);

    DibSource source;
    std::FILE* stream = memoryStream(std::string_view(reinterpret_cast<const char*>(data), size));
    const bool read = readBmpFile(stream, source);
    std::fclose(stream);
    require(read == expected.loaded, "readBmpFile reads exactly the files the plain decoder reads");
    if (!read)
        return 0;

    require(source.width == expected.width && source.height == expected.height, "the size is the header's");
    require(source.rowSize >= 0 && std::uint64_t(source.rowSize) == expected.storedRowSize,
            "rows are the header's width in bits, padded to 4 bytes");
    require(source.rows.size() == std::uint64_t(source.rowSize) * std::uint64_t(source.height),
            "the pixel block is exactly rowSize x height bytes");
    require(source.palette.size() == std::size_t(source.colourCount) * 4, "the palette holds colourCount entries");
    requireExpandedPixels(source, expected.pixels, expected.width, expected.height);

    // Written back as 24 bits, the picture reads back the same.
    const int stride = dibStride(source.width);
    std::vector<unsigned char> bits(std::size_t(stride) * std::size_t(source.height), 0);
    source.expandInto(bits.data(), stride);
    char* written = nullptr;
    std::size_t writtenSize = 0;
    std::FILE* out = open_memstream(&written, &writtenSize);
    require(out != nullptr, "open_memstream opens");
    const bool wrote = writeBmpFile(out, bits.data(), source.width, source.height, stride);
    std::fclose(out);
    require(wrote, "a picture that was read can be written");
    require(writtenSize == 54 + bits.size(), "the written file is the headers and the pixel block");
    std::FILE* again = memoryStream(std::string_view(written, writtenSize));
    DibSource back;
    const bool reread = readBmpFile(again, back);
    std::fclose(again);
    require(reread && back.bitCount == 24 && back.width == source.width && back.height == source.height
                && !back.topDown && back.rows == bits,
            "a written picture reads back unchanged");
    std::free(written);
    return 0;
}
