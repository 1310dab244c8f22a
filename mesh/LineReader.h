#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

// Reads up to capacity - 1 bytes of one line into buffer, stopping after a
// line feed, and ends them with a zero byte. Returns the number stored, 0 at
// the end of the file or for a capacity of 0 or less (buffer untouched then).
int readLineChunk(char* buffer, int capacity, std::FILE* stream);

// The next line of stream, of any length, with its line feed if it had one,
// as a zero-terminated malloc'ed string that the caller frees; null at the
// end of the file. The length (which counts any zero bytes inside the line)
// is stored through length when given.
char* readLine(std::FILE* stream, std::size_t* length = nullptr);

// The same lines as readLine gives, read in large blocks: the readers'
// fast path. A line stays valid until the next call.
class LineReader {
public:
    explicit LineReader(std::FILE* stream);
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // False at the end of the file. Throws std::bad_alloc when a line does
    // not fit in memory.
    bool next(const char*& line, std::size_t& length);

private:
    std::FILE* stream;
    std::unique_ptr<char[]> buffer; // not cleared: only what was read is looked at
    std::size_t capacity;
    std::size_t begin = 0; // first byte not yet returned
    std::size_t end = 0;   // one past the last byte read
    bool atEnd = false;
};
