#pragma once

#include "app/ViewerWindow.h"

#include <vector>

class DibImage;

// Sub-pixel offsets of the projection for a picture of samples frames, as
// (x, y) pairs in pixels: a Halton (2, 3) sequence moved so that the offsets
// average to 0, each within about half a pixel of the pixel's centre. The
// same offsets every time.
std::vector<double> jitterOffsets(int samples);

// The viewer's window, whose capture can smooth the edges on any OpenGL 1.1
// driver: the frame is drawn once per sample with the projection shifted by
// a fraction of a pixel, and the frames are averaged.
class SmoothCaptureWindow : public ViewerWindow {
public:
    // The picture of the current view as a new 24-bit image, averaged from
    // samples frames: in the accumulation buffer when the pixel format has
    // one with at least 16 bits a colour, otherwise from the frames read
    // back. One sample is captureImage's picture. Null when there is nothing
    // to capture or no memory for the sums.
    DibImage* captureSmoothImage(int samples);

private:
    // drawMesh with the projection moved by the current offset.
    void drawShiftedMesh();

    double shiftX = 0.0; // in normalised device coordinates
    double shiftY = 0.0;
};
