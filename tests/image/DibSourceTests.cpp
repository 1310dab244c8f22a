#include "image/DibSource.h"

#include "tests/image/DibFixtures.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace dibtest;

namespace {

TEST(DibStride, RowsArePaddedToFourBytes)
{
    EXPECT_EQ(4, dibStride(1));
    EXPECT_EQ(12, dibStride(3)); // a capture 3 pixels wide: 9 bytes padded to 12
    EXPECT_EQ(12, dibStride(4));
    EXPECT_EQ(16, dibStride(5));
    EXPECT_EQ(-1, dibStride(0));
    EXPECT_EQ(-1, dibStride(-4));
    EXPECT_EQ(-1, dibStride(INT_MAX / 3));
    EXPECT_EQ(-1, dibStride(INT_MAX));
}

// Expands one row of indices through palette() and returns the pixels.
std::string expandRow(int bitCount, int width, const std::string& row, int colourCount = 256)
{
    const std::string pal = palette(colourCount);
    const int stride = dibStride(width);
    std::vector<unsigned char> bits(stride, 0xEE);
    expandIndexed(bitCount, bytesOf(pal), colourCount, bytesOf(row), false, bits.data(), width, 1, stride);
    return packed(bits.data(), width, 1, stride);
}

std::string colours(std::initializer_list<int> indices)
{
    std::string s;
    for (int i : indices)
        s += i < 0 ? std::string(3, '\0') : paletteColour(i);
    return s;
}

TEST(ExpandIndexed, FourBitsTakeTheHighNibbleFirst)
{
    EXPECT_EQ(colours({1, 2, 3, 4}), expandRow(4, 4, std::string("\x12\x34\0\0", 4), 16));
    // An odd width ends on a high nibble.
    EXPECT_EQ(colours({1, 2, 3}), expandRow(4, 3, std::string("\x12\x34\0\0", 4), 16));
}

TEST(ExpandIndexed, OneBitTakesTheMostSignificantBitFirst)
{
    EXPECT_EQ(colours({1, 0, 0, 0, 0, 0, 0, 0}), expandRow(1, 8, std::string("\x80\0\0\0", 4), 2));
    EXPECT_EQ(colours({0, 1, 0, 1, 1, 0, 1, 0, 1}), expandRow(1, 9, std::string("\x5A\x80\0\0", 4), 2));
}

TEST(ExpandIndexed, EightBitsTakeOneBytePerPixel)
{
    EXPECT_EQ(colours({0, 255, 17, 128, 1}), expandRow(8, 5, std::string("\x00\xFF\x11\x80\x01\0\0\0", 8)));
}

TEST(ExpandIndexed, IndicesPastThePaletteReadAsBlack)
{
    EXPECT_EQ(colours({0, 2, -1, -1}), expandRow(8, 4, std::string("\x00\x02\x03\xFF", 4), 3));
    EXPECT_EQ(colours({1, -1}), expandRow(4, 2, std::string("\x1F\0\0\0", 4), 2));
    // A one-colour palette, as bmpsuite's pal1p1 has.
    EXPECT_EQ(colours({0, -1}), expandRow(1, 2, std::string("\x40\0\0\0", 4), 1));
    // Long palettes serve only the indices a row can hold.
    EXPECT_EQ(colours({255, 0}), expandRow(8, 2, std::string("\xFF\x00\0\0", 4), 300));
}

TEST(PackedDib, TwentyFourBitsFollowTheHeader)
{
    const std::string pixels("\x01\x02\x03\x04\x05\x06\0\0\x07\x08\x09\x0A\x0B\x0C\0\0", 16);
    const std::string block = infoHeader({40, 2, 2, 1, 24, 0, 0}) + pixels;
    ASSERT_EQ(56u, block.size());
    DibSource source;
    ASSERT_TRUE(readPacked(source, block));
    EXPECT_EQ(2, source.width);
    EXPECT_EQ(2, source.height);
    EXPECT_EQ(24, source.bitCount);
    EXPECT_EQ("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C", expanded(source));
}

TEST(PackedDib, EightBitsWithoutAColourCountUseAFullPalette)
{
    // Index 255 must find the last of 256 entries, and the rows start after them.
    const std::string block = infoHeader({40, 2, 1, 1, 8, 0, 0}) + palette(256) + std::string("\xFF\x01\0\0", 4);
    DibSource source;
    ASSERT_TRUE(readPacked(source, block));
    EXPECT_EQ(256, source.colourCount);
    EXPECT_EQ(colours({255, 1}), expanded(source));
}

TEST(PackedDib, ColoursUsedSetsThePaletteLength)
{
    const std::string block = infoHeader({40, 3, 1, 1, 4, 0, 3}) + palette(3) + std::string("\x12\x30\0\0", 4);
    DibSource source;
    ASSERT_TRUE(readPacked(source, block));
    EXPECT_EQ(3, source.colourCount);
    EXPECT_EQ(colours({1, 2, -1}), expanded(source)) << "index 3 is past the palette";
}

// Regression: the palette of a header longer than 40 bytes (V4, V5) was
// taken from 40 bytes in, reading header fields as colours.
TEST(PackedDib, PaletteAfterLongInfoHeader)
{
    const std::string block = infoHeader({108, 2, 1, 1, 8, 0, 2}) + palette(2) + std::string("\x01\x00\0\0", 4);
    DibSource source;
    ASSERT_TRUE(readPacked(source, block));
    EXPECT_EQ(colours({1, 0}), expanded(source));
}

// Regression: a 24-bit DIB with a colour table had its rows read from the
// start of the table.
TEST(PackedDib, TwentyFourBitRowsAfterColourTable)
{
    const std::string block = infoHeader({40, 1, 1, 1, 24, 0, 2}) + palette(2) + std::string("\x0A\x0B\x0C\0", 4);
    DibSource source;
    ASSERT_TRUE(readPacked(source, block));
    EXPECT_EQ("\x0A\x0B\x0C", expanded(source));
}

TEST(PackedDib, TopDownReadsUpright)
{
    // Stored first: the top row (1, 2, 3); then the bottom row (4, 5, 6).
    const std::string block = infoHeader({40, 1, -2, 1, 24, 0, 0}) + std::string("\x01\x02\x03\0\x04\x05\x06\0", 8);
    DibSource source;
    ASSERT_TRUE(readPacked(source, block));
    EXPECT_EQ(2, source.height);
    EXPECT_TRUE(source.topDown);
    EXPECT_EQ("\x04\x05\x06\x01\x02\x03", expanded(source));
}

TEST(PackedDib, MalformedBlocksAreRefused)
{
    const std::string row24(4, '\x11');
    const struct {
        const char* fault;
        std::string block;
    } cases[] = {
        {"empty", ""},
        {"shorter than an info header", infoHeader({}).substr(0, 39)},
        {"OS/2 core header", le32(12) + le16(1) + le16(1) + le16(1) + le16(24) + std::string(28, '\0') + row24},
        {"header size past the block", infoHeader({200, 1, 1, 1, 24, 0, 0}).substr(0, 40) + row24},
        {"header size 0xFFFFFFFF", infoHeader({0xFFFFFFFFu, 1, 1, 1, 24, 0, 0}) + row24},
        {"RLE8", infoHeader({40, 1, 1, 1, 8, 1, 0}) + palette(256) + row24},
        {"bit fields", infoHeader({40, 1, 1, 1, 32, 3, 0}) + std::string(12, '\xFF') + row24},
        {"16 bits", infoHeader({40, 1, 1, 1, 16, 0, 0}) + row24},
        {"32 bits", infoHeader({40, 1, 1, 1, 32, 0, 0}) + row24},
        {"2 bits", infoHeader({40, 1, 1, 1, 2, 0, 0}) + palette(4) + row24},
        {"0 bits", infoHeader({40, 1, 1, 1, 0, 0, 0}) + row24},
        {"zero width", infoHeader({40, 0, 1, 1, 24, 0, 0}) + row24},
        {"negative width", infoHeader({40, -1, 1, 1, 24, 0, 0}) + row24},
        {"zero height", infoHeader({40, 1, 0, 1, 24, 0, 0}) + row24},
        {"most negative height", infoHeader({40, 1, INT_MIN, 1, 24, 0, 0}) + row24},
        {"palette past the block", infoHeader({40, 1, 1, 1, 8, 0, 300}) + palette(256) + row24},
        {"full palette missing an entry", infoHeader({40, 1, 1, 1, 8, 0, 0}) + palette(255) + row24},
        {"colour count 0xFFFFFFFF", infoHeader({40, 1, 1, 1, 8, 0, 0xFFFFFFFFu}) + palette(2) + row24},
        {"colour table past the block", infoHeader({40, 1, 1, 1, 24, 0, 2}) + row24},
        {"rows one byte short", infoHeader({40, 2, 2, 1, 24, 0, 0}) + std::string(15, '\0')},
        {"indexed rows one byte short", infoHeader({40, 33, 2, 1, 1, 0, 0}) + palette(2) + std::string(15, '\0')},
        {"no rows", infoHeader({40, 1, 1, 1, 8, 0, 1}) + palette(1)},
        {"24-bit block past an int", infoHeader({40, 30000, 30000, 1, 24, 0, 0}) + row24},
        {"1-bit picture past an int", infoHeader({40, 0x7FFFFFFF, 2, 1, 1, 0, 2}) + palette(2) + row24},
        {"top-down past an int", infoHeader({40, 0x10000, -0x4000, 1, 8, 0, 1}) + palette(1) + row24},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        DibSource source;
        EXPECT_FALSE(readPacked(source, c.block));
    }
}

// Every prefix of a good block is refused and none is read past its end.
TEST(PackedDib, EveryTruncationIsRefused)
{
    const std::string block = infoHeader({52, 5, -3, 1, 4, 0, 5}) + palette(5) + std::string(12, '\x34');
    DibSource whole;
    ASSERT_TRUE(readPacked(whole, block));
    for (std::size_t n = 0; n < block.size(); ++n) {
        SCOPED_TRACE(n);
        DibSource source;
        EXPECT_FALSE(readPacked(source, block.substr(0, n)));
    }
}

} // namespace
