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
    PlainHeader h;
    if (!plainHeader(info, infoLength, h) || h.size + h.colours() * 4 > infoLength)
        return picture;
    if (h.rowSize * static_cast<std::uint64_t>(h.rows) > size - dataOffset)
        return picture;

    picture.loaded = true;
    picture.width = static_cast<int>(h.width);
    picture.height = static_cast<int>(h.rows);
    picture.storedRowSize = h.rowSize;
    picture.pixels = plainPixels(file + dataOffset, h.rowSize, h.width, h.height, h.bits, info + h.size, h.colours());
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

    requireDecoded(source, expected.width, expected.height, expected.storedRowSize, expected.pixels);
    require(source.rows.size() == expected.storedRowSize * static_cast<std::uint64_t>(source.height),
            "the pixel block is exactly rowSize x height bytes");

    // Written back as 24 bits, the picture reads back the same.
    const int stride = dibStride(source.width);
    std::vector<unsigned char> bits(static_cast<std::size_t>(stride) * static_cast<std::size_t>(source.height));
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
    require(reread && back.bitCount == 24 && back.width == source.width && back.height == source.height &&
                !back.topDown && back.rows == bits,
            "a written picture reads back unchanged");
    std::free(written);
    return 0;
}
