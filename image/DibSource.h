#pragma once

#include <cstddef>
#include <vector>

// The size of a BITMAPINFOHEADER, the part of every info header we read.
constexpr std::size_t kInfoHeaderSize = 40;

// Bytes per row of a 24-bit device-independent bitmap: 3 x width rounded up
// to a multiple of 4. -1 when width is not positive or the row would not fit
// in an int.
int dibStride(int width);

// Fills a 24-bit picture (row 0 at the bottom, blue, green, red, rows of
// stride bytes) of width x height from palette-indexed rows of 1, 4 or 8 bits.
// Source rows are padded to 4 bytes and stored bottom-up, or top-down when
// topDown is set. The palette has colourCount entries of 4 bytes (blue,
// green, red, reserved); an index past its end reads as black.
void expandIndexed(int bitCount, const unsigned char* palette, int colourCount, const unsigned char* source,
                   bool topDown, unsigned char* bits, int width, int height, int stride);

// An uncompressed device-independent bitmap of 1, 4, 8 or 24 bits per pixel,
// checked and taken apart: its size, its palette and its stored rows, ready
// to be expanded into a 24-bit picture. Builds without the Windows headers,
// so the BMP and clipboard readers can be tested and fuzzed anywhere.
class DibSource {
public:
    int width = 0;
    int height = 0;                     // rows; positive even for a top-down bitmap
    int bitCount = 0;                   // 1, 4, 8 or 24
    bool topDown = false;               // the first stored row is the top of the picture
    int colourCount = 0;                // palette entries; 0 for 24 bits
    std::vector<unsigned char> palette; // colourCount x 4 bytes
    int rowSize = 0;                    // bytes per stored row, a multiple of 4
    std::vector<unsigned char> rows;    // height x rowSize bytes

    // Reads the info header at the start of block and the palette that
    // follows it, after as many bytes as the header says it has. Returns the
    // offset just past the palette, or 0 when the header is shorter than 40
    // bytes, the block too short, the bitmap compressed, of another bit
    // count, empty, or its 24-bit picture larger than an int can count.
    // rows is left empty.
    std::size_t readHeader(const unsigned char* block, std::size_t length);

    // Reads a packed DIB as the clipboard holds it (CF_DIB): the info header,
    // the colour table, then the rows. False when any part is missing from
    // the block or is refused as above.
    bool readPacked(const unsigned char* block, std::size_t length);

    // Writes the picture upright into a 24-bit block of width x height with
    // rows of stride bytes (at least dibStride(width)), row 0 at the bottom.
    void expandInto(unsigned char* bits, int stride) const;
};
