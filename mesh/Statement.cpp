#include "mesh/Statement.h"

#include "mesh/Numbers.h"

#include <cstring>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

} // namespace

void splitStatement(const char* line, std::size_t length, std::vector<std::string_view>& words, std::size_t maxWords)
{
    words.clear();
    const char* p = line;
    const char* end = line + length;
    // The usable part stops at the comment mark or at a zero byte.
    for (const char* q = line; q < end; ++q) {
        if (*q == '#' || *q == '\0') {
            end = q;
            break;
        }
    }
    while (p < end && words.size() < maxWords) {
        if (isBlank(*p)) {
            ++p;
            continue;
        }
        const char* start;
        const char* stop;
        if (*p == '"') {
            start = p + 1;
            const void* quote = std::memchr(start, '"', static_cast<std::size_t>(end - start));
            stop = quote ? static_cast<const char*>(quote) : end;
            p = quote ? stop + 1 : end;
        } else {
            start = p;
            while (p < end && !isBlank(*p))
                ++p;
            stop = p;
        }
        if (stop > start)
            words.emplace_back(start, static_cast<std::size_t>(stop - start));
    }
}

std::vector<std::string> splitStatement(const char* line)
{
    std::vector<std::string_view> views;
    splitStatement(line, std::strlen(line), views);
    return std::vector<std::string>(views.begin(), views.end());
}

CornerIndices parseCorner(std::string_view word)
{
    int values[3] = {0, 0, 0};
    int field = 0;
    const char* p = word.data();
    const char* end = p + word.size();
    const char* start = p;
    for (;; ++p) {
        if (p == end || *p == '/') {
            if (p > start)
                values[field] = toInt(start, p);
            if (++field == 3 || p == end)
                break;
            start = p + 1;
        }
    }
    CornerIndices corner{values[0], values[1], values[2]};
    if (corner.position > 0)
        --corner.position;
    return corner;
}
