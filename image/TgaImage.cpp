#include "image/TgaImage.h"

#include "image/ByteOrder.h"
#include "platform/Runtime.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr unsigned kTrueColour = 2;
constexpr unsigned kTrueColourRle = 10;
constexpr unsigned kRightToLeft = 0x10;
constexpr unsigned kTopToBottom = 0x20;

using Block = std::unique_ptr<unsigned char[]>;

Block allocate(std::size_t size)
{
    return Block(new (std::nothrow) unsigned char[size]);
}

// What a file's header tells us about its pixels.
struct Layout {
    bool runLength = false;
    std::size_t width = 0;
    std::size_t height = 0;
    std::size_t bytesPerPixel = 0;
    unsigned descriptor = 0;

    std::size_t pixelCount() const { return width * height; }
};

// Reads the header and skips the image ID after it. False for a short
// header, a colour-mapped or other kind of picture, another depth, or an
// image without pixels, which cannot be a texture.
bool readLayout(std::FILE* in, Layout& layout)
{
    unsigned char header[kHeaderSize];
    if (std::fread(header, 1, kHeaderSize, in) != kHeaderSize)
        return false;
    const unsigned idLength = header[0];
    const unsigned colourMapType = header[1];
    const unsigned imageType = header[2];
    const unsigned depth = header[16];
    if (colourMapType != 0 || (imageType != kTrueColour && imageType != kTrueColourRle) || (depth != 24 && depth != 32))
        return false;
    unsigned char scratch[255];
    if (std::fread(scratch, 1, idLength, in) != idLength)
        return false;

    layout.runLength = imageType == kTrueColourRle;
    layout.width = readU16(header + 12);
    layout.height = readU16(header + 14);
    layout.bytesPerPixel = depth / 8;
    layout.descriptor = header[17];
    return layout.width != 0 && layout.height != 0;
}

// True when a block of the pixels can be allocated: one that no size_t can
// count cannot be addressed (a 32-bit build), and we allocate no more than
// the rest of the file can fill: raw pixels one for one, run-length packets
// at most 128 pixels per packet. A file whose size cannot be told is not
// trusted with an allocation.
bool fileCanFill(const Layout& layout, std::FILE* in)
{
    if (layout.width > SIZE_MAX / layout.bytesPerPixel / layout.height)
        return false;
    const long long rest = rt::remainingBytes(in);
    if (rest < 0)
        return false;
    const std::size_t pixelCount = layout.pixelCount();
    const std::size_t packets = layout.runLength ? (pixelCount + 127) / 128 : pixelCount;
    const std::size_t packetBytes = layout.bytesPerPixel + (layout.runLength ? 1 : 0);
    return static_cast<unsigned long long>(rest) / packetBytes >= packets;
}

// Decodes pixelCount pixels of run-length packets into dest. Packets may
// cross row ends; one that would run past the last pixel fails the decode.
bool decodeRle(std::size_t bytesPerPixel, unsigned char* dest, std::FILE* in, std::size_t pixelCount)
{
    std::size_t n = 0;
    while (n < pixelCount) {
        const int header = std::fgetc(in);
        if (header == EOF)
            return false;
        const std::size_t count = static_cast<std::size_t>(header & 0x7F) + 1;
        if (count > pixelCount - n)
            return false;
        unsigned char* out = dest + n * bytesPerPixel;
        if (header & 0x80) {
            unsigned char value[4];
            if (std::fread(value, 1, bytesPerPixel, in) != bytesPerPixel)
                return false;
            for (std::size_t i = 0; i < count; ++i)
                std::memcpy(out + i * bytesPerPixel, value, bytesPerPixel);
        } else {
            const std::size_t bytes = count * bytesPerPixel;
            if (std::fread(out, 1, bytes, in) != bytes)
                return false;
        }
        n += count;
    }
    return true;
}

// A copy of the block with every row mirrored and/or the row order reversed;
// null when the copy cannot be allocated.
Block reorder(const unsigned char* source, std::size_t width, std::size_t height, std::size_t bytesPerPixel,
              bool mirror, bool reverse)
{
    const std::size_t rowBytes = width * bytesPerPixel;
    Block block = allocate(rowBytes * height);
    if (!block)
        return block;
    for (std::size_t y = 0; y < height; ++y) {
        const unsigned char* from = source + (reverse ? height - 1 - y : y) * rowBytes;
        unsigned char* to = block.get() + y * rowBytes;
        if (!mirror) {
            std::memcpy(to, from, rowBytes);
            continue;
        }
        for (std::size_t x = 0; x < width; ++x)
            std::memcpy(to + x * bytesPerPixel, from + (width - 1 - x) * bytesPerPixel, bytesPerPixel);
    }
    return block;
}

// The pixels in the file's own row and column order; null when the file
// ends early, a run-length packet overruns the picture or memory runs out.
Block readPixels(const Layout& layout, std::FILE* in)
{
    const std::size_t size = layout.pixelCount() * layout.bytesPerPixel;
    Block block = allocate(size);
    if (!block)
        return block;
    const bool read = layout.runLength ? decodeRle(layout.bytesPerPixel, block.get(), in, layout.pixelCount())
                                       : std::fread(block.get(), 1, size, in) == size;
    if (!read)
        block.reset();
    return block;
}

// Files store rows bottom-up and left to right unless the descriptor says
// otherwise; we always keep them bottom-up, left to right. Null when there
// are no pixels or the reordered copy cannot be allocated.
Block putUpright(Block block, const Layout& layout)
{
    const bool mirror = (layout.descriptor & kRightToLeft) != 0;
    const bool reverse = (layout.descriptor & kTopToBottom) != 0;
    if (!block || (!mirror && !reverse))
        return block;
    return reorder(block.get(), layout.width, layout.height, layout.bytesPerPixel, mirror, reverse);
}

} // namespace

TgaImage::TgaImage() : pixels(nullptr), bytesPerPixel(3), width(0), height(0), hasAlpha(false)
{
}

TgaImage::~TgaImage()
{
    delete[] pixels;
}

bool TgaImage::load(const char* path)
{
    rt::File file(std::fopen(path, "rb"));
    Layout layout;
    if (!file || !readLayout(file.get(), layout) || !fileCanFill(layout, file.get()))
        return false;
    Block block = putUpright(readPixels(layout, file.get()), layout);
    if (!block)
        return false;

    delete[] pixels;
    pixels = block.release();
    width = static_cast<int>(layout.width);
    height = static_cast<int>(layout.height);
    bytesPerPixel = static_cast<int>(layout.bytesPerPixel);
    hasAlpha = layout.bytesPerPixel == 4;
    return true;
}

bool TgaImage::save(const char* path) const
{
    if (!pixels)
        return false;
    // Fields that no TGA header can hold would have us write a file that
    // lies about its size, or read past the block.
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF || (bytesPerPixel != 3 && bytesPerPixel != 4))
        return false;

    unsigned char header[kHeaderSize] = {};
    header[2] = kTrueColour;
    writeU16(header + 12, width);
    writeU16(header + 14, height);
    header[16] = static_cast<unsigned char>(bytesPerPixel * 8);
    header[17] = bytesPerPixel == 4 ? 8 : 0; // eight alpha bits, origin bottom left

    rt::File file(std::fopen(path, "wb"));
    if (!file)
        return false;
    const std::size_t size =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * static_cast<std::size_t>(bytesPerPixel);
    const bool written = std::fwrite(header, 1, kHeaderSize, file.get()) == kHeaderSize &&
                         std::fwrite(pixels, 1, size, file.get()) == size;
    // A failed close may have lost the last bytes.
    return std::fclose(file.release()) == 0 && written;
}
