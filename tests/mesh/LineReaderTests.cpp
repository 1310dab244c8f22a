#include "mesh/LineReader.h"
#include "platform/Runtime.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Every line readLine gives for the file, each with its length.
std::vector<std::string> linesByReadLine(const std::string& path, bool text)
{
    std::vector<std::string> lines;
    std::FILE* file = text ? rt::openText(path.c_str()) : std::fopen(path.c_str(), "rb");
    EXPECT_TRUE(file);
    if (!file)
        return lines;
    std::size_t length = 99;
    while (char* line = readLine(file, &length)) {
        lines.emplace_back(line, length);
        std::free(line);
    }
    EXPECT_EQ(0u, length) << "the end is reported with length 0";
    std::fclose(file);
    return lines;
}

std::vector<std::string> linesByLineReader(const std::string& path)
{
    std::vector<std::string> lines;
    std::FILE* file = rt::openText(path.c_str());
    EXPECT_TRUE(file);
    if (!file)
        return lines;
    LineReader reader(file);
    const char* line;
    std::size_t length;
    while (reader.next(line, length))
        lines.emplace_back(line, length);
    std::fclose(file);
    return lines;
}

} // namespace

TEST(ReadLine, SplitsAfterEachLineFeedAndKeepsTheLastLine)
{
    const std::string path = scratchPath("ab-cd.txt");
    ASSERT_TRUE(writeFile(path, "ab\ncd"));
    const std::vector<std::string> lines = linesByReadLine(path, false);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("ab\n", lines[0]);
    EXPECT_EQ("cd", lines[1]);
}

TEST(ReadLine, LongLinesComeBackWhole)
{
    // 1,500 characters, and exactly 511 (one chunk short of its line feed).
    const std::string path = scratchPath("long-lines.txt");
    const std::string long1500(1500, 'x');
    const std::string exact511(511, 'y');
    ASSERT_TRUE(writeFile(path, long1500 + "\n" + exact511 + "\n" + "z"));
    const std::vector<std::string> lines = linesByReadLine(path, false);
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(long1500 + "\n", lines[0]);
    EXPECT_EQ(1501u, lines[0].size());
    EXPECT_EQ(exact511 + "\n", lines[1]);
    EXPECT_EQ("z", lines[2]);
}

TEST(ReadLine, ZeroBytesStayInsideTheLine)
{
    const std::string path = scratchPath("nul-bytes.txt");
    ASSERT_TRUE(writeFile(path, std::string("a\0b\n\0\n", 6)));
    const std::vector<std::string> lines = linesByReadLine(path, false);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(std::string("a\0b\n", 4), lines[0]);
    EXPECT_EQ(std::string("\0\n", 2), lines[1]);
}

TEST(ReadLineChunk, StopsAtCapacityAndAtLineFeeds)
{
    const std::string path = scratchPath("chunks.txt");
    ASSERT_TRUE(writeFile(path, "abcdef\ng"));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_TRUE(file);
    char buffer[8] = "zzzzzzz";
    EXPECT_EQ(0, readLineChunk(buffer, 0, file));
    EXPECT_EQ('z', buffer[0]) << "capacity 0 touches nothing";
    EXPECT_EQ(3, readLineChunk(buffer, 4, file));
    EXPECT_STREQ("abc", buffer);
    EXPECT_EQ(4, readLineChunk(buffer, 8, file));
    EXPECT_STREQ("def\n", buffer);
    EXPECT_EQ(1, readLineChunk(buffer, 8, file));
    EXPECT_EQ(0, readLineChunk(buffer, 8, file));
    EXPECT_STREQ("", buffer);
    std::fclose(file);
}

TEST(TextMode, CarriageReturnLineFeedReadsAsLineFeed)
{
    const std::string path = scratchPath("crlf.txt");
    ASSERT_TRUE(writeFile(path, "v 1\r\nf 1\r\r\nx\ry\r"));
    const std::vector<std::string> lines = linesByReadLine(path, true);
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("v 1\n", lines[0]);
    EXPECT_EQ("f 1\r\n", lines[1]) << "only the CR right before the LF goes";
    EXPECT_EQ("x\ry\r", lines[2]) << "a lone CR stays";
}

TEST(TextMode, CtrlZEndsTheFile)
{
    const std::string path = scratchPath("ctrl-z.txt");
    ASSERT_TRUE(writeFile(path, "one\ntw\x1Ao\nthree\n"));
    const std::vector<std::string> lines = linesByReadLine(path, true);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("one\n", lines[0]);
    EXPECT_EQ("tw", lines[1]);
}

TEST(LineReader, GivesTheSameLinesAsReadLine)
{
    // Lines around the block size and the chunk size, CR LF, Ctrl-Z, zero
    // bytes and a last line without its line feed.
    std::string content;
    for (int length : {0, 1, 510, 511, 512, 513, 1023, 70000, (1 << 20) - 3, (1 << 20), 5, 2 << 20})
        content += std::string(static_cast<std::size_t>(length), static_cast<char>('a' + length % 26)) + "\n";
    content += "crlf\r\n";
    content += std::string("zero\0byte\n", 10);
    content += "last without feed";
    const std::string path = scratchPath("mixed-lines.txt");
    ASSERT_TRUE(writeFile(path, content));
    EXPECT_EQ(linesByReadLine(path, true), linesByLineReader(path));

    const std::string stopped = scratchPath("ctrl-z-mid.txt");
    ASSERT_TRUE(writeFile(stopped, content.substr(0, 700000) + "\x1A" + content.substr(700000)));
    const std::vector<std::string> lines = linesByLineReader(stopped);
    EXPECT_EQ(linesByReadLine(stopped, true), lines);
    EXPECT_LT(lines.size(), 12u);
}

TEST(TextMode, CarriageReturnsAcrossBlockBoundaries)
{
    // Five-byte lines put a CR at the edge of some block whatever its size.
    std::string content;
    for (int i = 0; i < 30000; ++i)
        content += "abc\r\n";
    content += "\r";
    const std::string path = scratchPath("crlf-many.txt");
    ASSERT_TRUE(writeFile(path, content));
    const std::vector<std::string> lines = linesByLineReader(path);
    ASSERT_EQ(30001u, lines.size());
    for (int i = 0; i < 30000; ++i)
        ASSERT_EQ("abc\n", lines[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ("\r", lines.back()) << "a CR at the very end stays";
    EXPECT_EQ(lines, linesByReadLine(path, true));
}
