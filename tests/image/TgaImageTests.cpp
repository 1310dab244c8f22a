#include "image/TgaImage.h"

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The 18-byte TGA header, built by hand.
std::string tgaHeader(int type, int width, int height, int depth, int descriptor = 0, int idLength = 0,
                      int colourMapType = 0)
{
    std::string h(18, '\0');
    h[0] = static_cast<char>(idLength);
    h[1] = static_cast<char>(colourMapType);
    h[2] = static_cast<char>(type);
    h[12] = static_cast<char>(width & 0xFF);
    h[13] = static_cast<char>(width >> 8);
    h[14] = static_cast<char>(height & 0xFF);
    h[15] = static_cast<char>(height >> 8);
    h[16] = static_cast<char>(depth);
    h[17] = static_cast<char>(descriptor);
    return h;
}

// Bytes of pixel k: three (or four) values that no other pixel of a small
// test image shares.
std::string pixel(int k, int bytesPerPixel = 3)
{
    std::string p;
    for (int i = 0; i < bytesPerPixel; ++i)
        p += static_cast<char>(16 * k + i + 1);
    return p;
}

std::string pixels(std::initializer_list<int> ks, int bytesPerPixel = 3)
{
    std::string s;
    for (int k : ks)
        s += pixel(k, bytesPerPixel);
    return s;
}

std::string contents(const TgaImage& image)
{
    if (!image.pixels)
        return std::string();
    return std::string(reinterpret_cast<const char*>(image.pixels),
                       static_cast<std::size_t>(image.width) * image.height * image.bytesPerPixel);
}

// Width x height, bytes a pixel, and whether it has alpha: "3x1, 4 bytes, alpha".
std::string layout(const TgaImage& image)
{
    return std::to_string(image.width) + "x" + std::to_string(image.height) + ", " +
           std::to_string(image.bytesPerPixel) + " bytes" + (image.hasAlpha ? ", alpha" : "");
}

std::string layout(int width, int height, int bytesPerPixel)
{
    return std::to_string(width) + "x" + std::to_string(height) + ", " + std::to_string(bytesPerPixel) + " bytes" +
           (bytesPerPixel == 4 ? ", alpha" : "");
}

bool loadBytes(TgaImage& image, const std::string& name, const std::string& bytes)
{
    const std::string path = scratchPath(name);
    EXPECT_TRUE(writeFile(path, bytes)) << path;
    return image.load(path.c_str());
}

std::uint64_t fnv1a(const std::string& bytes)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes)
        h = (h ^ c) * 0x100000001b3ull;
    return h;
}

// Rows of a bottom-up block, mirrored and/or in reverse order.
std::string reordered(const std::string& block, int width, int height, int bytesPerPixel, bool mirror, bool reverse)
{
    std::string out;
    for (int y = 0; y < height; ++y) {
        const int row = reverse ? height - 1 - y : y;
        for (int x = 0; x < width; ++x) {
            const int col = mirror ? width - 1 - x : x;
            out += block.substr((static_cast<std::size_t>(row) * width + col) * bytesPerPixel, bytesPerPixel);
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Loading well-formed files

// A 3 x 2 picture stored as file pixels 0 1 2 / 3 4 5, uncompressed and as
// one raw run-length packet; only the descriptor decides where they land.
TEST(TgaOrientation, DescriptorPlacesRowsBottomUpLeftToRight)
{
    const struct {
        int descriptor;
        std::vector<int> order; // file pixel of each loaded pixel, bottom row first
    } cases[] = {
        {0x00, {0, 1, 2, 3, 4, 5}}, {0x10, {2, 1, 0, 5, 4, 3}}, // right to left: rows mirrored
        {0x20, {3, 4, 5, 0, 1, 2}},                             // top to bottom: rows swapped
        {0x30, {5, 4, 3, 2, 1, 0}}, {0xCF, {0, 1, 2, 3, 4, 5}}, // alpha and interleave bits change nothing
    };
    for (const auto& c : cases) {
        std::string expected;
        for (int k : c.order)
            expected += pixel(k);
        for (int type : {2, 10}) {
            SCOPED_TRACE(testing::Message() << "descriptor " << c.descriptor << ", type " << type);
            std::string file = tgaHeader(type, 3, 2, 24, c.descriptor);
            if (type == 10)
                file += '\x05';
            file += pixels({0, 1, 2, 3, 4, 5});
            TgaImage image;
            ASSERT_TRUE(loadBytes(image, "orientation.tga", file));
            EXPECT_EQ(3, image.width);
            EXPECT_EQ(2, image.height);
            EXPECT_EQ(expected, contents(image));
        }
    }
}

TEST(TgaLoad, DepthDecidesAlphaAndBytesPerPixel)
{
    TgaImage image;
    ASSERT_TRUE(loadBytes(image, "rgba.tga", tgaHeader(2, 2, 1, 32, 0x08) + pixels({1, 2}, 4)));
    EXPECT_TRUE(image.hasAlpha);
    EXPECT_EQ(4, image.bytesPerPixel);
    EXPECT_EQ(pixels({1, 2}, 4), contents(image));

    // A 24-bit file loaded into the same image clears what the 32-bit one set.
    ASSERT_TRUE(loadBytes(image, "rgb.tga", tgaHeader(2, 1, 3, 24) + pixels({3, 4, 5})));
    EXPECT_EQ(layout(1, 3, 3), layout(image));
    EXPECT_EQ(pixels({3, 4, 5}), contents(image));
}

TEST(TgaLoad, IdFieldIsSkipped)
{
    const std::string data = pixels({1, 2, 3, 4});
    for (int type : {2, 10}) {
        for (int idLength : {8, 255}) {
            SCOPED_TRACE(idLength);
            // ID bytes that would read as a packet header and pixels if not skipped.
            std::string file = tgaHeader(type, 2, 2, 24, 0, idLength) + std::string(idLength, '\x83');
            file += type == 10 ? "\x03" + data : data;
            TgaImage image;
            ASSERT_TRUE(loadBytes(image, "id-field.tga", file));
            EXPECT_EQ(data, contents(image));
        }
    }
}

TEST(TgaLoad, RleRunPacketRepeatsOneValue)
{
    TgaImage image;
    ASSERT_TRUE(loadBytes(image, "rle-run.tga", tgaHeader(10, 2, 2, 24) + "\x83" + pixel(7)));
    EXPECT_EQ(pixels({7, 7, 7, 7}), contents(image));
}

TEST(TgaLoad, RlePacketsRunAcrossRowEnds)
{
    // 3 x 2 32-bit: raw 2, run 3 over the row end, raw 1.
    const std::string stream = "\x01" + pixels({1, 2}, 4) + "\x82" + pixel(3, 4) + std::string(1, '\0') + pixel(4, 4);
    TgaImage image;
    ASSERT_TRUE(loadBytes(image, "rle-rows.tga", tgaHeader(10, 3, 2, 32, 0x08) + stream));
    EXPECT_EQ(pixels({1, 2, 3, 3, 3, 4}, 4), contents(image));
}

TEST(TgaLoad, MissingFileFails)
{
    TgaImage image;
    EXPECT_FALSE(image.load(scratchPath("does-not-exist.tga").c_str()));
    EXPECT_EQ(nullptr, image.pixels);
}

// ---------------------------------------------------------------------------
// Malformed and unsupported files: each fails and leaves the image as it was.

TEST(TgaMalformed, LoadFailsAndKeepsTheImage)
{
    const std::string rgb2x2 = pixels({1, 2, 3, 4});
    // 32768 x 32769 x 4 is 2^32 + 131072: with a 32-bit size_t a naive
    // product asks for 128 KiB, and the run packets below would overrun it.
    std::string wrapping = tgaHeader(10, 32768, 32769, 32);
    for (int i = 0; i < 300; ++i)
        wrapping += "\xFF" + pixel(1, 4);
    const struct {
        const char* fault;
        std::string bytes;
    } files[] = {
        {"EmptyFile", ""},
        {"ShortHeader", tgaHeader(2, 2, 2, 24).substr(0, 17)},
        {"ColourMapped", tgaHeader(1, 2, 2, 8, 0, 0, 1) + "\1\2\3\4"},
        {"UnusedColourMapOnTrueColour", tgaHeader(2, 2, 2, 24, 0, 0, 1) + rgb2x2},
        {"Greyscale", tgaHeader(3, 2, 2, 8) + "\1\2\3\4"},
        {"RleColourMapped", tgaHeader(9, 2, 2, 8, 0, 0, 1) + "\x83\1"},
        {"RleGreyscale", tgaHeader(11, 2, 2, 8) + "\x83\1"},
        {"NoImageData", tgaHeader(0, 2, 2, 24) + rgb2x2},
        {"Depth16", tgaHeader(2, 2, 2, 16) + rgb2x2},
        {"Depth8", tgaHeader(2, 2, 2, 8) + rgb2x2},
        {"ShortIdField", tgaHeader(2, 1, 1, 24, 0, 8) + "abcd"},
        {"ZeroWidth", tgaHeader(2, 0, 2, 24) + rgb2x2},
        {"ZeroHeight", tgaHeader(2, 2, 0, 24) + rgb2x2},
        {"ZeroWidthRle", tgaHeader(10, 0, 2, 24) + "\x83" + pixel(1)},
        {"PixelDataMissing", tgaHeader(2, 2, 2, 24)},
        {"PixelDataOneByteShort", tgaHeader(2, 2, 2, 24) + rgb2x2.substr(1)},
        {"RleStreamEndsEarly", tgaHeader(10, 2, 2, 24) + "\x81" + pixel(1)},
        {"RleRunValueShort", tgaHeader(10, 2, 2, 24) + "\x83" + pixel(1).substr(1)},
        {"RleRawPacketShort", tgaHeader(10, 2, 2, 24) + "\x03" + pixels({1, 2, 3})},
        {"RleRunPastImageEnd", tgaHeader(10, 2, 2, 24) + "\x84" + pixel(1)},
        {"RleRawPastImageEnd", tgaHeader(10, 2, 2, 24) + "\x04" + pixels({1, 2, 3, 4, 5})},
        {"RleLastPacketOverruns", tgaHeader(10, 2, 2, 24) + "\x82" + pixel(1) + "\x81" + pixel(2)},
        {"WidthTimesHeightTooLarge", tgaHeader(2, 65535, 65535, 32) + rgb2x2},
        {"WidthTimesHeightTooLargeRle", tgaHeader(10, 65535, 65535, 32) + "\xFF" + pixel(1, 4)},
        {"WidthTimesHeightWrapsOn32Bit", wrapping},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.fault);
        const std::string path = scratchPath("malformed.tga");
        ASSERT_TRUE(writeFile(path, f.bytes));

        TgaImage empty;
        EXPECT_FALSE(empty.load(path.c_str()));
        EXPECT_EQ(nullptr, empty.pixels);
        EXPECT_EQ(layout(0, 0, 3), layout(empty));

        TgaImage image;
        const std::string before = pixels({5, 6, 7}, 4);
        ASSERT_TRUE(loadBytes(image, "before.tga", tgaHeader(2, 3, 1, 32) + before));
        const unsigned char* block = image.pixels;
        EXPECT_FALSE(image.load(path.c_str()));
        EXPECT_EQ(block, image.pixels);
        EXPECT_EQ(layout(3, 1, 4), layout(image));
        EXPECT_EQ(before, contents(image));
    }
}

// ---------------------------------------------------------------------------
// Saving

TEST(TgaSave, WritesBottomUpFileThatReadsBack)
{
    for (int depth : {24, 32}) {
        SCOPED_TRACE(depth);
        const int bpp = depth / 8;
        // 257 wide, so that both bytes of the width matter; stored top-down.
        std::string top, bottom;
        for (int x = 0; x < 257; ++x) {
            top += pixel(x % 15, bpp);
            bottom += pixel(x % 13 + 1, bpp);
        }
        TgaImage image;
        ASSERT_TRUE(loadBytes(image, "top-down.tga", tgaHeader(2, 257, 2, depth, 0x20) + top + bottom));

        const std::string path = scratchPath("saved.tga");
        ASSERT_TRUE(image.save(path.c_str()));
        const char header[18] = {0,
                                 0,
                                 2,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 1,
                                 1,
                                 2,
                                 0,
                                 static_cast<char>(depth),
                                 static_cast<char>(depth == 32 ? 8 : 0)};
        EXPECT_EQ(std::string(header, 18) + bottom + top, readFile(path));

        TgaImage again;
        ASSERT_TRUE(again.load(path.c_str()));
        EXPECT_EQ(layout(257, 2, bpp), layout(again));
        EXPECT_EQ(contents(image), contents(again));
    }
}

TEST(TgaSave, EmptyImageWritesNothing)
{
    TgaImage image;
    const std::string path = scratchPath("empty.tga");
    EXPECT_FALSE(image.save(path.c_str()));
    EXPECT_EQ(nullptr, std::fopen(path.c_str(), "rb"));
}

TEST(TgaSave, UncreatableFileFails)
{
    TgaImage image;
    ASSERT_TRUE(loadBytes(image, "one.tga", tgaHeader(2, 1, 1, 24) + pixel(1)));
    EXPECT_FALSE(image.save(scratchPath("no-such-dir/out.tga").c_str()));
}

// Fields set by hand that no TGA header can describe must not make save read
// past the pixel block.
TEST(TgaSave, FieldsNoHeaderCanHoldAreRefused)
{
    struct Fields {
        int width, height, bytesPerPixel;
    };
    for (const Fields& f : {Fields{0, 1, 3}, Fields{1, -1, 3}, Fields{65536, 1, 3}, Fields{1, 1, 2}, Fields{1, 1, 5}}) {
        SCOPED_TRACE(testing::Message() << f.width << "x" << f.height << "x" << f.bytesPerPixel);
        TgaImage image;
        image.pixels = new unsigned char[4]();
        image.width = f.width;
        image.height = f.height;
        image.bytesPerPixel = f.bytesPerPixel;
        EXPECT_FALSE(image.save(scratchPath("bad-fields.tga").c_str()));
    }
}

// ---------------------------------------------------------------------------
// Files written by other programs

const std::string imageRs = "image-rs/tests/images/tga/testsuite/";
const std::string pillow = "pillow/Tests/images/";
const std::string pillowCommon = "pillow/Tests/images/tga/common/200x32_";

std::string sharedTga(const std::string& relative)
{
    return sharedDataPath("tga/" + relative);
}

// The true-colour files of 24 and 32 bits in the shared test data.
TEST(TgaShared, TrueColourFilesLoad)
{
    const struct {
        std::string path;
        int width, height, bytesPerPixel;
    } files[] = {
        {"assimp/Collada/duckCM.tga", 512, 512, 3},
        {"assimp/OpenGEX/texture/Concrete.tga", 256, 512, 4},
        {"assimp/SMD/holygrail.tga", 256, 512, 4},
        {"assimp/X/bottom.tga", 256, 256, 3},
        {"assimp/X/top.tga", 256, 256, 3},
        {"assimp/X/updown.tga", 256, 256, 3},
        {"image-rs/tests/images/tga/encoding/black_white.tga", 1280, 720, 3},
        {imageRs + "bottom_left.tga", 75, 70, 4},
        {imageRs + "bottom_right.tga", 75, 70, 4},
        {imageRs + "top_left.tga", 75, 70, 4},
        {imageRs + "top_right.tga", 75, 70, 4},
        {imageRs + "ctc24.tga", 128, 128, 3},
        {imageRs + "utc24.tga", 128, 128, 3},
        {imageRs + "utc32.tga", 128, 128, 4},
        {pillow + "rgb32rle.tga", 199, 199, 4},
        {pillow + "rgb32rle_bottom_right.tga", 199, 199, 4},
        {pillow + "rgb32rle_top_right.tga", 199, 199, 4},
        {pillow + "tga_id_field.tga", 100, 100, 3},
        {pillowCommon + "rgb_bl_raw.tga", 200, 32, 3},
        {pillowCommon + "rgb_bl_rle.tga", 200, 32, 3},
        {pillowCommon + "rgb_tl_raw.tga", 200, 32, 3},
        {pillowCommon + "rgb_tl_rle.tga", 200, 32, 3},
        {pillowCommon + "rgba_bl_raw.tga", 200, 32, 4},
        {pillowCommon + "rgba_bl_rle.tga", 200, 32, 4},
        {pillowCommon + "rgba_tl_raw.tga", 200, 32, 4},
        {pillowCommon + "rgba_tl_rle.tga", 200, 32, 4},
    };
    int absent = 0;
    for (const auto& f : files) {
        SCOPED_TRACE(f.path);
        if (sharedDataMissing("tga/" + f.path)) {
            ++absent;
            continue;
        }
        TgaImage image;
        ASSERT_TRUE(image.load(sharedTga(f.path).c_str()));
        EXPECT_EQ(layout(f.width, f.height, f.bytesPerPixel), layout(image));

        // An uncompressed bottom-up file's pixels are its bytes after the
        // header and the ID field.
        const std::string file = readFile(sharedTga(f.path));
        if (file[2] == 2 && (file[17] & 0x30) == 0) {
            const std::size_t size = static_cast<std::size_t>(f.width) * f.height * f.bytesPerPixel;
            const std::size_t pixelsAt = 18 + static_cast<unsigned char>(file[0]);
            EXPECT_EQ(0, file.compare(pixelsAt, size, contents(image)));
        }
    }
    if (absent)
        GTEST_SKIP() << absent << " files left out: " << sharedDataSkipReason();
}

// Colour-mapped, grey, 16-bit and broken files of the shared test data.
TEST(TgaShared, OtherFilesFailCleanly)
{
    SKIP_WITHOUT_SHARED_DATA();
    const struct {
        std::string folder;
        std::vector<std::string> names;
    } groups[] = {
        {imageRs,
         {"b5-attrib", "b5-cmap", "b5-noattrib", "b5-unused-cmap", "cbw8", "ccm8", "cmap_offset", "ubw8", "ucm8",
          "utc16"}},
        {"image-rs/tests/regression/tga/",
         {"bad-color-map", "flip-zero-height", "flip-zero-height2", "orientation-zero-width", "overfull-image",
          "sixteen-bit-gray-colormap", "sixteen-bit-gray-colormap2", "slice-copy-length"}},
        {pillow,
         {"200x32_p_bl_raw_origin", "cross_scan_line", "cross_scan_line_truncated", "la", "p_16", "p_8", "rgba16"}},
        {pillow + "tga/common/", {"1x1_l_bl_raw", "1x1_l_bl_rle", "1x1_l_tl_raw", "1x1_l_tl_rle"}},
        {pillowCommon,
         {"l_bl_raw", "l_bl_rle", "l_tl_raw", "l_tl_rle", "la_bl_raw", "la_bl_rle", "la_tl_raw", "la_tl_rle",
          "p_bl_raw", "p_bl_rle", "p_tl_raw", "p_tl_rle"}},
    };
    for (const auto& g : groups) {
        for (const std::string& name : g.names) {
            const std::string path = sharedTga(g.folder + name + ".tga");
            SCOPED_TRACE(path);
            ASSERT_FALSE(readFile(path).empty()) << "missing test file";
            TgaImage image;
            EXPECT_FALSE(image.load(path.c_str()));
            EXPECT_EQ(nullptr, image.pixels);
        }
    }
}

// Digests of the reference PNG pictures beside the files, taken over their
// pixels in bottom-up blue, green, red (, alpha) order.
TEST(TgaShared, PicturesMatchTheirReferences)
{
    const std::uint64_t rgb = 0xea035f34605eb9b3ull, rgba = 0xae853759644e1b0aull;
    const std::uint64_t truecolour24 = 0x27117f3c62130b25ull;
    const struct {
        std::string path;
        std::uint64_t digest;
    } references[] = {
        {pillowCommon + "rgb_bl_raw.tga", rgb},
        {pillowCommon + "rgb_bl_rle.tga", rgb},
        {pillowCommon + "rgb_tl_raw.tga", rgb},
        {pillowCommon + "rgb_tl_rle.tga", rgb},
        {pillowCommon + "rgba_bl_raw.tga", rgba},
        {pillowCommon + "rgba_bl_rle.tga", rgba},
        {pillowCommon + "rgba_tl_raw.tga", rgba},
        {pillowCommon + "rgba_tl_rle.tga", rgba},
        {imageRs + "bottom_left.tga", 0x26e3d69c3b05a0baull},
        {imageRs + "bottom_right.tga", 0x765d6e1ca3c1a2b6ull},
        {imageRs + "top_left.tga", 0xedc5588a4cb5e14aull},
        {imageRs + "top_right.tga", 0xcdb6c2cf457ff6eeull},
        {imageRs + "ctc24.tga", truecolour24},
        {imageRs + "utc24.tga", truecolour24},
        {imageRs + "utc32.tga", 0xa4bc0485fef96325ull},
    };
    for (const auto& r : references) {
        SCOPED_TRACE(r.path);
        TgaImage image;
        ASSERT_TRUE(image.load(sharedTga(r.path).c_str()));
        EXPECT_EQ(r.digest, fnv1a(contents(image)));
    }
}

// Pillow's three rgb32rle files share one pixel stream and differ only in the
// descriptor, so they must load as mirror images of each other.
TEST(TgaShared, SameStreamUnderOtherOriginsIsReordered)
{
    TgaImage plain, bottomRight, topRight;
    ASSERT_TRUE(plain.load(sharedTga(pillow + "rgb32rle.tga").c_str()));
    ASSERT_TRUE(bottomRight.load(sharedTga(pillow + "rgb32rle_bottom_right.tga").c_str()));
    ASSERT_TRUE(topRight.load(sharedTga(pillow + "rgb32rle_top_right.tga").c_str()));
    const std::string p = contents(plain);
    EXPECT_EQ(reordered(p, 199, 199, 4, true, false), contents(bottomRight));
    EXPECT_EQ(reordered(p, 199, 199, 4, true, true), contents(topRight));
}

} // namespace

namespace {

// The largest array the image code asked for without throwing.
std::size_t largestNothrowArray = 0;

} // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    if (size > largestNothrowArray)
        largestNothrowArray = size;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

TEST(TgaImage, HeaderAskingForMorePixelsThanTheFileHoldsFailsBeforeAllocating)
{
    largestNothrowArray = 0;
    // 8192 x 8192 x 4 promised by an 18-byte header, raw and run-length.
    for (unsigned char type : {2, 10}) {
        const unsigned char header[18] = {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x20, 0x00, 0x20, 32, 0};
        const std::string path = scratchPath("promises-too-much.tga");
        ASSERT_TRUE(writeFile(path, std::string(reinterpret_cast<const char*>(header), sizeof header) + "abcd"));
        TgaImage image;
        EXPECT_FALSE(image.load(path.c_str())) << static_cast<int>(type);
        EXPECT_EQ(nullptr, image.pixels);
    }
    EXPECT_LT(largestNothrowArray, 1024u * 1024u) << "no block of the promised size was allocated";
}

TEST(TgaImage, PictureBeyond256MiBLoadsWhenTheFileHoldsIt)
{
    // 16384 x 4097 pixels of 4 bytes (268.5 MB) in run packets of 128
    // pixels: the last packet has a colour of its own.
    const std::size_t packets = 16384u * 4097u / 128u;
    const std::string run = "\xFF" + pixel(1, 4);
    std::string file = tgaHeader(10, 16384, 4097, 32);
    file.reserve(file.size() + packets * run.size());
    for (std::size_t i = 0; i + 1 < packets; ++i)
        file += run;
    file += "\xFF" + pixel(2, 4);
    TgaImage image;
    ASSERT_TRUE(loadBytes(image, "beyond-256-mib.tga", file));
    EXPECT_EQ(16384, image.width);
    EXPECT_EQ(4097, image.height);
    const std::size_t last = (16384u * 4097u - 1) * 4;
    const char* pixels = reinterpret_cast<const char*>(image.pixels);
    EXPECT_EQ(pixel(1, 4), std::string(pixels + last - 128 * 4, 4));
    EXPECT_EQ(pixel(2, 4), std::string(pixels + last, 4));
}
