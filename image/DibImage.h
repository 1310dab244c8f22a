#pragma once

#include <windows.h>

#include <cstdio>

// A 24-bit picture in a GDI DIB section: row 0 is the bottom row, pixels are
// blue, green, red, rows are padded to stride bytes. header comes first so
// that the object serves as the BITMAPINFO (no colour table) for GDI calls
// and as the first 40 bytes of clipboard and file images.
class DibImage {
public:
    BITMAPINFOHEADER header;
    HBITMAP bitmap;      // owned; null when empty
    unsigned char* bits; // the section's pixels; null when empty
    int width;
    int height;
    int stride; // 3 x width rounded up to a multiple of 4

    DibImage();
    DibImage(int width, int height);
    ~DibImage();

    DibImage(const DibImage&) = delete;
    DibImage& operator=(const DibImage&) = delete;

    // Replaces the picture with a new section of the given size (contents
    // zero). False, leaving the image empty, when the size is not positive,
    // its pixel block would not fit in an int, or GDI refuses.
    bool create(int width, int height);
    void updateGeometry();
    void clear();

    // Stretches the whole picture to the destination rectangle.
    void draw(HDC dc, int x, int y, int destinationWidth, int destinationHeight, int sourceX, int sourceY) const;

    // Puts the picture on the clipboard as one packed 24-bit CF_DIB, with
    // owner (a window of this thread) as the clipboard's owner. Without an
    // owner nothing is copied and the result is false: after EmptyClipboard
    // with no owner, Windows lets SetClipboardData fail.
    bool copyToClipboard(HWND owner) const;
    // Replaces the picture with the clipboard's CF_DIB, uncompressed 1, 4, 8
    // or 24 bits per pixel. The image is unchanged when the clipboard holds
    // nothing usable.
    bool pasteFromClipboard(HWND owner);

    // Fill the created picture from bottom-up index rows padded to 4 bytes;
    // the palette has colourCount 4-byte entries, and indices past it read as
    // black.
    void expandIndexed8(const unsigned char* palette, int colourCount, const unsigned char* source);
    void expandIndexed4(const unsigned char* palette, int colourCount, const unsigned char* source);
    void expandIndexed1(const unsigned char* palette, int colourCount, const unsigned char* source);

    // Writes the picture as an uncompressed 24-bit BMP file. False for an
    // empty image or when a write fails.
    bool writeBmp(std::FILE* stream) const;
    // Replaces the picture with an uncompressed 1-, 4-, 8- or 24-bit BMP
    // file read from the stream's position. On a refused or short file the
    // image is unchanged; when the section cannot be made it is left empty.
    bool readBmp(std::FILE* stream);
};

// Hands memory (from GlobalAlloc, GMEM_MOVEABLE) to the clipboard as format,
// with owner as the clipboard's owner; from then on the clipboard owns it.
// False, the memory freed, when the clipboard cannot be opened (another
// program holds it open for longer than about 200 ms) or refuses it.
bool giveToClipboard(HWND owner, UINT format, HGLOBAL memory);
