#pragma once

#include <cstdio>

class DibSource;

// Windows BMP files on streams that the caller opens (binary mode) and closes.

// Size of the file header in front of the info header.
constexpr int kBmpFileHeaderSize = 14;

// Reads an uncompressed 1-, 4-, 8- or 24-bit BMP file from its start: the
// file header, the info header with the palette after it, then the rows
// from the data offset. Top-down files are read too. False for anything
// else, for a file shorter than its headers say, and for a picture whose
// 24-bit block would not fit in an int; the stream is then left where
// reading stopped and source holds nothing of use.
bool readBmpFile(std::FILE* stream, DibSource& source);

// Writes a 24-bit bottom-up picture (rows of stride = dibStride(width)
// bytes) as an uncompressed BMP file: a 14-byte file header whose size field
// is 0, a 40-byte info header, then the pixel block. False for a picture
// without pixels or a bad stride, and when a write fails.
bool writeBmpFile(std::FILE* stream, const unsigned char* bits, int width, int height, int stride);
