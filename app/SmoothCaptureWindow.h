#pragma once

#include "app/ViewerWindow.h"

class DibImage;

// The viewer's window, whose capture can smooth the edges on any OpenGL 1.1
// driver: the frame is drawn once per sample with the projection shifted by
// a fraction of a pixel, and the frames are averaged.
class SmoothCaptureWindow : public ViewerWindow {
public:
    // The frames averaged into a picture; 1 is the viewer's own picture.
    int samples = 1;

    // Creates the window's rendering context and sets its one-time state, as
    // setUpContext does; for more than one sample without multisampling.
    // NOTE: Mesa's llvmpipe reads a multisampled buffer back one sample a
    // pixel, coloured as at the pixel's centre: at an outline that colour is
    // extrapolated, and the average of such frames stays off.
    void setUpSmoothContext();

    // The picture of the current view as a new 24-bit image, averaged from
    // samples frames (at most 256): in the accumulation buffer when the pixel
    // format has one with at least 16 bits a colour that averages plainly,
    // otherwise from the frames read back. One sample is captureImage's
    // picture. Null when there is nothing to capture or no memory for the
    // sums.
    DibImage* captureSmoothImage();

private:
    // drawMesh with the projection moved by the current offset.
    void drawShiftedMesh();

    double shiftX = 0.0; // in normalised device coordinates
    double shiftY = 0.0;
};
