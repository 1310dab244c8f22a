#include "mesh/Statement.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using Words = std::vector<std::string>;

TEST(SplitStatement, Words)
{
    struct Case {
        const char* line;
        Words words;
    } cases[] = {
        {"v 1 2 3\n", {"v", "1", "2", "3"}},
        {"v\t1\t 2  3", {"v", "1", "2", "3"}},
        {"  \t\n", {}},
        {"# comment\n", {}},
        {"v 1 2 3 # a comment\n", {"v", "1", "2", "3"}},
        {"v 1 2#3", {"v", "1", "2"}},
        {"usemtl \"two words\"\n", {"usemtl", "two words"}},
        {"\"a b\" \"c d\"", {"a b", "c d"}},
        {"\"unclosed quote", {"unclosed quote"}},
        {"\"\" x \"", {"x"}},
        {"a\"b c", {"a\"b", "c"}},
        {"\"quoted # still a comment\"", {"quoted "}},
        {"v 1\r\n", {"v", "1\r"}},
        {"\"a\"b", {"a", "b"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.words, splitStatement(c.line)) << c.line;
}

TEST(SplitStatement, ZeroByteEndsTheLine)
{
    std::vector<std::string_view> words;
    const char line[] = "v 1\0 2 3\n";
    splitStatement(line, sizeof line - 1, words);
    ASSERT_EQ(2u, words.size());
    EXPECT_EQ("1", words[1]);
}

TEST(SplitStatement, StopsAfterTheWordsAskedFor)
{
    std::vector<std::string_view> words;
    const std::string line = "f 1 \"2 3\" 4 5 6\n";
    splitStatement(line.data(), line.size(), words, 3);
    ASSERT_EQ(3u, words.size());
    EXPECT_EQ("2 3", words[2]);
    splitStatement(line.data(), line.size(), words, 0);
    EXPECT_TRUE(words.empty());
    splitStatement(line.data(), line.size(), words, 100);
    EXPECT_EQ(6u, words.size());
}

TEST(ParseCorner, Fields)
{
    struct Case {
        const char* word;
        int position, texCoord, normal;
    } cases[] = {
        {"1/2/3", 0, 2, 3},
        {"4//6", 3, 0, 6},
        {"7/8", 6, 8, 0},
        {"7", 6, 0, 0},
        {"0", 0, 0, 0},
        {"/5/6", 0, 5, 6},
        {"-1/-2/-3", -1, -2, -3},
        {"3/4/5/6/7", 2, 4, 5},
        {"12abc/3x", 11, 3, 0},
        {"+2", 1, 0, 0},
        {"x/y/z", 0, 0, 0},
        {"99999999999999999999/1", INT_MAX - 1, 1, 0},
        {"-99999999999999999999//99999999999", INT_MIN, 0, INT_MAX},
    };
    for (const Case& c : cases) {
        const CornerIndices corner = parseCorner(c.word);
        EXPECT_EQ(c.position, corner.position) << c.word;
        EXPECT_EQ(c.texCoord, corner.texCoord) << c.word;
        EXPECT_EQ(c.normal, corner.normal) << c.word;
    }
}
