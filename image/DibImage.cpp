#include "image/DibImage.h"

#include "image/BmpFile.h"
#include "image/DibSource.h"

#include <climits>
#include <cstring>

DibImage::DibImage() : header(), bitmap(nullptr), bits(nullptr), width(0), height(0), stride(0)
{
}

DibImage::DibImage(int width, int height) : DibImage()
{
    create(width, height);
}

DibImage::~DibImage()
{
    if (bitmap)
        DeleteObject(bitmap);
}

bool DibImage::create(int newWidth, int newHeight)
{
    clear();
    header = BITMAPINFOHEADER();
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = newWidth;
    header.biHeight = newHeight;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;

    // Copies and file writes count the block in ints; refuse what they cannot.
    const int rowBytes = dibStride(newWidth);
    if (rowBytes < 0 || newHeight <= 0 || newHeight > INT_MAX / rowBytes)
        return false;
    void* memory = nullptr;
    bitmap =
        CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS, &memory, nullptr, 0);
    if (bitmap && !memory) {
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
    bits = static_cast<unsigned char*>(memory);
    updateGeometry();
    return bitmap != nullptr;
}

void DibImage::updateGeometry()
{
    if (!bitmap) {
        bits = nullptr;
        width = height = stride = 0;
        return;
    }
    width = header.biWidth;
    height = header.biHeight;
    stride = dibStride(width);
}

void DibImage::clear()
{
    if (bitmap)
        DeleteObject(bitmap);
    bitmap = nullptr;
    updateGeometry();
}

void DibImage::draw(HDC dc, int x, int y, int destinationWidth, int destinationHeight, int sourceX, int sourceY) const
{
    if (!bits)
        return;
    StretchDIBits(dc, x, y, destinationWidth, destinationHeight, sourceX, sourceY, header.biWidth, header.biHeight,
                  bits, reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS, SRCCOPY);
}

bool DibImage::copyToClipboard(HWND owner) const
{
    if (!bitmap || !owner)
        return false;
    const SIZE_T pixelBytes = static_cast<SIZE_T>(height) * static_cast<SIZE_T>(stride);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof header + pixelBytes);
    if (!memory)
        return false;
    auto* block = static_cast<unsigned char*>(GlobalLock(memory));
    if (!block) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(block, &header, sizeof header);
    std::memcpy(block + sizeof header, bits, pixelBytes);
    GlobalUnlock(memory);
    return giveToClipboard(owner, CF_DIB, memory);
}

namespace {

// Another program (a clipboard manager, a remote desktop client) may hold
// the clipboard open for a moment. It is asked again for a short while;
// nothing is pumped meanwhile, so no message of ours runs in between.
bool openClipboardWhenFree(HWND owner)
{
    constexpr int kAttempts = 10;
    constexpr DWORD kPauseMs = 20;
    for (int attempt = 1;; ++attempt) {
        if (OpenClipboard(owner))
            return true;
        if (attempt == kAttempts)
            return false;
        Sleep(kPauseMs);
    }
}

} // namespace

bool giveToClipboard(HWND owner, UINT format, HGLOBAL memory)
{
    if (!openClipboardWhenFree(owner)) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    const bool placed = SetClipboardData(format, memory) != nullptr;
    CloseClipboard();
    // The clipboard owns the memory only once it has taken it.
    if (!placed)
        GlobalFree(memory);
    return placed;
}

bool DibImage::pasteFromClipboard(HWND owner)
{
    if (!OpenClipboard(owner))
        return false;
    DibSource source;
    bool ok = false;
    HANDLE data = GetClipboardData(CF_DIB);
    if (data) {
        const auto* block = static_cast<const unsigned char*>(GlobalLock(data));
        if (block) {
            // The block is trusted no further than its allocation reaches.
            ok = source.readPacked(block, GlobalSize(data));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    if (!ok || !create(source.width, source.height))
        return false;
    source.expandInto(bits, stride);
    return true;
}

void DibImage::expandIndexed8(const unsigned char* palette, int colourCount, const unsigned char* source)
{
    if (bits)
        expandIndexed(8, palette, colourCount, source, false, bits, width, height, stride);
}

void DibImage::expandIndexed4(const unsigned char* palette, int colourCount, const unsigned char* source)
{
    if (bits)
        expandIndexed(4, palette, colourCount, source, false, bits, width, height, stride);
}

void DibImage::expandIndexed1(const unsigned char* palette, int colourCount, const unsigned char* source)
{
    if (bits)
        expandIndexed(1, palette, colourCount, source, false, bits, width, height, stride);
}

bool DibImage::writeBmp(std::FILE* stream) const
{
    return writeBmpFile(stream, bits, width, height, stride);
}

bool DibImage::readBmp(std::FILE* stream)
{
    DibSource source;
    if (!readBmpFile(stream, source) || !create(source.width, source.height))
        return false;
    source.expandInto(bits, stride);
    return true;
}
