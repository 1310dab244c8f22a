#include "mesh/LineReader.h"

#include "mesh/MemoryReserve.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

int readLineChunk(char* buffer, int capacity, std::FILE* stream)
{
    if (capacity <= 0)
        return 0;
    int count = 0;
    while (count < capacity - 1) {
        const int c = std::getc(stream);
        if (c == EOF)
            break;
        buffer[count++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    buffer[count] = '\0';
    return count;
}

char* readLine(std::FILE* stream, std::size_t* length)
{
    std::size_t capacity = 513;
    std::size_t size = 0;
    char* result = static_cast<char*>(std::malloc(capacity));
    if (!result) {
        if (length)
            *length = 0;
        return nullptr;
    }
    char chunk[512];
    int n = readLineChunk(chunk, sizeof chunk, stream);
    while (n > 0) {
        if (chunk[n - 1] == '\n') {
            std::memcpy(result + size, chunk, static_cast<std::size_t>(n));
            size += static_cast<std::size_t>(n);
            break;
        }
        if (size + static_cast<std::size_t>(n) + 512 > capacity) {
            // Grow by half again at least, so a long line costs few copies.
            const std::size_t wanted = capacity + capacity / 2 + static_cast<std::size_t>(n);
            char* grown = static_cast<char*>(std::realloc(result, wanted));
            if (!grown) {
                // Out of memory: the line ends here, like a read error.
                break;
            }
            result = grown;
            capacity = wanted;
        }
        std::memcpy(result + size, chunk, static_cast<std::size_t>(n));
        size += static_cast<std::size_t>(n);
        n = readLineChunk(chunk, sizeof chunk, stream);
    }
    if (length)
        *length = size;
    if (size == 0) {
        std::free(result);
        return nullptr;
    }
    result[size] = '\0';
    char* shrunk = static_cast<char*>(std::realloc(result, size + 1));
    return shrunk ? shrunk : result;
}

namespace {

// Small enough that a block is still in the cache when its lines are read.
constexpr std::size_t kBlockSize = std::size_t{1} << 17;

} // namespace

LineReader::LineReader(std::FILE* stream, Translation translation)
        : stream(stream), text(stream), translation(translation), buffer(new char[kBlockSize + 1]), capacity(kBlockSize)
{
}

bool LineReader::next(const char*& line, std::size_t& length)
{
    std::size_t searched = begin;
    for (;;) {
        const void* feed = std::memchr(buffer.get() + searched, '\n', end - searched);
        if (feed) {
            const std::size_t stop = static_cast<std::size_t>(static_cast<const char*>(feed) - buffer.get()) + 1;
            line = buffer.get() + begin;
            length = stop - begin;
            begin = stop;
            return true;
        }
        if (atEnd) {
            if (begin == end)
                return false;
            line = buffer.get() + begin;
            length = end - begin;
            begin = end;
            return true;
        }
        searched = fill();
    }
}

bool LineReader::nextLines(const char*& first, const char*& last)
{
    std::size_t searched = begin;
    for (;;) {
        // The last line feed read ends the whole lines; it is seldom far
        // from the end.
        std::size_t stop = end;
        while (stop > searched && buffer[stop - 1] != '\n')
            --stop;
        if (stop > searched) {
            first = buffer.get() + begin;
            last = buffer.get() + stop;
            begin = stop;
            return true;
        }
        if (atEnd) {
            if (begin == end)
                return false;
            buffer[end] = '\n';
            first = buffer.get() + begin;
            last = buffer.get() + end;
            begin = end;
            return true;
        }
        searched = fill();
    }
}

std::size_t LineReader::fill()
{
    if (begin > 0) {
        std::memmove(buffer.get(), buffer.get() + begin, end - begin);
        end -= begin;
        begin = 0;
    }
    if (end == capacity) {
        if (capacity > (std::numeric_limits<std::size_t>::max() - 1) / 2)
            throwOutOfMemory();
        std::unique_ptr<char[]> larger(new char[capacity * 2 + 1]);
        std::memcpy(larger.get(), buffer.get(), end);
        buffer = std::move(larger);
        capacity *= 2;
    }
    const std::size_t unread = end;
    const std::size_t n = translation == textMode ? text.read(buffer.get() + end, capacity - end)
                                                  : std::fread(buffer.get() + end, 1, capacity - end, stream);
    if (n == 0)
        atEnd = true;
    end += n;
    return unread;
}
