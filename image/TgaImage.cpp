#include "image/TgaImage.h"

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

unsigned readU16(const unsigned char* p)
{
    return p[0] | (p[1] << 8);
}

void writeU16(unsigned char* p, int value)
{
    p[0] = (unsigned char)(value & 0xFF);
    p[1] = (unsigned char)((value >> 8) & 0xFF);
}

// Decodes pixelCount pixels of run-length packets into dest. Packets may
// cross row ends; one that would run past the last pixel fails the decode.
bool decodeRle(std::size_t bytesPerPixel, unsigned char* dest, std::FILE* in,
               std::size_t pixelCount)
{
    std::size_t n = 0;
    while (n < pixelCount) {
        const int header = std::fgetc(in);
        if (header == EOF)
            return false;
        const std::size_t count = (std::size_t)(header & 0x7F) + 1;
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
Block reorder(const unsigned char* source, std::size_t width, std::size_t height,
              std::size_t bytesPerPixel, bool mirror, bool reverse)
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
            std::memcpy(to + x * bytesPerPixel, from + (width - 1 - x) * bytesPerPixel,
                        bytesPerPixel);
    }
    return block;
}

} // namespace

TgaImage::TgaImage()
    : pixels(nullptr), bytesPerPixel(3), width(0), height(0), hasAlpha(false)
{
}

TgaImage::~TgaImage()
{
    delete[] pixels;
}

bool TgaImage::load(const char* path)
{
    rt::File file(std::fopen(path, "rb"));
    if (!file)
        return false;

    unsigned char header[kHeaderSize];
    if (std::fread(header, 1, kHeaderSize, file.get()) != kHeaderSize)
        return false;
    const unsigned idLength = header[0];
    const unsigned colourMapType = header[1];
    const unsigned imageType = header[2];
    const std::size_t fileWidth = readU16(header + 12);
    const std::size_t fileHeight = readU16(header + 14);
    const unsigned depth = header[16];
    const unsigned descriptor = header[17];
    if (colourMapType != 0 || (imageType != kTrueColour && imageType != kTrueColourRle)
        || (depth != 24 && depth != 32))
        return false;

    if (idLength != 0) {
        unsigned char scratch[255];
        if (std::fread(scratch, 1, idLength, file.get()) != idLength)
            return false;
    }

    // An image without pixels cannot be a texture; keep what we have.
    if (fileWidth == 0 || fileHeight == 0)
        return false;
    // A block that no size_t can count cannot be addressed (a 32-bit build).
    const std::size_t fileBytesPerPixel = depth / 8;
    if (fileWidth > SIZE_MAX / fileBytesPerPixel / fileHeight)
        return false;
    const std::size_t pixelCount = fileWidth * fileHeight;
    const std::size_t size = pixelCount * fileBytesPerPixel;

    // Allocate no more than the rest of the file can fill: raw pixels one for
    // one, run-length packets at most 128 pixels per packet. A file whose
    // size cannot be told is not trusted with an allocation.
    const long long rest = rt::remainingBytes(file.get());
    if (rest < 0)
        return false;
    const std::size_t packets = imageType == kTrueColour ? pixelCount : (pixelCount + 127) / 128;
    const std::size_t packetBytes = imageType == kTrueColour ? fileBytesPerPixel : 1 + fileBytesPerPixel;
    if (static_cast<unsigned long long>(rest) / packetBytes < packets)
        return false;

    Block block = allocate(size);
    if (!block)
        return false;
    if (imageType == kTrueColour) {
        if (std::fread(block.get(), 1, size, file.get()) != size)
            return false;
    } else if (!decodeRle(fileBytesPerPixel, block.get(), file.get(), pixelCount)) {
        return false;
    }

    // Files store rows bottom-up and left to right unless the descriptor says
    // otherwise; we always keep them bottom-up, left to right.
    const bool mirror = (descriptor & kRightToLeft) != 0;
    const bool reverse = (descriptor & kTopToBottom) != 0;
    if (mirror || reverse) {
        block = reorder(block.get(), fileWidth, fileHeight, fileBytesPerPixel, mirror, reverse);
        if (!block)
            return false;
    }

    delete[] pixels;
    pixels = block.release();
    width = (int)fileWidth;
    height = (int)fileHeight;
    bytesPerPixel = (int)fileBytesPerPixel;
    hasAlpha = depth == 32;
    return true;
}

bool TgaImage::save(const char* path) const
{
    if (!pixels)
        return false;
    // Fields that no TGA header can hold would have us write a file that
    // lies about its size, or read past the block.
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF
        || (bytesPerPixel != 3 && bytesPerPixel != 4))
        return false;

    unsigned char header[kHeaderSize] = {};
    header[2] = kTrueColour;
    writeU16(header + 12, width);
    writeU16(header + 14, height);
    header[16] = (unsigned char)(bytesPerPixel * 8);
    header[17] = bytesPerPixel == 4 ? 8 : 0;  // eight alpha bits, origin bottom left

    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    const std::size_t size = (std::size_t)width * (std::size_t)height * (std::size_t)bytesPerPixel;
    bool ok = std::fwrite(header, 1, kHeaderSize, file) == kHeaderSize
              && std::fwrite(pixels, 1, size, file) == size;
    if (std::fclose(file) != 0)
        ok = false;
    return ok;
}
