// The jittered capture: one frame a sample, each shifted by a fraction of a
// pixel, averaged into the picture.

#include "app/SmoothCaptureWindow.h"

#include "gl/GLErrors.h"
#include "image/DibImage.h"
#include "mesh/Mesh.h"

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace {

// The radical inverse of index in base: 0.1, 0.01 ... read backwards.
double radicalInverse(int index, int base)
{
    double result = 0.0;
    double digit = 1.0 / base;
    for (; index > 0; index /= base, digit /= base)
        result += (index % base) * digit;
    return result;
}

// An accumulation buffer fine enough to hold the sum of the frames, and one
// that averages as the frames read back would be: two colours summed in it
// with weight 1/2 come back as their mean. Leaves the colour buffer cleared.
// NOTE: Mesa, under Wine, converts from sRGB to linear light on the way into
// the accumulation buffer and back on the way out, for formats that Wine
// offers as plain RGBA; the mean then comes out lighter.
bool accumulationAverages()
{
    GLint bits[3] = {0, 0, 0};
    glGetIntegerv(GL_ACCUM_RED_BITS, &bits[0]);
    glGetIntegerv(GL_ACCUM_GREEN_BITS, &bits[1]);
    glGetIntegerv(GL_ACCUM_BLUE_BITS, &bits[2]);
    if (bits[0] < 16 || bits[1] < 16 || bits[2] < 16)
        return false;
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0.8f, 0.2f, 0.4f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glAccum(GL_LOAD, 0.5f);
    glClearColor(0.2f, 0.6f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glAccum(GL_ACCUM, 0.5f);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glAccum(GL_RETURN, 1.0f);
    unsigned char pixel[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    const auto about = [](int value, int expected) { return value >= expected - 2 && value <= expected + 2; };
    return about(pixel[0], 128) && about(pixel[1], 102) && about(pixel[2], 51);
}

// Sub-pixel offsets of the projection for a picture of samples frames, as
// (x, y) pairs in pixels: a Halton (2, 3) sequence moved so that the offsets
// average to 0, each within about half a pixel of the pixel's centre.
std::vector<double> jitterOffsets(int samples)
{
    std::vector<double> offsets;
    double meanX = 0.0;
    double meanY = 0.0;
    for (int i = 1; i <= samples; ++i) {
        offsets.push_back(radicalInverse(i, 2) - 0.5);
        offsets.push_back(radicalInverse(i, 3) - 0.5);
        meanX += offsets[offsets.size() - 2] / samples;
        meanY += offsets.back() / samples;
    }
    for (std::size_t i = 0; i < offsets.size(); i += 2) {
        offsets[i] -= meanX;
        offsets[i + 1] -= meanY;
    }
    return offsets;
}

} // namespace

void SmoothCaptureWindow::drawShiftedMesh()
{
    // A translation applied after the projection moves the picture on the
    // screen without changing the view: pre-multiplied onto the projection
    // matrix that the camera has just set.
    GLdouble projection[16];
    glMatrixMode(GL_PROJECTION);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glLoadIdentity();
    glTranslated(shiftX, shiftY, 0.0);
    glMultMatrixd(projection);
    glMatrixMode(GL_MODELVIEW);
    drawMesh();
}

void SmoothCaptureWindow::setUpSmoothContext()
{
    if (samples <= 1) {
        setUpContext();
        return;
    }
    context.create(hwnd, false, 0);
    context.makeCurrent(nullptr);
    initGLState();
    context.releaseCurrent();
}

DibImage* SmoothCaptureWindow::captureSmoothImage()
{
    if (samples <= 1)
        return captureImage();
    std::unique_ptr<DibImage> image(newCaptureImage());
    if (!image)
        return nullptr;
    const int width = image->width;
    const int height = image->height;
    const std::size_t bytes = static_cast<std::size_t>(image->stride) * height;

    context.makeCurrent(nullptr);
    takeGLErrors();
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    // Recorded once instead of sending the triangles in every frame.
    if (mesh)
        meshLists.prepare(*mesh);
    const bool accumulate = accumulationAverages();
    // At most 256 frames of 8-bit values: the sums fit 16 bits.
    std::unique_ptr<std::uint16_t[]> sums;
    if (accumulate) {
        glClearAccum(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_ACCUM_BUFFER_BIT);
    } else {
        sums.reset(samples <= 256 ? new (std::nothrow) std::uint16_t[bytes]() : nullptr);
        if (!sums) {
            context.releaseCurrent();
            return nullptr;
        }
    }

    const std::vector<double> offsets = jitterOffsets(samples);
    const MeshPainter shifted = static_cast<MeshPainter>(&SmoothCaptureWindow::drawShiftedMesh);
    bool failed = false;
    for (int i = 0; i < samples; ++i) {
        // One pixel is 2 / width of the device coordinates' range.
        shiftX = 2.0 * offsets[2 * i] / width;
        shiftY = 2.0 * offsets[2 * i + 1] / height;
        renderFrame(shifted);
        // As in the one-frame capture, only the read-back and the sums count.
        takeGLErrors();
        if (accumulate) {
            glAccum(GL_ACCUM, 1.0f / samples);
        } else {
            readBackBuffer(*image);
            for (std::size_t k = 0; k < bytes; ++k)
                sums[k] = static_cast<std::uint16_t>(sums[k] + image->bits[k]);
        }
        failed = takeGLErrors() || failed;
    }
    if (accumulate) {
        // The anaglyph leaves only green and blue writable.
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glAccum(GL_RETURN, 1.0f);
        readBackBuffer(*image);
    } else {
        const unsigned half = static_cast<unsigned>(samples) / 2;
        for (std::size_t k = 0; k < bytes; ++k)
            image->bits[k] = static_cast<unsigned char>((sums[k] + half) / static_cast<unsigned>(samples));
    }
    const bool read = !takeGLErrors() && !failed;
    context.releaseCurrent();
    return read ? image.release() : nullptr;
}
