#include "image/WideText.h"

#include "platform/Runtime.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char16_t kLineFeed = 10;
constexpr char16_t kCarriageReturn = 13;
constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr char16_t kSwappedMark = 0xFFFE;

// Keeps the file in binary mode for one read or write and restores its mode
// after. The runtime's own text translation works on bytes and would mangle
// 16-bit units: a 0x1A byte (as in U+041A) ends the file, and a 0x0D 0x0A
// byte pair loses a byte.
class BinaryScope {
public:
    explicit BinaryScope(std::FILE* stream) : stream(stream), mode(rt::setStreamMode(stream, rt::kBinaryMode)) {}
    ~BinaryScope()
    {
        if (mode != -1)
            rt::setStreamMode(stream, mode);
    }
    BinaryScope(const BinaryScope&) = delete;
    BinaryScope& operator=(const BinaryScope&) = delete;

    bool text() const { return mode == rt::kTextMode; }

private:
    std::FILE* stream;
    int mode;
};

bool readUnit(std::FILE* stream, char16_t& unit)
{
    unsigned char bytes[2];
    if (std::fread(bytes, 1, 2, stream) != 2)
        return false;
    unit = static_cast<char16_t>(bytes[0] | (bytes[1] << 8));
    return true;
}

std::size_t writeUnits(const char16_t* units, std::size_t count, std::FILE* stream)
{
    // Anything written before in text mode must reach the file translated.
    std::fflush(stream);
    BinaryScope binary(stream);

    unsigned char block[1024];
    std::size_t used = 0;
    auto put = [&](char16_t unit) {
        if (used == sizeof block) {
            std::fwrite(block, 1, used, stream);
            used = 0;
        }
        block[used++] = static_cast<unsigned char>(unit & 0xFF);
        block[used++] = static_cast<unsigned char>(unit >> 8);
    };
    if (std::ftell(stream) == 0)
        put(kByteOrderMark);
    for (std::size_t i = 0; i < count; ++i) {
        if (binary.text() && units[i] == kLineFeed)
            put(kCarriageReturn);
        put(units[i]);
    }
    std::fwrite(block, 1, used, stream);
    std::fflush(stream);
    return count;
}

} // namespace

namespace {

// readWideLineChunk, saying also whether the chunk ends its line: in text
// mode a lone line feed is an ordinary unit, so a full chunk whose last
// unit is a line feed may not end the line.
int readChunk(char16_t* buffer, int capacity, std::FILE* stream, bool& lineEnded)
{
    lineEnded = false;
    if (capacity <= 0)
        return 0;
    BinaryScope binary(stream);
    int count = 0;
    char16_t unit;
    while (count < capacity - 1 && readUnit(stream, unit)) {
        if (unit == kByteOrderMark || unit == kSwappedMark)
            continue;
        if (binary.text() && unit == kCarriageReturn) {
            buffer[count++] = kLineFeed;
            char16_t next;
            // A lone carriage return ends the line too, but the unit after
            // it starts the next line: give it back where the stream can.
            if (readUnit(stream, next) && next != kLineFeed)
                std::fseek(stream, -2, SEEK_CUR);
            lineEnded = true;
            break;
        }
        buffer[count++] = unit;
        if (unit == kLineFeed && !binary.text()) {
            lineEnded = true;
            break;
        }
    }
    buffer[count] = 0;
    return count;
}

} // namespace

int readWideLineChunk(char16_t* buffer, int capacity, std::FILE* stream)
{
    bool lineEnded;
    return readChunk(buffer, capacity, stream, lineEnded);
}

char16_t* readWideLineInto(char16_t* buffer, int capacity, std::FILE* stream)
{
    return readWideLineChunk(buffer, capacity, stream) > 0 ? buffer : nullptr;
}

char16_t* readWideLine(std::FILE* stream, std::size_t* length)
{
    // Room for one chunk and the zero; doubled whenever a chunk does not
    // fit, so that a long line costs linear time also where realloc moves
    // the block each time (the Windows heap does).
    std::size_t capacity = 513;
    std::size_t size = 0;
    auto* result = static_cast<char16_t*>(std::malloc(capacity * sizeof(char16_t)));
    if (!result) {
        if (length)
            *length = 0;
        return nullptr;
    }
    char16_t chunk[512];
    int n;
    bool lineEnded = false;
    while (!lineEnded && (n = readChunk(chunk, 512, stream, lineEnded)) > 0) {
        const auto units = static_cast<std::size_t>(n);
        if (size + units + 1 > capacity) {
            const std::size_t wanted = std::max(2 * capacity, size + units + 1);
            auto* grown = static_cast<char16_t*>(std::realloc(result, wanted * sizeof(char16_t)));
            if (!grown)
                break; // out of memory: the line ends here, like a read error
            result = grown;
            capacity = wanted;
        }
        std::memcpy(result + size, chunk, units * sizeof(char16_t));
        size += units;
    }
    if (length)
        *length = size;
    if (size == 0) {
        std::free(result);
        return nullptr;
    }
    result[size] = 0;
    auto* shrunk = static_cast<char16_t*>(std::realloc(result, (size + 1) * sizeof(char16_t)));
    return shrunk ? shrunk : result;
}

std::size_t writeWideText(const char16_t* text, std::FILE* stream)
{
    if (!text)
        return 0;
    std::size_t count = 0;
    while (text[count] != 0)
        ++count;
    return writeUnits(text, count, stream);
}

int writeWideChars(const char16_t* units, int count, std::FILE* stream)
{
    if (!units || count <= 0)
        return 0;
    writeUnits(units, static_cast<std::size_t>(count), stream);
    return count;
}

int getFileMode(std::FILE* stream)
{
    const int mode = rt::setStreamMode(stream, rt::kBinaryMode);
    if (mode != -1)
        rt::setStreamMode(stream, mode);
    return mode;
}

int setFileMode(std::FILE* stream, int mode)
{
    std::fflush(stream);
    return rt::setStreamMode(stream, mode);
}

bool atEndOfFile(std::FILE* stream)
{
    const int c = std::fgetc(stream);
    if (c == EOF)
        return true;
    std::ungetc(c, stream);
    return false;
}
