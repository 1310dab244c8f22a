#include "image/DibImage.h"

#include "image/DibSource.h"
#include "tests/image/DibFixtures.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace dibtest;

namespace {

// Fills every byte of the picture, padding included, with a pattern that
// tells rows, columns and channels apart.
void fillPattern(DibImage& image, int seed = 0)
{
    for (int i = 0; i < image.height * image.stride; ++i)
        image.bits[i] = static_cast<unsigned char>(i * 13 + seed);
}

std::string pixelsOf(const DibImage& image)
{
    return packed(image.bits, image.width, image.height, image.stride);
}

TEST(DibImage, StrideFollowsTheWidth)
{
    const struct {
        int width;
        int stride;
    } cases[] = {{1, 4}, {3, 12}, {4, 12}, {5, 16}, {512, 1536}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        DibImage image(c.width, 2);
        ASSERT_NE(nullptr, image.bitmap);
        ASSERT_NE(nullptr, image.bits);
        EXPECT_EQ(c.width, image.width);
        EXPECT_EQ(2, image.height);
        EXPECT_EQ(c.stride, image.stride);
    }
}

TEST(DibImage, HeaderDescribesTwentyFourBitsBottomUp)
{
    DibImage image(7, 3);
    ASSERT_NE(nullptr, image.bitmap);
    const BITMAPINFOHEADER& h = image.header;
    EXPECT_EQ(40u, h.biSize);
    EXPECT_EQ(7, h.biWidth);
    EXPECT_EQ(3, h.biHeight);
    EXPECT_EQ(1, h.biPlanes);
    EXPECT_EQ(24, h.biBitCount);
    EXPECT_EQ(DWORD{BI_RGB}, h.biCompression);
    EXPECT_EQ(0u, h.biSizeImage);
    EXPECT_EQ(0, h.biXPelsPerMeter);
    EXPECT_EQ(0, h.biYPelsPerMeter);
    EXPECT_EQ(0u, h.biClrUsed);
    EXPECT_EQ(0u, h.biClrImportant);
    // The section's own description agrees.
    DIBSECTION section;
    ASSERT_EQ(static_cast<int>(sizeof section), GetObjectA(image.bitmap, sizeof section, &section));
    EXPECT_EQ(image.bits, section.dsBm.bmBits);
    EXPECT_EQ(image.stride, section.dsBm.bmWidthBytes);
    EXPECT_EQ(3, section.dsBmih.biHeight);
}

TEST(DibImage, SizesWithoutAPictureLeaveItEmpty)
{
    const struct {
        int width;
        int height;
    } sizes[] = {{0, 1}, {-1, 1}, {1, -1}, {30000, 30000}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::to_string(s.width) + " x " + std::to_string(s.height));
        DibImage image(2, 2);
        ASSERT_NE(nullptr, image.bitmap);
        EXPECT_FALSE(image.create(s.width, s.height));
        EXPECT_EQ(nullptr, image.bitmap);
        EXPECT_EQ(nullptr, image.bits);
        EXPECT_EQ(0, image.width);
        EXPECT_EQ(0, image.height);
        EXPECT_EQ(0, image.stride);
    }
}

// GDI reads the picture as we lay it out: row 0 at the bottom, blue first.
TEST(DibImage, DrawShowsThePictureUpright)
{
    DibImage image(3, 2);
    ASSERT_NE(nullptr, image.bits);
    std::memset(image.bits, 0, static_cast<std::size_t>(image.height) * image.stride);
    image.bits[2] = 255;                        // bottom left: red
    image.bits[image.stride + 2 * 3 + 0] = 255; // top right: blue

    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(nullptr, dc);
    DibImage target(3, 2);
    ASSERT_NE(nullptr, target.bitmap);
    HGDIOBJ old = SelectObject(dc, target.bitmap);
    image.draw(dc, 0, 0, 3, 2, 0, 0);
    GdiFlush();
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, 0, 1));
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(dc, 2, 0));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 0, 0));
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_EQ(pixelsOf(image), pixelsOf(target));
}

TEST(DibImage, ExpandIndexedFillsRowsBottomUp)
{
    const std::string pal = palette(16);
    // Row 0 (the bottom row) holds 1, 2, 3, 4; row 1 holds 15, 0, 0, 0.
    const std::string rows("\x12\x34\0\0\xF0\x00\0\0", 8);
    DibImage image(4, 2);
    ASSERT_NE(nullptr, image.bits);
    image.expandIndexed4(bytesOf(pal), 16, bytesOf(rows));
    EXPECT_EQ(paletteColour(1) + paletteColour(2) + paletteColour(3) + paletteColour(4) + paletteColour(15) +
                  paletteColour(0) + paletteColour(0) + paletteColour(0),
              pixelsOf(image));
}

// The clipboard is shared with every other test process of the session;
// each test puts what it reads there itself.
class DibClipboard : public ::testing::Test {
protected:
    // The clipboard keeps data only from a window that owns it.
    void SetUp() override { ASSERT_TRUE(owner); }
    void TearDown() override { DestroyWindow(owner); }

    // Puts a block on the clipboard as CF_DIB, as another program would.
    bool putDib(const std::string& block)
    {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, block.size());
        if (!memory)
            return false;
        std::memcpy(GlobalLock(memory), block.data(), block.size());
        GlobalUnlock(memory);
        return giveToClipboard(owner, CF_DIB, memory);
    }

    HWND owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
};

TEST_F(DibClipboard, CopyPlacesOnePackedTwentyFourBitDib)
{
    DibImage image(2, 2);
    ASSERT_NE(nullptr, image.bits);
    fillPattern(image);
    EXPECT_FALSE(image.copyToClipboard(nullptr)) << "without an owner Windows would not keep it";
    ASSERT_TRUE(image.copyToClipboard(owner));
    EXPECT_EQ(owner, GetClipboardOwner());

    ASSERT_TRUE(OpenClipboard(nullptr));
    int dibs = 0;
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format))
        dibs += format == CF_DIB;
    HANDLE data = GetClipboardData(CF_DIB);
    std::string block;
    if (data) {
        const char* p = static_cast<const char*>(GlobalLock(data));
        if (p)
            block.assign(p, GlobalSize(data));
        GlobalUnlock(data);
    }
    CloseClipboard();

    EXPECT_EQ(1, dibs);
    ASSERT_GE(block.size(), 56u); // 40 + 2 x 8
    EXPECT_EQ(0, std::memcmp(block.data(), &image.header, 40));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.bits), 16), block.substr(40, 16));
    BITMAPINFOHEADER header;
    std::memcpy(&header, block.data(), sizeof header);
    EXPECT_EQ(24, header.biBitCount);
    EXPECT_EQ(2, header.biHeight) << "bottom-up";
    EXPECT_EQ(0u, header.biClrUsed);
}

TEST_F(DibClipboard, CopyThenPasteGivesTheSamePicture)
{
    const struct {
        int width;
        int height;
    } sizes[] = {{1, 1}, {3, 2}, {5, 3}, {64, 17}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::to_string(s.width) + " x " + std::to_string(s.height));
        DibImage image(s.width, s.height);
        ASSERT_NE(nullptr, image.bits);
        fillPattern(image, s.width);
        ASSERT_TRUE(image.copyToClipboard(owner));
        DibImage pasted(1, 1);
        ASSERT_TRUE(pasted.pasteFromClipboard(nullptr));
        EXPECT_EQ(image.width, pasted.width);
        EXPECT_EQ(image.height, pasted.height);
        EXPECT_EQ(image.stride, pasted.stride);
        EXPECT_EQ(pixelsOf(image), pixelsOf(pasted));
    }
}

// Another program asking for a bitmap gets the picture upright: the system
// converts our DIB, and GetDIBits reads it back bottom-up.
TEST_F(DibClipboard, OtherProgramsSeeTheSamePicture)
{
    DibImage image(5, 3);
    ASSERT_NE(nullptr, image.bits);
    fillPattern(image, 3);
    ASSERT_TRUE(image.copyToClipboard(owner));

    ASSERT_TRUE(OpenClipboard(nullptr));
    HBITMAP bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    std::vector<unsigned char> bits(3 * 16);
    int rows = 0;
    if (bitmap) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = 5;
        info.bmiHeader.biHeight = 3;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        HDC dc = GetDC(nullptr);
        rows = GetDIBits(dc, bitmap, 0, 3, bits.data(), &info, DIB_RGB_COLORS);
        ReleaseDC(nullptr, dc);
    }
    CloseClipboard();
    ASSERT_NE(nullptr, bitmap);
    ASSERT_EQ(3, rows);
    EXPECT_EQ(pixelsOf(image), packed(bits.data(), 5, 3, 16));
}

TEST_F(DibClipboard, PasteReadsEightBitsWithAFullPalette)
{
    ASSERT_TRUE(putDib(infoHeader({40, 2, 1, 1, 8, 0, 0}) + palette(256) + std::string("\xFF\x01\0\0", 4)));
    DibImage image;
    ASSERT_TRUE(image.pasteFromClipboard(nullptr));
    EXPECT_EQ(2, image.width);
    EXPECT_EQ(1, image.height);
    EXPECT_EQ(paletteColour(255) + paletteColour(1), pixelsOf(image));
}

TEST_F(DibClipboard, RefusedPasteLeavesThePicture)
{
    const std::string row(16, '\x44');
    const struct {
        const char* fault;
        std::string block;
    } cases[] = {
        {"bit fields", infoHeader({40, 2, 2, 1, 32, 3, 0}) + std::string(12, '\xFF') + row},
        {"16 bits", infoHeader({40, 2, 2, 1, 16, 0, 0}) + row},
        {"rows missing", infoHeader({40, 64, 64, 1, 24, 0, 0}) + row},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_TRUE(putDib(c.block));
        DibImage image(2, 2);
        ASSERT_NE(nullptr, image.bits);
        fillPattern(image);
        const std::string before = pixelsOf(image);
        EXPECT_FALSE(image.pasteFromClipboard(nullptr));
        EXPECT_EQ(2, image.width);
        EXPECT_EQ(before, pixelsOf(image));
    }
}

TEST_F(DibClipboard, PasteWithoutAPictureFails)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    DibImage image;
    EXPECT_FALSE(image.pasteFromClipboard(nullptr));
    EXPECT_EQ(nullptr, image.bitmap);
}

TEST(DibBmp, WriteThenReadBack)
{
    DibImage image(5, 3);
    ASSERT_NE(nullptr, image.bits);
    fillPattern(image, 9);
    const std::string path = scratchPath("dib-roundtrip.bmp");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    EXPECT_TRUE(image.writeBmp(file));
    std::fclose(file);

    const std::string bytes = readFile(path);
    ASSERT_EQ(54u + 3 * 16, bytes.size());
    EXPECT_EQ(0, std::memcmp(bytes.data() + 14, &image.header, 40)) << "the header as it is";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.bits), 48), bytes.substr(54));

    DibImage back;
    file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, file);
    EXPECT_TRUE(back.readBmp(file));
    std::fclose(file);
    EXPECT_EQ(5, back.width);
    EXPECT_EQ(3, back.height);
    EXPECT_EQ(image.stride, back.stride);
    EXPECT_EQ(pixelsOf(image), pixelsOf(back));
}

TEST(DibBmp, RefusedFileLeavesThePicture)
{
    const std::string path = scratchPath("dib-refused.bmp");
    ASSERT_TRUE(writeFile(path, bmpFile(infoHeader({40, 1, 1, 1, 24, 1, 0}), std::string(4, '\0'))));
    DibImage image(2, 2);
    ASSERT_NE(nullptr, image.bits);
    fillPattern(image);
    const std::string before = pixelsOf(image);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, file);
    EXPECT_FALSE(image.readBmp(file));
    std::fclose(file);
    EXPECT_EQ(2, image.width);
    EXPECT_EQ(before, pixelsOf(image));
}

TEST(DibBmp, EmptyImageWritesNothing)
{
    const std::string path = scratchPath("dib-empty.bmp");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    DibImage image;
    EXPECT_FALSE(image.writeBmp(file));
    std::fclose(file);
    EXPECT_EQ(0u, readFile(path).size());
}

} // namespace
