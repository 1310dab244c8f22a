#include "camera/ViewCamera.h"

#include "VecAssertions.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

const double kPi = 3.141592653589793;

// What the viewer does with one wheel message.
void wheel(ViewCamera& camera, int delta)
{
    camera.beginDrag(0, 0, Scale);
    camera.drag(0, -delta);
    camera.endDrag();
}

// A camera with its frame computed, as after the first picture.
ViewCamera updatedCamera()
{
    ViewCamera camera;
    camera.update();
    return camera;
}

Vec3 plus(const Vec3& a, const Vec3& b)
{
    return Vec3{a.x + b.x, a.y + b.y, a.z + b.z};
}

Vec3 times(double k, const Vec3& v)
{
    return Vec3{k * v.x, k * v.y, k * v.z};
}

} // namespace

// --- The frame ----------------------------------------------------------------

TEST(ViewCameraFrame, RestViewLooksDownMinusZFromFourUnits)
{
    const ViewCamera camera = updatedCamera();
    EXPECT_TRUE(vecNear(Vec3{0, 0, 4}, camera.eye));
    EXPECT_TRUE(vecNear(Vec3{0, 0, -1}, camera.direction));
    EXPECT_TRUE(vecNear(Vec3{0, 1, 0}, camera.up));
    EXPECT_TRUE(vecNear(Vec3{1, 0, 0}, camera.side));
}

TEST(ViewCameraFrame, MatchesTheClosedFormForAnyAngles)
{
    // turn, tilt in degrees; the target is off the origin and the scale is
    // not 1 so that neither can be forgotten.
    const double cases[][2] = {{30, 20}, {90, 0}, {0, 90}, {180, 45}, {250, 300}, {359, 1}, {-10, -370}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "turn " << c[0] << ", tilt " << c[1]);
        ViewCamera camera;
        camera.angles = Vec3{c[0], c[1], 77}; // z takes no part
        camera.target = Vec3{0.5, -1.25, 2};
        camera.scale = 2.5;
        camera.update();

        const double t = c[0] * kPi / 180, p = c[1] * kPi / 180;
        const double ct = std::cos(t), st = std::sin(t), cp = std::cos(p), sp = std::sin(p);
        const double tol = 1e-12;
        EXPECT_TRUE(vecNear(Vec3{ct, 0, -st}, camera.side, tol));
        EXPECT_TRUE(vecNear(Vec3{st * sp, cp, ct * sp}, camera.up, tol));
        EXPECT_TRUE(vecNear(plus(camera.target, times(4 * 2.5, Vec3{st * cp, -sp, ct * cp})), camera.eye, tol));
        EXPECT_TRUE(vecNear(Vec3{-st * cp, sp, -ct * cp}, camera.direction, tol));

        // A right-handed orthonormal frame: side x up = -direction.
        EXPECT_NEAR(1.0, length(camera.side), tol);
        EXPECT_NEAR(1.0, length(camera.up), tol);
        EXPECT_NEAR(1.0, length(camera.direction), tol);
        EXPECT_TRUE(vecNear(times(-1, camera.direction), cross(camera.side, camera.up), tol));
    }
}

TEST(ViewCameraFrame, ResetRestoresTheStartViewButLeavesTheRestAlone)
{
    ViewCamera camera;
    camera.angles = Vec3{30, 40, 0};
    camera.target = Vec3{1, 2, 3};
    camera.scale = 3;
    camera.viewportWidth = 100;
    camera.fieldOfView = 50;
    camera.update();
    const Vec3 eye = camera.eye;
    camera.beginDrag(7, 8, Translate);

    camera.reset();
    EXPECT_TRUE(vecNear(Vec3{}, camera.angles, 0.0));
    EXPECT_TRUE(vecNear(Vec3{}, camera.target, 0.0));
    EXPECT_EQ(1.0, camera.scale);
    EXPECT_TRUE(vecNear(eye, camera.eye, 0.0)); // no update yet
    EXPECT_EQ(Translate, camera.mode);
    EXPECT_EQ(7, camera.lastX);
    EXPECT_EQ(100.0, camera.viewportWidth);
    EXPECT_EQ(50.0, camera.fieldOfView);

    camera.update();
    EXPECT_TRUE(vecNear(Vec3{0, 0, 4}, camera.eye));
}

// --- Drag state -------------------------------------------------------------

TEST(ViewCameraDrag, DragWithoutBeginDragChangesNothing)
{
    ViewCamera camera;
    EXPECT_FALSE(camera.drag(50, 60));
    EXPECT_EQ(0, camera.lastX);
    EXPECT_EQ(0, camera.lastY);
    EXPECT_TRUE(vecNear(Vec3{}, camera.angles, 0.0));
    EXPECT_TRUE(vecNear(Vec3{}, camera.eye, 0.0)); // not even an update
}

TEST(ViewCameraDrag, DragAfterEndDragChangesNothing)
{
    ViewCamera camera;
    camera.beginDrag(10, 10, Rotate);
    ASSERT_TRUE(camera.drag(20, 10));
    camera.endDrag();
    EXPECT_EQ(None, camera.mode);
    const ViewCamera before = camera;

    EXPECT_FALSE(camera.drag(80, 90));
    EXPECT_EQ(20, camera.lastX);
    EXPECT_EQ(10, camera.lastY);
    EXPECT_TRUE(vecNear(before.angles, camera.angles, 0.0));
    EXPECT_TRUE(vecNear(before.eye, camera.eye, 0.0));
}

TEST(ViewCameraDrag, BeginDragOnlyRemembersEndDragUpdates)
{
    ViewCamera camera;
    camera.beginDrag(5, 6, Scale);
    EXPECT_EQ(Scale, camera.mode);
    EXPECT_TRUE(vecNear(Vec3{}, camera.eye, 0.0));

    // A second beginDrag replaces both the mode and the starting point.
    camera.beginDrag(100, 100, Rotate);
    EXPECT_TRUE(camera.drag(110, 100));
    EXPECT_TRUE(vecNear(Vec3{10, 0, 0}, camera.angles, 0.0));

    ViewCamera idle;
    idle.beginDrag(1, 1, Rotate);
    idle.endDrag();
    EXPECT_TRUE(vecNear(Vec3{0, 0, 4}, idle.eye));
}

TEST(ViewCameraDrag, StepWithoutMovementStillSucceedsAndUpdates)
{
    for (DragMode m : {Rotate, Translate, Scale}) {
        ViewCamera camera;
        camera.beginDrag(3, 4, m);
        EXPECT_TRUE(camera.drag(3, 4)) << "mode " << m;
        EXPECT_TRUE(vecNear(Vec3{0, 0, 4}, camera.eye)) << "mode " << m;
        EXPECT_EQ(1.0, camera.scale);
    }
}

TEST(ViewCameraDrag, ResetDuringRotateDragKeepsDragging)
{
    ViewCamera camera;
    camera.beginDrag(0, 0, Rotate);
    camera.drag(50, 20);
    camera.reset();
    EXPECT_TRUE(camera.drag(60, 25));
    EXPECT_TRUE(vecNear(Vec3{10, 5, 0}, camera.angles, 0.0));
}

TEST(ViewCameraDrag, WheelInTheMiddleOfADragEndsIt)
{
    ViewCamera camera;
    camera.beginDrag(0, 0, Rotate);
    camera.drag(10, 0);
    wheel(camera, 120);
    EXPECT_FALSE(camera.drag(50, 50));
    EXPECT_TRUE(vecNear(Vec3{10, 0, 0}, camera.angles, 0.0));
}

// --- Rotate -------------------------------------------------------------------

TEST(ViewCameraRotate, OneDegreePerPixelFoldedIntoAFullTurn)
{
    ViewCamera camera;
    camera.beginDrag(100, 100, Rotate);
    EXPECT_TRUE(camera.drag(130, 90));
    EXPECT_TRUE(vecNear(Vec3{30, 350, 0}, camera.angles, 0.0));
    EXPECT_EQ(130, camera.lastX);
    EXPECT_EQ(90, camera.lastY);

    // The step updated the frame: turned 30 degrees, tilted -10.
    const double t = 30 * kPi / 180, p = -10 * kPi / 180;
    EXPECT_TRUE(vecNear(Vec3{4 * std::sin(t) * std::cos(p), -4 * std::sin(p), 4 * std::cos(t) * std::cos(p)},
                        camera.eye, 1e-12));
}

TEST(ViewCameraRotate, FoldingOfLargeSteps)
{
    struct Step {
        int dx;
        double want;
    };
    // Each row: one step from angle 0.
    const Step steps[] = {
        {360, 0},
        {370, 10},
        {725, 5},
        {-1, 359},
        {-360, 0},
        // Below a full turn the remainder keeps its sign.
        {-400, -40},
        {-370, -10},
        {-1090, -10},
    };
    for (const Step& s : steps) {
        ViewCamera camera;
        camera.beginDrag(0, 0, Rotate);
        camera.drag(s.dx, s.dx);
        EXPECT_EQ(s.want, camera.angles.x) << "dx " << s.dx;
        EXPECT_EQ(s.want, camera.angles.y) << "dy " << s.dx;
        EXPECT_EQ(0.0, camera.angles.z);
    }
}

TEST(ViewCameraRotate, NegativeRemainderIsFoldedByTheNextStep)
{
    ViewCamera camera;
    camera.beginDrag(0, 0, Rotate);
    camera.drag(-400, 0);
    ASSERT_EQ(-40.0, camera.angles.x);
    camera.drag(-400, 0); // a step of 0 pixels still folds
    EXPECT_EQ(320.0, camera.angles.x);
    camera.drag(-390, 0);
    EXPECT_EQ(330.0, camera.angles.x);
}

// --- Translate ----------------------------------------------------------------

TEST(ViewCameraTranslate, StepIsHalfAPercentOfTheScalePerPixel)
{
    ViewCamera camera = updatedCamera();
    camera.beginDrag(0, 0, Translate);
    camera.drag(10, 0);
    EXPECT_TRUE(vecNear(Vec3{-0.05, 0, 0}, camera.target, 1e-15));
    // The frame follows the target at once.
    EXPECT_TRUE(vecNear(Vec3{-0.05, 0, 4}, camera.eye, 1e-15));

    ViewCamera twice = updatedCamera();
    twice.scale = 2;
    twice.beginDrag(0, 0, Translate);
    twice.drag(10, 0);
    EXPECT_TRUE(vecNear(Vec3{-0.1, 0, 0}, twice.target, 1e-15));
}

TEST(ViewCameraTranslate, DownwardsMovesAlongUpAndFollowsTheTurnedFrame)
{
    ViewCamera down = updatedCamera();
    down.beginDrag(0, 0, Translate);
    down.drag(0, 20);
    EXPECT_TRUE(vecNear(Vec3{0, 0.1, 0}, down.target, 1e-15));

    // Turned a quarter to the right and tilted: side is (0, 0, -1), up is
    // (sin 30, cos 30, 0).
    ViewCamera turned;
    turned.angles = Vec3{90, 30, 0};
    turned.update();
    turned.beginDrag(0, 0, Translate);
    turned.drag(10, 10);
    EXPECT_TRUE(vecNear(Vec3{0.05 * 0.5, 0.05 * std::sqrt(3.0) / 2, 0.05}, turned.target, 1e-12));
}

TEST(ViewCameraTranslate, MovesNothingBeforeTheFirstUpdate)
{
    ViewCamera camera;
    camera.beginDrag(0, 0, Translate);
    EXPECT_TRUE(camera.drag(100, 100));
    EXPECT_TRUE(vecNear(Vec3{}, camera.target, 0.0));
}

// --- Scale and the wheel ------------------------------------------------------

TEST(ViewCameraScale, OnlyTheSignOfTheVerticalStepCounts)
{
    struct Step {
        int dx, dy;
        double factor;
    };
    const Step steps[] = {{0, -1, 0.9}, {0, -300, 0.9}, {0, 1, 1.1}, {0, 250, 1.1}, {500, 0, 1.0}, {-20, 5, 1.1}};
    for (const Step& s : steps) {
        ViewCamera camera;
        camera.scale = 2;
        camera.beginDrag(40, 40, Scale);
        EXPECT_TRUE(camera.drag(40 + s.dx, 40 + s.dy));
        EXPECT_DOUBLE_EQ(2 * s.factor, camera.scale) << "dx " << s.dx << ", dy " << s.dy;
        EXPECT_NEAR(4 * camera.scale, length(camera.eye), 1e-12);
    }
}

TEST(ViewCameraScale, WheelMessageIsOneStepWhateverItsDelta)
{
    const struct {
        int delta;
        double factor;
    } wheels[] = {{120, 0.9}, {-120, 1.1}, {240, 0.9}, {-360, 1.1}, {1, 0.9}, {0, 1.0}};
    for (const auto& w : wheels) {
        ViewCamera camera;
        wheel(camera, w.delta);
        EXPECT_DOUBLE_EQ(w.factor, camera.scale) << "delta " << w.delta;
        EXPECT_EQ(None, camera.mode);
        EXPECT_TRUE(vecNear(Vec3{0, 0, 4 * w.factor}, camera.eye, 1e-12)) << "delta " << w.delta;
    }
}

TEST(ViewCameraScale, ExtremeCoordinatesDoNotOverflowTheStep)
{
    // INT_MIN - INT_MAX wraps to +1 in int arithmetic.
    ViewCamera camera;
    camera.beginDrag(INT_MAX, INT_MAX, Scale);
    camera.drag(INT_MIN, INT_MIN);
    EXPECT_DOUBLE_EQ(0.9, camera.scale);
}

// --- Anaglyph eyes ------------------------------------------------------------

TEST(ViewCameraStereo, RestEyesStraddleTheAxisAndMeetBeyondTheTarget)
{
    const ViewCamera camera = updatedCamera();
    const Vec3 focus{0, 0, 4 - std::sqrt(16.0225)};
    Vec3 eye, center;

    camera.stereoEye(false, 0.15, eye, center);
    EXPECT_TRUE(vecNear(Vec3{-0.15, 0, 4}, eye));
    EXPECT_TRUE(vecNear(focus, center));
    EXPECT_NEAR(-0.0028, center.z, 0.0001);

    camera.stereoEye(true, 0.15, eye, center);
    EXPECT_TRUE(vecNear(Vec3{0.15, 0, 4}, eye));
    EXPECT_TRUE(vecNear(focus, center));
}

TEST(ViewCameraStereo, EyesMoveAlongTheTurnedSideVector)
{
    // Turned a quarter: the eye is at (4, 0, 0), side is (0, 0, -1).
    ViewCamera camera;
    camera.angles = Vec3{90, 0, 0};
    camera.update();
    const double l = std::sqrt(16.0225);
    Vec3 eye, center;

    camera.stereoEye(true, 0.15, eye, center);
    EXPECT_TRUE(vecNear(Vec3{4, 0, -0.15}, eye, 1e-12));
    EXPECT_TRUE(vecNear(Vec3{4 - l, 0, 0}, center, 1e-12));

    camera.stereoEye(false, 0.15, eye, center);
    EXPECT_TRUE(vecNear(Vec3{4, 0, 0.15}, eye, 1e-12));
    EXPECT_TRUE(vecNear(Vec3{4 - l, 0, 0}, center, 1e-12));
}

TEST(ViewCameraStereo, ConvergenceFollowsEachEyesDistanceFromTheOrigin)
{
    ViewCamera camera;
    camera.target = Vec3{1, 0, 0};
    camera.update();
    Vec3 eye, center;

    camera.stereoEye(false, 0.15, eye, center);
    EXPECT_TRUE(vecNear(Vec3{0.85, 0, 4}, eye));
    EXPECT_TRUE(vecNear(Vec3{1, 0, 4 - std::sqrt(0.85 * 0.85 + 16)}, center));

    camera.stereoEye(true, 0.15, eye, center);
    EXPECT_TRUE(vecNear(Vec3{1.15, 0, 4}, eye));
    EXPECT_TRUE(vecNear(Vec3{1, 0, 4 - std::sqrt(1.15 * 1.15 + 16)}, center));
}

// --- Viewport aspect ----------------------------------------------------------

TEST(ViewCameraAspect, EmptyViewportUsesASquareAspect)
{
    ViewCamera camera;
    EXPECT_DOUBLE_EQ(640.0 / 480.0, camera.aspectRatio());

    const double sizes[][3] = {{0, 0, 1}, {300, 0, 1}, {0, 200, 1}, {300, 200, 1.5}, {1, 1000, 0.001}};
    for (const auto& s : sizes) {
        camera.viewportWidth = s[0];
        camera.viewportHeight = s[1];
        EXPECT_DOUBLE_EQ(s[2], camera.aspectRatio()) << s[0] << " by " << s[1];
    }
}
