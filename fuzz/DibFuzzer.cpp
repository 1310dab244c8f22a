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
    PlainHeader h;
    if (!plainHeader(block, size, h))
        return picture;
    const std::uint64_t table = h.bits <= 8 ? h.colours() : h.used;
    if (h.size + table * 4 > size)
        return picture;
    const std::uint64_t rowsAt = h.size + table * 4;
    if (h.rowSize * static_cast<std::uint64_t>(h.rows) > size - rowsAt)
        return picture;

    picture.loaded = true;
    picture.width = static_cast<int>(h.width);
    picture.height = static_cast<int>(h.rows);
    picture.rowsAt = rowsAt;
    picture.rowSize = h.rowSize;
    picture.pixels = plainPixels(block + rowsAt, h.rowSize, h.width, h.height, h.bits, block + h.size, h.colours());
    return picture;
}

void check(const DibSource& source, bool read, const Picture& expected, const unsigned char* block)
{
    require(read == expected.loaded, "readPacked reads exactly the blocks the plain decoder reads");
    if (!read)
        return;
    requireDecoded(source, expected.width, expected.height, expected.rowSize, expected.pixels);
    require(source.rows.size() == expected.rowSize * static_cast<std::uint64_t>(expected.height) &&
                (source.rows.empty() ||
                 std::memcmp(source.rows.data(), block + expected.rowsAt, source.rows.size()) == 0),
            "the rows are the block's bytes after the colour table");
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
