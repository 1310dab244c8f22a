#pragma once

// A true-colour Truevision TGA texture: uncompressed (type 2) and run-length
// encoded (type 10) files of 24 or 32 bits per pixel.
//
// After a load the pixels are tightly packed, row 0 is the bottom row of the
// picture, pixels run left to right and each is blue, green, red (, alpha),
// the file's own byte order, ready for GL_BGR_EXT / GL_BGRA_EXT uploads.
class TgaImage {
public:
    unsigned char* pixels; // width * height * bytesPerPixel bytes (new[]); null when empty
    int bytesPerPixel;     // 3 or 4; 3 when empty
    int width;
    int height;
    bool hasAlpha; // the file had 32 bits per pixel

    TgaImage();
    virtual ~TgaImage();

    TgaImage(const TgaImage&) = delete;
    TgaImage& operator=(const TgaImage&) = delete;

    // Replaces the image with the file's picture. On failure (unreadable,
    // unsupported, malformed, empty, larger than the rest of the file can
    // fill, or beyond memory) the image is left as it was.
    bool load(const char* path);

    // Writes an uncompressed, bottom-up TGA file. False for an empty image
    // or when the file cannot be written.
    bool save(const char* path) const;
};
