#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One statement of an OBJ or MTL line, split into words. The line ends at its
// first "#" (the rest is a comment) or at a zero byte. Blanks are space, tab
// and line feed; a carriage return is part of a word. A word that starts with
// a double quote runs to the next double quote, blanks included; empty words
// are dropped.
std::vector<std::string> splitStatement(const char* line);

// The same, on [line, line + length), giving views into the line, and at
// most maxWords of them: a caller that only takes statements of a few words
// need not hold every word of a line of millions. words is cleared first;
// reusing one vector avoids an allocation per line.
void splitStatement(const char* line, std::size_t length, std::vector<std::string_view>& words,
                    std::size_t maxWords = static_cast<std::size_t>(-1));

// Indices of one face corner ("7", "7/8", "7//9", "7/8/9"): the position
// number less one (numbers of 0 or below are kept as they are), and the
// texture-coordinate and normal numbers as written, 0 where left out.
struct CornerIndices {
    int position = 0;
    int texCoord = 0;
    int normal = 0;
};
CornerIndices parseCorner(std::string_view word);
