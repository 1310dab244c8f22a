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

// Every line LineReader gives: by default from a binary stream that it
// translates itself, as the OBJ and MTL readers read; with asStored from
// a text-mode stream, translated by the runtime (msvcrt on Windows).
std::vector<std::string> linesByLineReader(const std::string& path,
                                           LineReader::Translation translation = LineReader::textMode)
{
    std::vector<std::string> lines;
    std::FILE* file = translation == LineReader::textMode ? rt::openBinary(path.c_str()) : rt::openText(path.c_str());
    EXPECT_TRUE(file);
    if (!file)
        return lines;
    LineReader reader(file, translation);
    const char* line;
    std::size_t length;
    while (reader.next(line, length))
        lines.emplace_back(line, length);
    std::fclose(file);
    return lines;
}

// The runs of whole lines that nextLines gives, checking what it promises
// of each: lines that end with a line feed, but for the file's last line,
// which then has one right after the run.
std::vector<std::string> runsByLineReader(const std::string& path)
{
    std::vector<std::string> runs;
    std::FILE* file = rt::openBinary(path.c_str());
    EXPECT_TRUE(file);
    if (!file)
        return runs;
    LineReader reader(file, LineReader::textMode);
    const char* first;
    const char* last;
    while (reader.nextLines(first, last)) {
        EXPECT_LT(first, last);
        if (!runs.empty()) {
            EXPECT_EQ('\n', runs.back().back()) << "only the file's last line may lack its line feed";
        }
        if (last[-1] != '\n') {
            EXPECT_EQ('\n', *last) << "a line feed after a last line without one";
        }
        runs.emplace_back(first, static_cast<std::size_t>(last - first));
    }
    std::fclose(file);
    return runs;
}

std::string joined(const std::vector<std::string>& lines)
{
    std::string all;
    for (const std::string& line : lines)
        all += line;
    return all;
}

} // namespace

TEST(ReadLine, GivesEachLineWhole)
{
    const std::string long1500(1500, 'x'); // 1,501 characters with its line feed
    const std::string exact511(511, 'y');  // one chunk short of its line feed
    const struct {
        const char* file;
        std::string content;
        bool textMode;
        std::vector<std::string> lines;
    } cases[] = {
        {"ab-cd", "ab\ncd", false, {"ab\n", "cd"}}, // the last line needs no line feed
        {"long-lines", long1500 + "\n" + exact511 + "\nz", false, {long1500 + "\n", exact511 + "\n", "z"}},
        {"nul-bytes", std::string("a\0b\n\0\n", 6), false, {std::string("a\0b\n", 4), std::string("\0\n", 2)}},
        // Only the CR right before the LF goes; a lone CR stays.
        {"crlf", "v 1\r\nf 1\r\r\nx\ry\r", true, {"v 1\n", "f 1\r\n", "x\ry\r"}},
        {"ctrl-z", "one\ntw\x1Ao\nthree\n", true, {"one\n", "tw"}}, // Ctrl-Z ends the file
    };
    for (const auto& c : cases) {
        const std::string path = scratchPath(std::string(c.file) + ".txt");
        ASSERT_TRUE(writeFile(path, c.content));
        EXPECT_EQ(c.lines, linesByReadLine(path, c.textMode)) << c.file;
    }
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
    const std::vector<std::string> expected = linesByReadLine(path, true);
    EXPECT_EQ(expected, linesByLineReader(path));
    EXPECT_EQ(expected, linesByLineReader(path, LineReader::asStored));
    EXPECT_EQ(joined(expected), joined(runsByLineReader(path)));

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

TEST(TextMode, CarriageReturnAtEveryBlockEdge)
{
    // CR LF pairs, CR CR LF triples and lone CRs, with every shift: one of
    // the files puts each byte of its pattern last in the first block the
    // reader fills, whatever the block's size, and the byte after it (LF, CR
    // or another) first in the next. Later edges fall where they may.
    const std::string patterns[] = {"\r\n", "\r\r\n", "a\r\n\r"};
    int file = 0;
    for (const std::string& pattern : patterns) {
        for (std::size_t shift = 0; shift < pattern.size(); ++shift) {
            std::string content(shift, 'x');
            while (content.size() < (std::size_t{3} << 19))
                content += pattern;
            content += "\r\x1A\r\n";
            const std::string path = scratchPath("cr-edges-" + std::to_string(file++) + ".txt");
            ASSERT_TRUE(writeFile(path, content));
            const std::vector<std::string> expected = linesByReadLine(path, true);
            ASSERT_EQ(expected, linesByLineReader(path)) << pattern.size() << " " << shift;
            ASSERT_EQ(joined(expected), joined(runsByLineReader(path))) << pattern.size() << " " << shift;
            ASSERT_EQ('\r', joined(expected).back()) << "the CR before the Ctrl-Z stays";
        }
    }
}

namespace {

// All that a TextModeReader gives for the file, asking for size bytes at a
// time.
std::string readInBlocks(const std::string& path, std::size_t size)
{
    std::string text;
    std::FILE* file = rt::openBinary(path.c_str());
    EXPECT_TRUE(file);
    if (!file)
        return text;
    rt::TextModeReader reader(file);
    std::vector<char> block(size);
    while (const std::size_t n = reader.read(block.data(), size)) {
        EXPECT_LE(n, size);
        text.append(block.data(), n);
    }
    EXPECT_EQ(0u, reader.read(block.data(), size)) << "the end stays the end";
    std::fclose(file);
    return text;
}

} // namespace

TEST(TextMode, TranslationInBlocksOfEverySize)
{
    // Blocks of 1 to 40 bytes put each of these bytes first and last in a
    // block: CR LF, CR CR LF, lone CRs, CR at the end, CR then Ctrl-Z.
    struct Case {
        const char* name;
        std::string bytes;
        std::string text;
    } cases[] = {
        {"crlf", "ab\r\ncd\r\n\r\nef\r\n", "ab\ncd\n\nef\n"},
        {"cr-cr-lf", "a\r\r\nb\r\r\r\n\r\r\n", "a\r\nb\r\r\n\r\n"},
        {"lone-cr", "\ra\rb\r\rc\r", "\ra\rb\r\rc\r"},
        {"lf-cr", "a\n\rb\n\r\n", "a\n\rb\n\n"},
        {"cr-ctrl-z", "abc\r\x1A\r\ndef", "abc\r"},
        {"crlf-ctrl-z", "abc\r\n\x1A\r\n", "abc\n"},
        {"ctrl-z-first", "\x1A\r\nabc", ""},
        {"mixed", "v 1 2 3\r\n\r\rf 1 2 3\r\r\n# c\r\n\r", "v 1 2 3\n\r\rf 1 2 3\r\n# c\n\r"},
    };
    for (const Case& c : cases) {
        const std::string path = scratchPath(std::string("blocks-") + c.name + ".txt");
        ASSERT_TRUE(writeFile(path, c.bytes));
        const std::vector<std::string> byRuntime = linesByReadLine(path, true);
        EXPECT_EQ(c.text, joined(byRuntime)) << c.name << ": the runtime's own text mode";
        for (std::size_t size = 1; size <= 40; ++size)
            ASSERT_EQ(c.text, readInBlocks(path, size)) << c.name << ", blocks of " << size;
    }
}
