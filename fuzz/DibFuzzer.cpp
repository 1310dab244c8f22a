// fuzz_dib: DibSource::readPacked, the reader of a clipboard CF_DIB block.
//
// Input: the block itself, copied into a heap buffer of exactly its size (as
// GlobalSize gives it), so that a read past the end is an AddressSanitizer
// report. The result is compared with a plain decoder written here: the same
// success or failure and, on success, the same size, the stored rows taken
// from where they are in the block, and the same pixels once expanded. A
// second readPacked into the same object must give the same result.

#include "fuzz/FuzzSupport.h"
#include "fuzz/PlainDib.h"
#include "image/DibSource.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct Picture {
    bool loaded = false;
    int width = 0;
    int height = 0;
    std::uint64_t rowsAt = 0;
    std::uint64_t rowSize = 0;
    std::vector<unsigned char> pixels; // bottom-up rows of width x 3 bytes
};

// The info header, the colour table (for 24 bits, colours-used entries that
// nobody reads), then the rows.
Picture decode(const unsigned char* block, std::size_t size)
{
    Picture picture;
    if (size < 40)
        return picture;
    const std::uint64_t headerSize = u32(block);
    const std::int64_t width = std::int32_t(u32(block + 4));
    const std::int64_t height = std::int32_t(u32(block + 8));
    const unsigned bits = block[14] | (block[15] << 8);
    const std::uint64_t used = u32(block + 32);
    if (headerSize < 40 || headerSize > size || u32(block + 16) != 0)
        return picture;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return picture;
    const std::int64_t rows = height < 0 ? -height : height;
    if (width <= 0 || rows == 0 || rows > INT_MAX)
        return picture;
    const std::int64_t stride = (width * 3 + 3) / 4 * 4;
    if (stride > INT_MAX || rows * stride > INT_MAX)
        return picture;
    const std::uint64_t colours = bits <= 8 ? (used != 0 ? used : 1u << bits) : 0;
    const std::uint64_t table = bits <= 8 ? colours : used;
    if (headerSize + table * 4 > size)
        return picture;
    const std::uint64_t rowsAt = headerSize + table * 4;
    const std::uint64_t rowSize = (std::uint64_t(width) * bits + 31) / 32 * 4;
    if (rowSize * std::uint64_t(rows) > size - rowsAt)
        return picture;

    picture.loaded = true;
    picture.width = int(width);
    picture.height = int(rows);
    picture.rowsAt = rowsAt;
    picture.rowSize = rowSize;
    picture.pixels = plainPixels(block + rowsAt, rowSize, width, height, bits, block + headerSize, colours);
    return picture;
}

void check(const DibSource& source, bool read, const Picture& expected, const unsigned char* block)
{
    require(read == expected.loaded, "readPacked reads exactly the blocks the plain decoder reads");
    if (!read)
        return;
    require(source.width == expected.width && source.height == expected.height, "the size is the header's");
    require(source.rowSize >= 0 && std::uint64_t(source.rowSize) == expected.rowSize,
            "rows are the header's width in bits, padded to 4 bytes");
    require(source.rows.size() == expected.rowSize * std::uint64_t(expected.height)
                && (source.rows.empty() || std::memcmp(source.rows.data(), block + expected.rowsAt, source.rows.size()) == 0),
            "the rows are the block's bytes after the colour table");
    require(source.palette.size() == std::size_t(source.colourCount) * 4, "the palette holds colourCount entries");
    requireExpandedPixels(source, expected.pixels, expected.width, expected.height);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Exactly the block's size, nothing after it; none at all when empty.
    std::unique_ptr<unsigned char[]> block(size ? new unsigned char[size] : nullptr);
    if (size)
        std::memcpy(block.get(), data, size);
    const Picture expected = decode(block.get(), size);

    DibSource source;
    check(source, source.readPacked(block.get(), size), expected, block.get());
    // The same object again, as a paste after a paste.
    check(source, source.readPacked(block.get(), size), expected, block.get());
    return 0;
}
