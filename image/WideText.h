#pragma once

#include <cstddef>
#include <cstdio>

// UTF-16 (little-endian) text lines on stdio streams, with byte-order marks
// and the runtime's text-mode line ends, and a few stream utilities.
//
// Streams carry the runtime's translation mode (rt::kTextMode or
// rt::kBinaryMode, see platform/Runtime.h). These functions keep the file in
// binary mode while they move 16-bit units and do the text-mode work
// themselves: CR LF in the file is LF in memory. Builds other than Windows
// have no text mode, so there every stream behaves as binary.

// Reads up to capacity - 1 units of one line into buffer and ends them with a
// zero unit; returns the number stored (0 at the end of the file, and for a
// capacity of 0 or less, buffer untouched). Byte-order marks (0xFEFF,
// 0xFFFE) are dropped. In binary mode a line feed is stored and ends the
// line. In text mode a carriage return is stored as a line feed and ends the
// line, and a line feed right after it is consumed; a lone line feed is an
// ordinary unit. Read errors count as the end of the file.
int readWideLineChunk(char16_t* buffer, int capacity, std::FILE* stream);

// readWideLineChunk; buffer when at least one unit was stored, else null.
char16_t* readWideLineInto(char16_t* buffer, int capacity, std::FILE* stream);

// The next line of any length, with its line feed if it had one, as a
// zero-terminated malloc'ed string that the caller frees; null at the end of
// the file. Its length in units is stored through length when given.
char16_t* readWideLine(std::FILE* stream, std::size_t* length = nullptr);

// Writes a zero-terminated string: first a byte-order mark when the stream
// stands at position 0, then the units, each line feed as CR LF when the
// stream is in text mode. The stream is flushed before and after. Returns
// the number of units of text (the added carriage returns not counted).
std::size_t writeWideText(const char16_t* text, std::FILE* stream);

// writeWideText for count units; returns count, or 0 (writing nothing) for a
// count of 0 or less.
int writeWideChars(const char16_t* units, int count, std::FILE* stream);

// The stream's translation mode, or -1 when the runtime rejects the file.
int getFileMode(std::FILE* stream);

// Flushes the stream, then sets its translation mode; returns the previous
// mode, or -1 when the runtime rejects the file.
int setFileMode(std::FILE* stream, int mode);

// Whether the next read would find the end of the file; the stream's
// position is kept.
bool atEndOfFile(std::FILE* stream);
