#pragma once

#include "platform/Runtime.h"

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

// The same lines as readLine gives, read in large blocks: the readers' fast
// path. With textMode, the lines that readLine gives from a text-mode stream
// of the same file. Lines stay valid until the next call.
class LineReader {
public:
    // How the stream's bytes become lines.
    enum Translation {
        asStored, // byte for byte: a text-mode stream, a memory stream
        textMode, // a binary stream (rt::openBinary) read as text mode reads it
    };

    explicit LineReader(std::FILE* stream, Translation translation = asStored);
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line. False at the end of the file. Throws std::bad_alloc
    // when a line does not fit in memory.
    bool next(const char*& line, std::size_t& length);

    // Every whole line read so far and not yet returned, at least one:
    // [first, last) ends with a line feed, except at the end of the file
    // where the last line may have none. Then a line feed is written at
    // *last, outside the lines, so that a search for the end of a line in
    // [first, last) never needs a bound. False at the end of the file.
    // Throws std::bad_alloc when a line does not fit in memory.
    bool nextLines(const char*& first, const char*& last);

private:
    // Keeps the unfinished line, makes room, and reads more; returns where
    // the new bytes start.
    std::size_t fill();

    std::FILE* stream;
    rt::TextModeReader text;
    Translation translation;
    std::unique_ptr<char[]> buffer; // capacity + 1 bytes, not cleared: only what was read is looked at
    std::size_t capacity;
    std::size_t begin = 0; // first byte not yet returned
    std::size_t end = 0;   // one past the last byte read
    bool atEnd = false;
};
