#include "image/WideText.h"

#include "platform/Runtime.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Little-endian bytes of 16-bit units.
std::string bytesOf(std::initializer_list<unsigned> units)
{
    std::string s;
    for (unsigned u : units) {
        s += static_cast<char>(u & 0xFF);
        s += static_cast<char>(u >> 8);
    }
    return s;
}

std::vector<unsigned> unitsOf(const char16_t* text, int count)
{
    return std::vector<unsigned>(text, text + count);
}

// A file with the given bytes, opened with mode ("rb", "r").
std::FILE* openWith(const std::string& name, const std::string& bytes, const char* mode)
{
    const std::string path = scratchPath(name);
    EXPECT_TRUE(writeFile(path, bytes));
    std::FILE* file = std::fopen(path.c_str(), mode);
    EXPECT_NE(nullptr, file) << path;
    return file;
}

// Text mode exists only in the Windows runtime.
bool hasTextMode()
{
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}

#define REQUIRE_TEXT_MODE()                                                                                            \
    if (!hasTextMode())                                                                                                \
    GTEST_SKIP() << "no text mode outside the Windows runtime"

// The units of every chunk up to the end of the file.
std::vector<std::vector<unsigned>> readChunks(std::FILE* file, int capacity = 64)
{
    std::vector<std::vector<unsigned>> chunks;
    std::vector<char16_t> buffer(capacity);
    for (;;) {
        const int n = readWideLineChunk(buffer.data(), capacity, file);
        if (n == 0)
            return chunks;
        EXPECT_EQ(0u, static_cast<unsigned>(buffer[n])) << "terminating zero";
        chunks.push_back(unitsOf(buffer.data(), n));
    }
}

TEST(WideLineChunk, BinaryModeKeepsCarriageReturns)
{
    std::FILE* file = openWith("edge-binary.txt", bytesOf({0xFEFF, 0x61, 13, 10}), "rb");
    ASSERT_NE(nullptr, file);
    char16_t buffer[16];
    ASSERT_EQ(3, readWideLineChunk(buffer, 16, file));
    EXPECT_EQ((std::vector<unsigned>{0x61, 13, 10}), unitsOf(buffer, 3));
    EXPECT_TRUE(atEndOfFile(file));
    std::fclose(file);
}

TEST(WideLineChunk, TextModeTurnsCarriageReturnLineFeedIntoLineFeed)
{
    REQUIRE_TEXT_MODE();
    std::FILE* file = openWith("edge-text.txt", bytesOf({0xFEFF, 0x61, 13, 10}), "r");
    ASSERT_NE(nullptr, file);
    char16_t buffer[16];
    ASSERT_EQ(2, readWideLineChunk(buffer, 16, file));
    EXPECT_EQ((std::vector<unsigned>{0x61, 10}), unitsOf(buffer, 2));
    EXPECT_TRUE(atEndOfFile(file));
    EXPECT_EQ(rt::kTextMode, getFileMode(file)) << "the mode is restored";
    std::fclose(file);
}

TEST(WideLineChunk, LinesEndAtTheirLineFeed)
{
    std::FILE* file = openWith("lines.txt", bytesOf({'a', 10, 10, 0xFFFE, 'b', 0xFEFF, 'c'}), "rb");
    ASSERT_NE(nullptr, file);
    const auto chunks = readChunks(file);
    std::fclose(file);
    ASSERT_EQ(3u, chunks.size());
    EXPECT_EQ((std::vector<unsigned>{'a', 10}), chunks[0]);
    EXPECT_EQ((std::vector<unsigned>{10}), chunks[1]);
    EXPECT_EQ((std::vector<unsigned>{'b', 'c'}), chunks[2]) << "byte-order marks dropped anywhere";
}

TEST(WideLineChunk, CapacityBoundsTheUnitsStored)
{
    std::FILE* file = openWith("capacity.txt", bytesOf({'a', 'b', 'c', 'd', 10}), "rb");
    ASSERT_NE(nullptr, file);
    char16_t buffer[8] = {u'x', u'x', u'x', u'x', u'x', u'x', u'x', u'x'};
    EXPECT_EQ(0, readWideLineChunk(buffer, 0, file));
    EXPECT_EQ(0, readWideLineChunk(buffer, -5, file));
    EXPECT_EQ(u'x', buffer[0]) << "no room, nothing touched";
    EXPECT_EQ(0, readWideLineChunk(buffer, 1, file));
    EXPECT_EQ(0u, static_cast<unsigned>(buffer[0]));
    EXPECT_EQ(2, readWideLineChunk(buffer, 3, file));
    EXPECT_EQ((std::vector<unsigned>{'a', 'b', 0, 'x'}), unitsOf(buffer, 4));
    EXPECT_EQ(3, readWideLineChunk(buffer, 8, file));
    EXPECT_EQ(nullptr, readWideLineInto(buffer, 8, file));
    std::fclose(file);
}

// Regression: in text mode the runtime's byte translation ran under the
// 16-bit units, so a 0x1A byte (here in U+041A and U+1A00) ended the file
// and a 0x0D 0x0A byte pair (U+0D00 before a line feed) lost a byte.
TEST(WideLineChunk, TextModeReadsEveryByteOfTheUnits)
{
    REQUIRE_TEXT_MODE();
    std::FILE* file = openWith("ctrl-z.txt", bytesOf({0x041A, 0x1A00, 13, 10, 0x0D00, 10, 0x1A1A, 13, 10}), "r");
    ASSERT_NE(nullptr, file);
    const auto chunks = readChunks(file);
    std::fclose(file);
    ASSERT_EQ(2u, chunks.size());
    EXPECT_EQ((std::vector<unsigned>{0x041A, 0x1A00, 10}), chunks[0]);
    // A lone line feed does not end a line in text mode.
    EXPECT_EQ((std::vector<unsigned>{0x0D00, 10, 0x1A1A, 10}), chunks[1]);
}

// Regression: a lone carriage return in text mode swallowed the unit after it.
TEST(WideLineChunk, TextModeLoneCarriageReturnKeepsTheNextUnit)
{
    REQUIRE_TEXT_MODE();
    std::FILE* file = openWith("lone-cr.txt", bytesOf({'a', 13, 'b', 13, 10, 13, 0xFEFF, 'c'}), "r");
    ASSERT_NE(nullptr, file);
    const auto chunks = readChunks(file);
    std::fclose(file);
    ASSERT_EQ(4u, chunks.size());
    EXPECT_EQ((std::vector<unsigned>{'a', 10}), chunks[0]);
    EXPECT_EQ((std::vector<unsigned>{'b', 10}), chunks[1]);
    EXPECT_EQ((std::vector<unsigned>{10}), chunks[2]);
    EXPECT_EQ((std::vector<unsigned>{'c'}), chunks[3]);
}

TEST(WideLine, ReturnsWholeLinesOfAnyLength)
{
    std::vector<unsigned> longLine;
    for (int i = 0; i < 1500; ++i)
        longLine.push_back(0x4E00 + i);
    std::string bytes = bytesOf({0xFEFF});
    for (unsigned u : longLine)
        bytes += bytesOf({u});
    bytes += bytesOf({10, 'x', 10, 'e', 'n', 'd'});
    std::FILE* file = openWith("long.txt", bytes, "rb");
    ASSERT_NE(nullptr, file);

    std::size_t length = 99;
    char16_t* line = readWideLine(file, &length);
    ASSERT_NE(nullptr, line);
    ASSERT_EQ(1501u, length);
    longLine.push_back(10);
    EXPECT_EQ(longLine, unitsOf(line, 1501));
    EXPECT_EQ(0u, static_cast<unsigned>(line[1501]));
    std::free(line);

    line = readWideLine(file, &length);
    ASSERT_NE(nullptr, line);
    EXPECT_EQ((std::vector<unsigned>{'x', 10, 0}), unitsOf(line, 3));
    std::free(line);

    line = readWideLine(file, nullptr);
    ASSERT_NE(nullptr, line);
    EXPECT_EQ((std::vector<unsigned>{'e', 'n', 'd', 0}), unitsOf(line, 4)) << "last line without a line feed";
    std::free(line);

    EXPECT_EQ(nullptr, readWideLine(file, &length));
    EXPECT_EQ(0u, length);
    std::fclose(file);
}

// A line of exactly one chunk (511 units) without a line feed, then the rest.
TEST(WideLine, LineFeedRightAfterAFullChunk)
{
    std::string bytes;
    for (int i = 0; i < 511; ++i)
        bytes += bytesOf({'a'});
    bytes += bytesOf({10});
    std::FILE* file = openWith("chunk-edge.txt", bytes, "rb");
    ASSERT_NE(nullptr, file);
    std::size_t length = 0;
    char16_t* line = readWideLine(file, &length);
    ASSERT_NE(nullptr, line);
    EXPECT_EQ(512u, length);
    EXPECT_EQ(10u, static_cast<unsigned>(line[511]));
    std::free(line);
    EXPECT_EQ(nullptr, readWideLine(file));
    std::fclose(file);
}

// Regression: in text mode a lone line feed is an ordinary unit, also when
// it is the last unit of a full chunk; only CR LF (or a lone CR) ends a line.
TEST(WideLine, TextModeLoneLineFeedAtAChunksEndStaysInTheLine)
{
    REQUIRE_TEXT_MODE();
    for (const int before : {509, 510, 511}) {
        std::string bytes;
        for (int i = 0; i < before; ++i)
            bytes += bytesOf({'a'});
        bytes += bytesOf({10, 'b', 13, 10, 'c'});
        std::FILE* file = openWith("lone-lf-edge.txt", bytes, "r");
        ASSERT_NE(nullptr, file);
        std::size_t length = 0;
        char16_t* line = readWideLine(file, &length);
        ASSERT_NE(nullptr, line);
        EXPECT_EQ(static_cast<std::size_t>(before + 3), length) << before << " units before the line feed";
        EXPECT_EQ(10u, static_cast<unsigned>(line[before]));
        EXPECT_EQ('b', static_cast<unsigned>(line[before + 1]));
        std::free(line);
        line = readWideLine(file, &length);
        ASSERT_NE(nullptr, line);
        EXPECT_EQ(1u, length);
        std::free(line);
        std::fclose(file);
    }
}

std::string writeAndRead(const char* mode, const std::string& name, void (*write)(std::FILE*))
{
    const std::string path = scratchPath(name);
    std::FILE* file = std::fopen(path.c_str(), mode);
    EXPECT_NE(nullptr, file);
    if (!file)
        return std::string();
    write(file);
    std::fclose(file);
    return readFile(path);
}

TEST(WideWrite, ByteOrderMarkOnlyAtTheStart)
{
    const std::string bytes = writeAndRead("wb", "bom.txt", [](std::FILE* file) {
        EXPECT_EQ(3u, writeWideText(u"a\nb", file));
        EXPECT_EQ(2u, writeWideText(u"c\n", file));
    });
    EXPECT_EQ(bytesOf({0xFEFF, 'a', 10, 'b', 'c', 10}), bytes);
}

TEST(WideWrite, NoByteOrderMarkAfterOtherContent)
{
    const std::string bytes = writeAndRead("wb", "no-bom.txt", [](std::FILE* file) {
        std::fputs("ab", file);
        EXPECT_EQ(1u, writeWideText(u"c", file));
    });
    EXPECT_EQ("ab" + bytesOf({'c'}), bytes);
}

TEST(WideWrite, CountedUnitsIncludeZeros)
{
    const std::string bytes = writeAndRead("wb", "counted.txt", [](std::FILE* file) {
        EXPECT_EQ(0, writeWideChars(u"xyz", 0, file));
        EXPECT_EQ(0, writeWideChars(u"xyz", -1, file));
        const char16_t units[] = {'a', 0, 'b'};
        EXPECT_EQ(3, writeWideChars(units, 3, file));
    });
    EXPECT_EQ(bytesOf({0xFEFF, 'a', 0, 'b'}), bytes);
}

TEST(WideWrite, TextModeWritesLineFeedsAsCarriageReturnLineFeed)
{
    REQUIRE_TEXT_MODE();
    const std::string bytes = writeAndRead("w", "text-write.txt", [](std::FILE* file) {
        EXPECT_EQ(4u, writeWideText(u"a\n\nb", file));
        EXPECT_EQ(rt::kTextMode, getFileMode(file)) << "the mode is restored";
        // Narrow text written after still gets the runtime's translation.
        std::fputs("\n", file);
    });
    EXPECT_EQ(bytesOf({0xFEFF, 'a', 13, 10, 13, 10, 'b'}) + "\r\n", bytes);
}

TEST(WideWrite, TextModeFlushesNarrowTextFirst)
{
    REQUIRE_TEXT_MODE();
    const std::string bytes = writeAndRead("w", "text-mixed.txt", [](std::FILE* file) {
        std::fputs("x\n", file);
        EXPECT_EQ(2u, writeWideText(u"y\n", file));
    });
    EXPECT_EQ("x\r\n" + bytesOf({'y', 13, 10}), bytes);
}

TEST(FileMode, ReportsAndSetsTheRuntimeMode)
{
    REQUIRE_TEXT_MODE();
    const std::string path = scratchPath("mode.txt");
    std::FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(rt::kTextMode, getFileMode(file));
    EXPECT_EQ(rt::kTextMode, getFileMode(file)) << "asking changes nothing";
    std::fputs("a\n", file); // buffered: flushed in text mode by setFileMode
    EXPECT_EQ(rt::kTextMode, setFileMode(file, rt::kBinaryMode));
    EXPECT_EQ(rt::kBinaryMode, getFileMode(file));
    std::fputs("b\n", file);
    std::fclose(file);
    EXPECT_EQ("a\r\nb\n", readFile(path));
}

TEST(EndOfFile, PeeksWithoutMoving)
{
    std::FILE* file = openWith("peek.txt", "q", "rb");
    ASSERT_NE(nullptr, file);
    EXPECT_FALSE(atEndOfFile(file));
    EXPECT_EQ('q', std::fgetc(file));
    EXPECT_TRUE(atEndOfFile(file));
    std::fclose(file);

    file = openWith("empty.txt", "", "rb");
    ASSERT_NE(nullptr, file);
    EXPECT_TRUE(atEndOfFile(file));
    std::fclose(file);
}

} // namespace
