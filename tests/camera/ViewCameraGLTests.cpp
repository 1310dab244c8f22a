// The camera's OpenGL side in a real rendering context: the matrices it
// leaves are read back and compared with gluPerspective and gluLookAt
// worked out here from their definitions.

#include "camera/ViewCamera.h"

#include "../support/GLTestWindow.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>

namespace {

const double kPi = 3.141592653589793;

// Column-major, as OpenGL stores it.
struct Mat4 {
    double m[16];
};

struct P3 {
    double x, y, z;
};

P3 sub(P3 a, P3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double dot(P3 a, P3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
P3 crossP(P3 a, P3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
P3 unit(P3 a)
{
    const double l = std::sqrt(dot(a, a));
    return {a.x / l, a.y / l, a.z / l};
}

Mat4 perspective(double fovy, double aspect, double zNear, double zFar)
{
    const double f = 1.0 / std::tan(fovy * kPi / 360.0);
    Mat4 p = {};
    p.m[0] = f / aspect;
    p.m[5] = f;
    p.m[10] = (zFar + zNear) / (zNear - zFar);
    p.m[11] = -1.0;
    p.m[14] = 2.0 * zFar * zNear / (zNear - zFar);
    return p;
}

Mat4 lookAt(P3 eye, P3 center, P3 up)
{
    const P3 f = unit(sub(center, eye));
    const P3 s = unit(crossP(f, up));
    const P3 u = crossP(s, f);
    Mat4 l = {};
    l.m[0] = s.x, l.m[4] = s.y, l.m[8] = s.z;
    l.m[1] = u.x, l.m[5] = u.y, l.m[9] = u.z;
    l.m[2] = -f.x, l.m[6] = -f.y, l.m[10] = -f.z;
    l.m[12] = -dot(s, eye);
    l.m[13] = -dot(u, eye);
    l.m[14] = dot(f, eye);
    l.m[15] = 1.0;
    return l;
}

Mat4 product(const Mat4& a, const Mat4& b)
{
    Mat4 p = {};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            for (int k = 0; k < 4; ++k)
                p.m[col * 4 + row] += a.m[k * 4 + row] * b.m[col * 4 + k];
        }
    }
    return p;
}

Mat4 current(GLenum which)
{
    Mat4 r;
    glGetDoublev(which, r.m);
    return r;
}

// OpenGL keeps its matrices in single precision.
::testing::AssertionResult matNear(const Mat4& want, const Mat4& got)
{
    for (int i = 0; i < 16; ++i) {
        const double tolerance = 1e-5 * std::fmax(1.0, std::fabs(want.m[i]));
        if (!(std::fabs(want.m[i] - got.m[i]) <= tolerance)) {
            auto failure = ::testing::AssertionFailure();
            failure << "element " << i << " (column " << i / 4 << ", row " << i % 4 << "): want " << want.m[i]
                    << ", got " << got.m[i] << "\nwant:";
            for (double v : want.m)
                failure << ' ' << v;
            failure << "\ngot: ";
            for (double v : got.m)
                failure << ' ' << v;
            return failure;
        }
    }
    return ::testing::AssertionSuccess();
}

GLint matrixMode()
{
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    return mode;
}

class ViewCameraGL : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gl.ok()) << gl.error();
        loadIdentities();
    }

    // What the renderer does before asking the camera.
    static void loadIdentities()
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    GLTestWindow gl{64, 48};
    ViewCamera camera;
};

} // namespace

TEST_F(ViewCameraGL, NewCameraLooksFromTheStartPosition)
{
    camera.applyProjection();
    EXPECT_TRUE(matNear(perspective(34.71, 640.0 / 480.0, 0.001, 1000.0), current(GL_PROJECTION_MATRIX)));
    EXPECT_TRUE(matNear(lookAt({0, 0, 4}, {0, 0, 3}, {0, 1, 0}), current(GL_MODELVIEW_MATRIX)));
    EXPECT_EQ(GL_MODELVIEW, matrixMode());
}

TEST_F(ViewCameraGL, TurnedCameraUsesItsLensViewportAndFrame)
{
    camera.setViewport(300, 100);
    camera.fieldOfView = 50;
    camera.nearPlane = 0.5;
    camera.farPlane = 20;
    camera.angles = {30, 20, 0};
    camera.target = {0.5, -0.25, 1};
    camera.scale = 1.5;
    camera.applyProjection();

    const double t = 30 * kPi / 180, p = 20 * kPi / 180;
    const double ct = std::cos(t), st = std::sin(t), cp = std::cos(p), sp = std::sin(p);
    const P3 eye{0.5 + 6 * st * cp, -0.25 - 6 * sp, 1 + 6 * ct * cp};
    const P3 center{eye.x - st * cp, eye.y + sp, eye.z - ct * cp};
    EXPECT_TRUE(matNear(perspective(50, 3, 0.5, 20), current(GL_PROJECTION_MATRIX)));
    EXPECT_TRUE(matNear(lookAt(eye, center, {st * sp, cp, ct * sp}), current(GL_MODELVIEW_MATRIX)));
    EXPECT_EQ(GL_MODELVIEW, matrixMode());
}

TEST_F(ViewCameraGL, StereoEyesAreShiftedAlongSideAndConverge)
{
    const double focus = 4 - std::sqrt(16.0225);
    const struct {
        bool rightEye;
        double x;
    } eyes[] = {{false, -0.15}, {true, 0.15}};
    for (const auto& e : eyes) {
        SCOPED_TRACE(e.rightEye ? "right eye" : "left eye");
        loadIdentities();
        camera.applyStereoProjection(e.rightEye, 300 * 0.0005);
        EXPECT_TRUE(matNear(perspective(34.71, 640.0 / 480.0, 0.001, 1000.0), current(GL_PROJECTION_MATRIX)));
        EXPECT_TRUE(matNear(lookAt({e.x, 0, 4}, {0, 0, focus}, {0, 1, 0}), current(GL_MODELVIEW_MATRIX)));
        EXPECT_EQ(GL_MODELVIEW, matrixMode());
    }

    // Turned a quarter and tilted by 10 degrees: side is (0, 0, -1).
    camera.angles = {90, 10, 0};
    loadIdentities();
    camera.applyStereoProjection(true, 0.2);
    const double sp = std::sin(10 * kPi / 180), cp = std::cos(10 * kPi / 180);
    const P3 eye{4 * cp, -4 * sp, 0};
    const P3 shifted{eye.x, eye.y, -0.2};
    const double l = std::sqrt(dot(shifted, shifted));
    const P3 center{eye.x - l * cp, eye.y + l * sp, 0};
    EXPECT_TRUE(matNear(lookAt(shifted, center, {sp, cp, 0}), current(GL_MODELVIEW_MATRIX)));
}

TEST_F(ViewCameraGL, ProjectionMultipliesOntoTheCurrentMatrices)
{
    Mat4 scaled = {}, moved = {};
    scaled.m[0] = 2, scaled.m[5] = 3, scaled.m[10] = 1, scaled.m[15] = 1;
    moved.m[0] = moved.m[5] = moved.m[10] = moved.m[15] = 1;
    moved.m[12] = 1, moved.m[13] = 2, moved.m[14] = 3;

    for (bool stereo : {false, true}) {
        SCOPED_TRACE(stereo ? "stereo" : "plain");
        loadIdentities();
        glMatrixMode(GL_PROJECTION);
        glScaled(2, 3, 1);
        glMatrixMode(GL_MODELVIEW);
        glTranslated(1, 2, 3);

        // Offset 0: the stereo eye is the plain eye, aiming at the target.
        if (stereo)
            camera.applyStereoProjection(false, 0.0);
        else
            camera.applyProjection();
        EXPECT_TRUE(
            matNear(product(scaled, perspective(34.71, 640.0 / 480.0, 0.001, 1000.0)), current(GL_PROJECTION_MATRIX)));
        EXPECT_TRUE(matNear(product(moved, lookAt({0, 0, 4}, {0, 0, 0}, {0, 1, 0})), current(GL_MODELVIEW_MATRIX)));
    }
}

TEST_F(ViewCameraGL, ViewportReachesOpenGLAndAnEmptyOneGetsASquareAspect)
{
    // The first row is an ordinary window, for comparison.
    const int sizes[][3] = {{200, 100, 2}, {0, 0, 1}, {300, 0, 1}, {0, 300, 1}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << " by " << size[1]);
        loadIdentities();
        camera.setViewport(size[0], size[1]);
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(0, viewport[0]);
        EXPECT_EQ(0, viewport[1]);
        EXPECT_EQ(size[0], viewport[2]);
        EXPECT_EQ(size[1], viewport[3]);
        EXPECT_EQ(size[0], camera.viewportWidth);
        EXPECT_EQ(size[1], camera.viewportHeight);

        camera.applyProjection();
        EXPECT_TRUE(matNear(perspective(34.71, size[2], 0.001, 1000.0), current(GL_PROJECTION_MATRIX)));
        EXPECT_TRUE(matNear(lookAt({0, 0, 4}, {0, 0, 3}, {0, 1, 0}), current(GL_MODELVIEW_MATRIX)));
    }
}
