// fuzz_line: line reading, statement splitting and number conversion.
//
// Input: one flags byte, then a file's bytes. Flags bit 0 reads the file in
// text mode through rt::openText (from a tmpfs file) instead of from a
// fmemopen stream of the raw bytes. In text mode, bit 1 puts a comment line
// of 8192 - k bytes (k = 1 + (flags >> 2)) in front of the bytes, so that
// they straddle the end of the first 8 KiB block, the size in which stdio
// reads a text-mode stream: a carriage return held back at a block's end
// must still pair with the line feed at the start of the next block.
//
// readLine, LineReader and readLineChunk read the same stream contents and
// must give the same lines, which together are exactly the expected bytes
// (in text mode, textModeBytes of the file). Every line is then
// split into words both ways, and every word is read as a face corner and as
// numbers, checked against the C runtime.

#include "fuzz/FuzzSupport.h"
#include "mesh/LineReader.h"
#include "mesh/Numbers.h"
#include "mesh/Statement.h"
#include "platform/Runtime.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kStdioBlock = 8192;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

int referenceInt(std::string_view text)
{
    const std::string copy(text);
    const long long value = std::strtoll(copy.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

void checkWord(std::string_view word)
{
    const char* begin = word.data();
    const char* end = begin + word.size();

    const double fast = toDouble(begin, end);
    const std::string copy(word);
    const double runtime = rt::stringToDouble(copy.c_str());
    require((std::isnan(fast) && std::isnan(runtime)) || std::memcmp(&fast, &runtime, sizeof fast) == 0,
            "toDouble gives strtod's double");
    require(toInt(begin, end) == referenceInt(word), "toInt gives the saturated strtoll value");

    // A corner's first three "/" fields, each converted when not empty.
    int expected[3] = {0, 0, 0};
    std::size_t start = 0;
    for (int field = 0; field < 3; ++field) {
        const std::size_t slash = word.find('/', start);
        const std::string_view text = word.substr(start, slash == std::string_view::npos ? slash : slash - start);
        if (!text.empty())
            expected[field] = toInt(text.data(), text.data() + text.size());
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    if (expected[0] > 0)
        --expected[0];
    const CornerIndices corner = parseCorner(word);
    require(corner.position == expected[0] && corner.texCoord == expected[1] && corner.normal == expected[2],
            "parseCorner reads the first three fields");
}

// The words of [line, line + usable), plainly: blanks split, a quote runs
// to the next quote.
std::vector<std::string_view> referenceWords(const char* line, std::size_t usable)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < usable) {
        if (isBlank(line[i])) {
            ++i;
            continue;
        }
        std::size_t start = i;
        std::size_t stop;
        if (line[i] == '"') {
            start = i + 1;
            stop = start;
            while (stop < usable && line[stop] != '"')
                ++stop;
            i = stop < usable ? stop + 1 : usable;
        } else {
            stop = i;
            while (stop < usable && !isBlank(line[stop]))
                ++stop;
            i = stop;
        }
        if (stop > start)
            words.emplace_back(line + start, stop - start);
    }
    return words;
}

void checkLine(const char* line, std::size_t length)
{
    std::vector<std::string_view> words;
    splitStatement(line, length, words);

    // The usable part ends at the first "#" or zero byte.
    std::size_t usable = 0;
    while (usable < length && line[usable] != '#' && line[usable] != '\0')
        ++usable;
    const std::vector<std::string_view> expected = referenceWords(line, usable);
    require(words.size() == expected.size(), "splitStatement finds the words");
    for (std::size_t i = 0; i < words.size(); ++i) {
        require(words[i].data() == expected[i].data() && words[i].size() == expected[i].size(),
                "splitStatement finds the words");
        checkWord(words[i]);
    }

    // The zero-terminated form stops at the first zero byte, as the usable
    // part does, so both forms give the same words.
    const std::vector<std::string> strings = splitStatement(line);
    require(strings.size() == words.size(), "both splitStatement forms give the same words");
    for (std::size_t i = 0; i < words.size(); ++i)
        require(strings[i] == words[i], "both splitStatement forms give the same words");
}

std::FILE* openStream(bool textMode, const std::string& path, std::string_view bytes)
{
    if (!textMode)
        return memoryStream(bytes);
    std::FILE* stream = rt::openText(path.c_str());
    require(stream != nullptr, "openText opens the scratch file");
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool textMode = (data[0] & 1) != 0;
    const std::size_t lead = textMode && (data[0] & 2) != 0 ? 1 + (data[0] >> 2) : 0;
    // The lead is one comment line, which costs little to check.
    std::string file;
    if (lead) {
        file.assign(kStdioBlock - lead - 1, '#');
        file += '\n';
    }
    file.append(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::string path;
    if (textMode) {
        path = scratchFile("lines.obj");
        writeBytes(path, file);
    }
    const std::string expected = textMode ? textModeBytes(file) : file;

    std::FILE* byLine = openStream(textMode, path, file);
    std::FILE* byBlock = openStream(textMode, path, file);
    std::FILE* byChunk = openStream(textMode, path, file);
    LineReader reader(byBlock);
    std::size_t offset = 0;
    for (;;) {
        std::size_t length = 0;
        char* line = readLine(byLine, &length);
        const char* block = nullptr;
        std::size_t blockLength = 0;
        const bool more = reader.next(block, blockLength);
        require((line != nullptr) == more, "readLine and LineReader end together");
        if (!line) {
            require(length == 0, "readLine gives length 0 at the end");
            break;
        }
        require(length > 0 && length == blockLength && std::memcmp(line, block, length) == 0,
                "readLine and LineReader give the same line");
        require(line[length] == '\0', "readLine ends the line with a zero byte");
        require(length <= expected.size() - offset && std::memcmp(line, expected.data() + offset, length) == 0,
                "the lines are the stream's bytes");
        const void* feed = std::memchr(line, '\n', length);
        require(feed == nullptr ? offset + length == expected.size() : feed == line + length - 1,
                "a line ends at its line feed, or at the end of the file");
        checkLine(line, length);
        std::free(line);
        offset += length;
    }
    require(offset == expected.size(), "the lines cover the whole stream");

    // readLineChunk with a small capacity, chosen by the input's size; a
    // capacity of 1 leaves no room for a byte and reads nothing.
    const int capacity = 1 + static_cast<int>(size % 16);
    char chunk[17];
    std::string chunks;
    for (int n; (n = readLineChunk(chunk, capacity, byChunk)) > 0;) {
        require(n < capacity && chunk[n] == '\0', "readLineChunk stores at most capacity - 1 bytes and a zero");
        require(std::memchr(chunk, '\n', static_cast<std::size_t>(n)) == nullptr || chunk[n - 1] == '\n',
                "readLineChunk stops after a line feed");
        chunks.append(chunk, static_cast<std::size_t>(n));
    }
    require(capacity == 1 || chunks == expected, "readLineChunk reads the whole stream");

    std::fclose(byLine);
    std::fclose(byBlock);
    std::fclose(byChunk);
    return 0;
}
