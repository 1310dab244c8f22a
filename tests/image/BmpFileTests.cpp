#include "image/BmpFile.h"
#include "image/DibSource.h"

#include "tests/image/DibFixtures.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

using namespace dibtest;

namespace {

bool readBmpPath(const std::string& path, DibSource& source)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    const bool ok = readBmpFile(file, source);
    std::fclose(file);
    return ok;
}

bool readBmpBytes(const std::string& name, const std::string& bytes, DibSource& source)
{
    const std::string path = scratchPath(name);
    EXPECT_TRUE(writeFile(path, bytes)) << path;
    return readBmpPath(path, source);
}

// A picture whose every byte differs from its neighbours', padding included.
std::vector<unsigned char> testPicture(int width, int height)
{
    const int stride = dibStride(width);
    std::vector<unsigned char> bits(static_cast<std::size_t>(stride) * height);
    for (std::size_t i = 0; i < bits.size(); ++i)
        bits[i] = static_cast<unsigned char>(i * 7 + 3);
    return bits;
}

std::string writeToFile(const std::string& name, const std::vector<unsigned char>& bits, int width, int height)
{
    const std::string path = scratchPath(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(nullptr, file);
    if (!file)
        return std::string();
    EXPECT_TRUE(writeBmpFile(file, bits.data(), width, height, dibStride(width)));
    std::fclose(file);
    return readFile(path);
}

unsigned u16At(const std::string& bytes, std::size_t offset)
{
    return static_cast<unsigned char>(bytes[offset]) | static_cast<unsigned char>(bytes[offset + 1]) << 8;
}

std::uint32_t u32At(const std::string& bytes, std::size_t offset)
{
    return u16At(bytes, offset) | static_cast<std::uint32_t>(u16At(bytes, offset + 2)) << 16;
}

TEST(BmpWrite, ThreeByTwoFileLayout)
{
    const std::vector<unsigned char> bits = testPicture(3, 2);
    const std::string file = writeToFile("write-3x2.bmp", bits, 3, 2);
    ASSERT_EQ(78u, file.size()); // 54 + 2 x 12
    EXPECT_EQ("BM", file.substr(0, 2));
    EXPECT_EQ(0u, u32At(file, 2)); // the file-size field is left 0
    EXPECT_EQ(0u, u32At(file, 6)); // both reserved fields
    EXPECT_EQ(54u, u32At(file, 10));
    EXPECT_EQ(40u, u32At(file, 14));
    EXPECT_EQ(3u, u32At(file, 18));
    EXPECT_EQ(2u, u32At(file, 22)); // positive: bottom-up
    EXPECT_EQ(1u, u16At(file, 26));
    EXPECT_EQ(24u, u16At(file, 28));
    for (std::size_t offset = 30; offset < 54; offset += 4)
        EXPECT_EQ(0u, u32At(file, offset)) << "info header offset " << offset - 14;
    EXPECT_EQ(std::string(bits.begin(), bits.end()), file.substr(54));
}

TEST(BmpWrite, ReadsBackWithTheSamePixelsAndStride)
{
    for (int width = 1; width <= 9; ++width) {
        for (int height : {1, 2, 5}) {
            SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
            const std::vector<unsigned char> bits = testPicture(width, height);
            const std::string file = writeToFile("roundtrip.bmp", bits, width, height);
            ASSERT_EQ(54 + static_cast<std::size_t>(height) * dibStride(width), file.size());
            DibSource source;
            ASSERT_TRUE(readBmpBytes("roundtrip.bmp", file, source));
            EXPECT_EQ(width, source.width);
            EXPECT_EQ(height, source.height);
            EXPECT_EQ(dibStride(width), source.rowSize);
            EXPECT_EQ(packed(bits.data(), width, height, dibStride(width)), expanded(source));
        }
    }
}

TEST(BmpWrite, RefusesPicturesItCannotDescribe)
{
    const std::vector<unsigned char> bits = testPicture(4, 4);
    const std::string path = scratchPath("refused-write.bmp");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    EXPECT_FALSE(writeBmpFile(file, nullptr, 4, 4, 12));
    EXPECT_FALSE(writeBmpFile(file, bits.data(), 4, 0, 12));
    EXPECT_FALSE(writeBmpFile(file, bits.data(), 0, 4, 0));
    EXPECT_FALSE(writeBmpFile(file, bits.data(), 4, 4, 13));
    std::fclose(file);
    EXPECT_EQ(0u, readFile(path).size());
}

TEST(BmpRead, EightBitsWithoutColourCountUseTheFullPalette)
{
    const std::string head = infoHeader({40, 3, 1, 1, 8, 0, 0}) + palette(256);
    const std::string file = bmpFile(head, std::string("\xFF\x80\x00\0", 4));
    ASSERT_EQ(54u + 1024, u32At(file, 10));
    DibSource source;
    ASSERT_TRUE(readBmpBytes("pal8-count0.bmp", file, source));
    EXPECT_EQ(256, source.colourCount);
    EXPECT_EQ(paletteColour(255) + paletteColour(128) + paletteColour(0), expanded(source));
}

TEST(BmpRead, FourBitsTakeColoursUsedEntries)
{
    // Three entries (12 bytes) after the 40-byte header; index 3 is past them.
    const std::string head = infoHeader({40, 4, 1, 1, 4, 0, 3}) + palette(3);
    const std::string file = bmpFile(head, std::string("\x21\x03\0\0", 4));
    ASSERT_EQ(14u + 40 + 12, u32At(file, 10));
    DibSource source;
    ASSERT_TRUE(readBmpBytes("pal4-count3.bmp", file, source));
    EXPECT_EQ(3, source.colourCount);
    EXPECT_EQ(paletteColour(2) + paletteColour(1) + paletteColour(0) + std::string(3, '\0'), expanded(source));
}

// Regression: the palette of a V4 or V5 file was taken from 40 bytes into
// its info header instead of after it.
TEST(BmpRead, PaletteAfterLongInfoHeader)
{
    const std::string head = infoHeader({124, 2, 1, 1, 8, 0, 2}) + palette(2);
    DibSource source;
    ASSERT_TRUE(readBmpBytes("v5.bmp", bmpFile(head, std::string("\x01\x00\0\0", 4)), source));
    EXPECT_EQ(paletteColour(1) + paletteColour(0), expanded(source));
}

TEST(BmpRead, MalformedFilesAreRefused)
{
    const std::string good8 = infoHeader({40, 2, 2, 1, 8, 0, 4}) + palette(4);
    const std::string rows8(8, '\x01');
    const std::string good24 = infoHeader({40, 1, 1, 1, 24, 0, 0});
    const std::string row24(4, '\x22');
    const struct {
        const char* fault;
        std::string file;
    } cases[] = {
        {"empty file", ""},
        {"short file header", bmpFile(good24, row24).substr(0, 13)},
        {"type BA", "BA" + bmpFile(good24, row24).substr(2)},
        {"data offset inside the file header", bmpFile(good24, row24, 10)},
        {"data offset inside the info header", bmpFile(good24, row24, 50)},
        {"data offset past the end", bmpFile(good24, row24, 5000)},
        {"header block shorter than its palette", bmpFile(good8, rows8, 54 + 8)},
        {"OS/2 core header", bmpFile(le32(12) + le16(1) + le16(1) + le16(1) + le16(24), row24)},
        {"header size past the data offset", bmpFile(infoHeader({41, 1, 1, 1, 24, 0, 0}).substr(0, 40), row24)},
        {"RLE8", bmpFile(infoHeader({40, 2, 2, 1, 8, 1, 4}) + palette(4), rows8)},
        {"bit fields", bmpFile(infoHeader({40, 1, 1, 1, 16, 3, 0}) + std::string(12, '\xFF'), row24)},
        {"16 bits", bmpFile(infoHeader({40, 1, 1, 1, 16, 0, 0}), row24)},
        {"30000 bits", bmpFile(infoHeader({40, 2, 2, 1, 30000, 0, 4}) + palette(4), rows8)},
        {"negative width", bmpFile(infoHeader({40, -1, 1, 1, 24, 0, 0}), row24)},
        {"zero height", bmpFile(infoHeader({40, 1, 0, 1, 24, 0, 0}), row24)},
        {"colour count past the block", bmpFile(infoHeader({40, 2, 2, 1, 8, 0, 0x12345678}) + palette(4), rows8)},
        {"pixel block one byte short", bmpFile(good8, rows8.substr(0, 7))},
        {"3000000 x 2000000", bmpFile(infoHeader({40, 3000000, 2000000, 1, 24, 0, 0}), row24)},
        {"top-down picture past an int", bmpFile(infoHeader({40, 40000, -20000, 1, 24, 0, 0}), row24)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        DibSource source;
        EXPECT_FALSE(readBmpBytes("malformed.bmp", c.file, source));
    }
}

// bmpsuite 2.8 (https://entropymine.com/jason/bmpsuite/).
const std::string kSuite = "bmp/bmpsuite-2.8/";

std::string suitePath(const std::string& name)
{
    return sharedDataPath(kSuite + name);
}

// Digests (FNV-1a over bottom-up blue, green, red pixels without row
// padding) of the suite's reference pictures html/<name>.png, decoded
// independently of this reader; tests/data/bmp/png_digests.py derives them.
const std::uint64_t kPal1 = 0x91d2eac19077c851ull;
const std::uint64_t kPal8 = 0x1b9f7a1dbd252172ull;
const std::uint64_t kRgb24 = 0x7e411d45a17d6037ull;

TEST(BmpSuite, SupportedFilesMatchTheirReferencePictures)
{
    const struct {
        const char* name;
        int width;
        int height;
        std::uint64_t digest;
    } files[] = {
        {"g/pal1.bmp", 127, 64, kPal1},
        {"g/pal1wb.bmp", 127, 64, kPal1},
        {"g/pal1bg.bmp", 127, 64, 0x0d5e7ee67cee4c55ull},
        {"g/pal4.bmp", 127, 64, 0x0c8146269702d429ull},
        {"g/pal4gs.bmp", 127, 64, 0xac66b235b8e89b9aull},
        {"g/pal8.bmp", 127, 64, kPal8},
        {"g/pal8-0.bmp", 127, 64, kPal8},
        {"g/pal8gs.bmp", 127, 64, 0x5734efb3781e15e7ull},
        {"g/pal8nonsquare.bmp", 127, 32, 0xdf46c34fba6f27e2ull}, // pal8nonsquare-e.png
        {"g/pal8topdown.bmp", 127, 64, kPal8},
        {"g/pal8v4.bmp", 127, 64, kPal8},
        {"g/pal8v5.bmp", 127, 64, kPal8},
        {"g/pal8w124.bmp", 124, 61, 0x81a57dbe93724ac5ull},
        {"g/pal8w125.bmp", 125, 62, 0xf31fcb29fcab7aafull},
        {"g/pal8w126.bmp", 126, 63, 0x11ebee6303e029e9ull},
        {"g/rgb24.bmp", 127, 64, kRgb24},
        {"g/rgb24pal.bmp", 127, 64, kRgb24},
        {"q/pal1p1.bmp", 127, 64, 0x11406e00b7f473e5ull},
        {"q/pal8offs.bmp", 127, 64, kPal8},
        {"q/pal8oversizepal.bmp", 127, 64, kPal8},
        {"q/pal8os2v2.bmp", 127, 64, kPal8},
        {"q/pal8os2v2-sz.bmp", 127, 64, kPal8},
        {"q/pal8os2v2-40sz.bmp", 127, 64, kPal8},
        {"q/rgb24largepal.bmp", 127, 64, kRgb24},
        {"q/rgb24prof.bmp", 127, 64, kRgb24},
        {"q/rgb24lprof.bmp", 127, 64, kRgb24},
        // Wrong fields that a reader of this kind does not use.
        {"b/badbitssize.bmp", 127, 64, kPal1},
        {"b/baddens1.bmp", 127, 64, kPal1},
        {"b/baddens2.bmp", 127, 64, kPal1},
        {"b/badfilesize.bmp", 127, 64, kPal1},
        {"b/badheadersize.bmp", 127, 64, kPal1},
        {"b/badplanes.bmp", 127, 64, kPal1},
    };
    int absent = 0;
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        if (sharedDataMissing(kSuite + f.name)) {
            ++absent;
            continue;
        }
        DibSource source;
        ASSERT_TRUE(readBmpPath(suitePath(f.name), source));
        EXPECT_EQ(f.width, source.width);
        EXPECT_EQ(f.height, source.height);
        EXPECT_EQ(f.digest, fnv1a(expanded(source)));
    }
    if (absent)
        GTEST_SKIP() << absent << " files left out: " << sharedDataSkipReason();
}

// Most of this file's indices lie past its 101 colours: they read as black.
TEST(BmpSuite, BadIndicesReadAsBlack)
{
    DibSource source;
    ASSERT_TRUE(readBmpPath(suitePath("b/pal8badindex.bmp"), source));
    ASSERT_EQ(101, source.colourCount);
    std::set<std::string> allowed{std::string(3, '\0')};
    for (int i = 0; i < source.colourCount; ++i)
        allowed.insert(std::string(reinterpret_cast<const char*>(source.palette.data()) + 4 * i, 3));
    const std::string pixels = expanded(source);
    int black = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 3) {
        const std::string pixel = pixels.substr(i, 3);
        ASSERT_TRUE(allowed.count(pixel)) << "pixel " << i / 3;
        black += pixel == std::string(3, '\0');
    }
    EXPECT_GT(black, 0);
}

// Its colour profile swaps red and green back; we show the pixels as stored.
TEST(BmpSuite, ProfileIsIgnored)
{
    DibSource plain, profiled;
    ASSERT_TRUE(readBmpPath(suitePath("g/rgb24.bmp"), plain));
    ASSERT_TRUE(readBmpPath(suitePath("q/rgb24prof2.bmp"), profiled));
    const std::string a = expanded(plain), b = expanded(profiled);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); i += 3)
        ASSERT_EQ(a.substr(i, 3), (std::string{b[i], b[i + 2], b[i + 1]})) << "pixel " << i / 3;
}

TEST(BmpSuite, UnsupportedAndBrokenFilesAreRefused)
{
    const char* const names[] = {
        // Compressed, OS/2 and 16- and 32-bit pictures.
        "g/pal4rle.bmp",
        "g/pal8rle.bmp",
        "g/pal8os2.bmp",
        "g/rgb16.bmp",
        "g/rgb16-565.bmp",
        "g/rgb16-565pal.bmp",
        "g/rgb16bfdef.bmp",
        "g/rgb32.bmp",
        "g/rgb32bf.bmp",
        "g/rgb32bfdef.bmp",
        "q/pal1huffmsb.bmp",
        "q/pal2.bmp",
        "q/pal2color.bmp",
        "q/pal4rlecut.bmp",
        "q/pal4rletrns.bmp",
        "q/pal8os2-hs.bmp",
        "q/pal8os2-sz.bmp",
        "q/pal8os2sp.bmp",
        "q/pal8os2v2-16.bmp",
        "q/pal8rlecut.bmp",
        "q/pal8rletrns.bmp",
        "q/rgb16-231.bmp",
        "q/rgb16-3103.bmp",
        "q/rgb16faketrns.bmp",
        "q/rgb24jpeg.bmp",
        "q/rgb24png.bmp",
        "q/rgb24rle24.bmp",
        "q/rgb32-111110.bmp",
        "q/rgb32-7187.bmp",
        "q/rgb32-xbgr.bmp",
        "q/rgb32fakealpha.bmp",
        "q/rgb32h52.bmp",
        "q/rgba16-1924.bmp",
        "q/rgba16-4444.bmp",
        "q/rgba16-5551.bmp",
        "q/rgba32-1.bmp",
        "q/rgba32-1010102.bmp",
        "q/rgba32-2.bmp",
        "q/rgba32-61754.bmp",
        "q/rgba32-81284.bmp",
        "q/rgba32abf.bmp",
        "q/rgba32h56.bmp",
        "q/rgba64.bmp",
        // Broken ones.
        "b/badbitcount.bmp",
        "b/badpalettesize.bmp",
        "b/badrle.bmp",
        "b/badrle4.bmp",
        "b/badrle4bis.bmp",
        "b/badrle4ter.bmp",
        "b/badrlebis.bmp",
        "b/badrleter.bmp",
        "b/badwidth.bmp",
        "b/reallybig.bmp",
        "b/rgb16-880.bmp",
        "b/rletopdown.bmp",
        "b/shortfile.bmp",
        "x/ba-bm.bmp",
    };
    int absent = 0;
    for (const char* name : names) {
        SCOPED_TRACE(name);
        if (sharedDataMissing(kSuite + name)) {
            ++absent;
            continue;
        }
        ASSERT_FALSE(readFile(suitePath(name)).empty()) << "missing test file";
        DibSource source;
        EXPECT_FALSE(readBmpPath(suitePath(name), source));
    }
    if (absent)
        GTEST_SKIP() << absent << " files left out: " << sharedDataSkipReason();
}

} // namespace
