#include "image/TextureFile.h"

#include "image/BmpFile.h"
#include "image/DibSource.h"
#include "image/StbImage.h"
#include "image/TgaImage.h"
#include "platform/Runtime.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

enum class Format { tga, png, jpeg, bmp };

// Deflate gives at most 1032 bytes for one byte of its stream, so a PNG file
// cannot hold more rows than that many bytes for each of its own.
constexpr std::uint64_t kPngBytesPerFileByte = 1032;

// A JPEG file spends at least one bit on each 8 x 8 block of every
// component (two in a baseline file): one byte of it gives at most 512
// pixels. Twice that is allowed; a file that claims more is lying about its
// size, and would have the decoder allocate for nothing.
constexpr std::uint64_t kJpegPixelsPerFileByte = 1024;

struct StbFree {
    void operator()(unsigned char* pixels) const { stbi_image_free(pixels); }
};

using Block = std::unique_ptr<unsigned char[]>;

Format formatOf(const unsigned char* head, std::size_t size)
{
    static const unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 8 && std::memcmp(head, png, 8) == 0)
        return Format::png;
    if (size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
        return Format::jpeg;
    if (size >= 2 && head[0] == 'B' && head[1] == 'M')
        return Format::bmp;
    return Format::tga;
}

// The rest of the stream after the bytes already in out, read in pieces so
// that memory follows the file. False when it is longer than the decoder
// can take or memory runs out.
bool readRest(std::FILE* file, std::vector<unsigned char>& out)
{
    constexpr std::size_t kPiece = 1 << 16;
    try {
        for (;;) {
            const std::size_t start = out.size();
            if (start > static_cast<std::size_t>(INT_MAX) - kPiece)
                return false;
            out.resize(start + kPiece);
            const std::size_t got = std::fread(out.data() + start, 1, kPiece, file);
            out.resize(start + got);
            if (got < kPiece)
                return true;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// How large stb_image may grow a buffer for a picture of width x height from
// this file: 0 when the file cannot hold such a picture.
std::uint64_t growthLimit(Format format, const std::vector<unsigned char>& file, std::uint64_t width,
                          std::uint64_t height)
{
    const std::uint64_t size = file.size();
    constexpr std::uint64_t kSlack = 1 << 16;
    if (format == Format::jpeg)
        return width * height <= kJpegPixelsPerFileByte * size ? size + kSlack : 0;
    // The rows as stored before compression: a filter byte and the packed
    // samples of each. The header comes first in every PNG that stb reads.
    if (size < 33 || std::memcmp(file.data() + 12, "IHDR", 4) != 0)
        return 0;
    const unsigned depth = file[24];
    unsigned channels;
    switch (file[25]) {
    case 0:
        channels = 1;
        break; // grey
    case 2:
        channels = 3;
        break; // red, green, blue
    case 3:
        channels = 1;
        break; // palette
    case 4:
        channels = 2;
        break; // grey, alpha
    case 6:
        channels = 4;
        break; // red, green, blue, alpha
    default:
        return 0;
    }
    const std::uint64_t rows = height * (1 + (width * channels * depth + 7) / 8);
    if (rows > kPngBytesPerFileByte * size)
        return 0;
    // Interlaced rows take a few more filter bytes and padding, never twice
    // as many; the image data gathered from the chunks is part of the file.
    return std::max(2 * rows, size) + kSlack;
}

// Sets the growth limit for one decode.
class GrowthLimit {
public:
    explicit GrowthLimit(std::uint64_t bytes)
    {
        corvasiStbGrowthLimit(static_cast<std::size_t>(std::min<std::uint64_t>(bytes, SIZE_MAX)));
    }
    ~GrowthLimit() { corvasiStbGrowthLimit(SIZE_MAX); }
    GrowthLimit(const GrowthLimit&) = delete;
    GrowthLimit& operator=(const GrowthLimit&) = delete;
};

void keep(TgaImage& image, Block block, int width, int height, int bytesPerPixel)
{
    delete[] image.pixels;
    image.pixels = block.release();
    image.width = width;
    image.height = height;
    image.bytesPerPixel = bytesPerPixel;
    image.hasAlpha = bytesPerPixel == 4;
}

// stb_image's rows of w pixels of in channels (grey, grey and alpha, red,
// green, blue (, alpha)), top-down, as bottom-up rows of pixels of out bytes,
// blue, green, red (, alpha); null when there is no memory for them.
Block bottomUpBgr(const unsigned char* decoded, std::size_t w, std::size_t h, std::size_t in, std::size_t out)
{
    Block block(new (std::nothrow) unsigned char[w * h * out]);
    if (!block)
        return block;
    for (std::size_t y = 0; y < h; ++y) {
        const unsigned char* from = decoded + (h - 1 - y) * w * in;
        unsigned char* to = block.get() + y * w * out;
        for (std::size_t x = 0; x < w; ++x, from += in, to += out) {
            if (in <= 2) {
                to[0] = to[1] = to[2] = from[0];
            } else {
                to[0] = from[2];
                to[1] = from[1];
                to[2] = from[0];
            }
            if (out == 4)
                to[3] = from[in - 1];
        }
    }
    return block;
}

// PNG and JPEG through stb_image, which gives rows top-down in red, green,
// blue (, alpha) order, or grey (, alpha).
bool loadCompressed(Format format, const std::vector<unsigned char>& file, TgaImage& image)
{
    const int length = static_cast<int>(file.size());
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(file.data(), length, &width, &height, &channels) || width <= 0 || height <= 0)
        return false;
    const std::uint64_t limit =
        growthLimit(format, file, static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height));
    if (limit == 0)
        return false;
    int decodedWidth = 0, decodedHeight = 0;
    std::unique_ptr<unsigned char, StbFree> decoded;
    {
        const GrowthLimit growth(limit);
        decoded.reset(stbi_load_from_memory(file.data(), length, &decodedWidth, &decodedHeight, &channels, 0));
    }
    if (!decoded || decodedWidth != width || decodedHeight != height || channels < 1 || channels > 4)
        return false;

    const int bytesPerPixel = channels == 2 || channels == 4 ? 4 : 3;
    Block block = bottomUpBgr(decoded.get(), static_cast<std::size_t>(width), static_cast<std::size_t>(height),
                              static_cast<std::size_t>(channels), static_cast<std::size_t>(bytesPerPixel));
    if (!block)
        return false;
    keep(image, std::move(block), width, height, bytesPerPixel);
    return true;
}

bool loadBmp(std::FILE* file, TgaImage& image)
{
    try {
        DibSource source;
        if (std::fseek(file, 0, SEEK_SET) != 0 || !readBmpFile(file, source))
            return false;
        const int stride = dibStride(source.width);
        if (stride <= 0)
            return false;
        // Padded 24-bit rows, bottom-up; then packed tightly.
        const std::size_t w = static_cast<std::size_t>(source.width);
        const std::size_t h = static_cast<std::size_t>(source.height);
        std::vector<unsigned char> bits(static_cast<std::size_t>(stride) * h);
        source.expandInto(bits.data(), stride);
        Block block(new (std::nothrow) unsigned char[w * h * 3]);
        if (!block)
            return false;
        for (std::size_t y = 0; y < h; ++y)
            std::memcpy(block.get() + y * w * 3, bits.data() + y * static_cast<std::size_t>(stride), w * 3);
        keep(image, std::move(block), source.width, source.height, 3);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace

bool loadTextureFile(const char* path, TgaImage& image)
{
    rt::File file(std::fopen(path, "rb"));
    if (!file)
        return false;
    std::vector<unsigned char> head(8);
    head.resize(std::fread(head.data(), 1, head.size(), file.get()));
    const Format format = formatOf(head.data(), head.size());
    switch (format) {
    case Format::tga:
        file.reset();
        return image.load(path);
    case Format::bmp:
        return loadBmp(file.get(), image);
    case Format::png:
    case Format::jpeg:
        return readRest(file.get(), head) && loadCompressed(format, head, image);
    }
    return false;
}
