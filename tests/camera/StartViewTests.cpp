#include "camera/StartView.h"
#include "camera/ViewCamera.h"

#include "VecAssertions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

Bounds box(Vec3 low, Vec3 high)
{
    Bounds b;
    b.add(low);
    b.add(high);
    return b;
}

// A camera with a viewport of width x height, turned and moved away from the
// start view: the decision is about the start view all the same.
ViewCamera camera(int width, int height)
{
    ViewCamera c;
    c.viewportWidth = width;
    c.viewportHeight = height;
    c.angles = Vec3{40, 300, 0};
    c.target = Vec3{5, -2, 1};
    c.scale = 0.3;
    c.update();
    return c;
}

struct BoxCase {
    const char* what;
    Vec3 low, high;
    int width, height;
    bool shown;
};

// At the start view the eye is 4 from the origin and a picture height spans
// 2 * 4 * tan(17.355 deg) = 2.50 at the origin's distance.
const BoxCase kBoxes[] = {
    {"the sample torus", {-0.86, -0.24, -0.86}, {0.86, 0.24, 0.86}, 512, 512, true},
    {"a square 1 across", {-0.5, -0.5, 0}, {0.5, 0.5, 0}, 512, 512, true},
    {"just over an eighth", {-0.16, -0.16, 0}, {0.16, 0.16, 0}, 512, 512, true},
    {"just under an eighth", {-0.15, -0.15, 0}, {0.15, 0.15, 0}, 512, 512, false},
    {"a long thin rod counts by its length", {-0.5, -0.001, 0}, {0.5, 0.001, 0}, 512, 512, true},
    {"a cube 2 across: its front face reaches past the edges", {-1, -1, -1}, {1, 1, 1}, 512, 512, false},
    {"a speck", {-1e-4, -1e-4, -1e-4}, {1e-4, 1e-4, 1e-4}, 512, 512, false},
    {"a city", {-1e4, -1e4, -1e4}, {1e4, 1e4, 1e4}, 512, 512, false},
    {"off to the right", {2.5, -0.5, -0.5}, {3.5, 0.5, 0.5}, 512, 512, false},
    {"partly off the top", {-0.5, 0.8, 0}, {0.5, 1.5, 0}, 512, 512, false},
    {"behind the eye", {-0.5, -0.5, 5}, {0.5, 0.5, 6}, 512, 512, false},
    {"reaching nearer than the near plane", {-5e-5, -5e-5, 3.99}, {5e-5, 5e-5, 3.9995}, 512, 512, false},
    {"just beyond the near plane", {-2e-4, -2e-4, 3.99}, {2e-4, 2e-4, 3.998}, 512, 512, true},
    {"beyond the far plane", {-125, -125, -1010}, {125, 125, -1000}, 512, 512, false},
    {"wide, in a square picture", {-1.2, -0.1, 0}, {1.2, 0.1, 0}, 512, 512, true},
    {"wide, in a tall picture", {-1.2, -0.1, 0}, {1.2, 0.1, 0}, 256, 512, false},
    {"an eighth of a tall picture's width", {-0.08, -0.08, 0}, {0.08, 0.08, 0}, 256, 512, true},
    {"not an eighth of a wide picture's height", {-0.08, -0.08, 0}, {0.08, 0.08, 0}, 1024, 512, false},
};

} // namespace

TEST(StartView, DecidesWhetherTheStartViewShowsABox)
{
    for (const BoxCase& c : kBoxes) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.shown, startViewShows(box(c.low, c.high), camera(c.width, c.height)));
    }
    EXPECT_FALSE(startViewShows(Bounds(), camera(512, 512))) << "an empty box";
}

TEST(StartView, PlacedBoxesAreCentredAndShown)
{
    for (const BoxCase& c : kBoxes) {
        if (c.shown)
            continue;
        SCOPED_TRACE(c.what);
        const ViewCamera view = camera(c.width, c.height);
        const Bounds before = box(c.low, c.high);
        const Placement placement = startViewPlacement(before, view);
        const Bounds after = box(placement.apply(before.low), placement.apply(before.high));
        EXPECT_TRUE(vecNear(Vec3{},
                            Vec3{after.low.x + after.high.x, after.low.y + after.high.y, after.low.z + after.high.z},
                            1e-9));
        EXPECT_TRUE(startViewShows(after, view));
    }
}

TEST(StartView, DegenerateBoxesStayFinite)
{
    // A single point is only moved; a needle pointing at the eye ends an
    // eighth of the eye's distance (4) before the eye.
    const Placement point = startViewPlacement(box(Vec3{3, 4, 5}, Vec3{3, 4, 5}), camera(512, 512));
    EXPECT_EQ(1.0, point.factor);
    EXPECT_TRUE(vecNear(Vec3{3, 4, 5}, point.centre));
    const Placement needle = startViewPlacement(box(Vec3{0, 0, -500}, Vec3{0, 0, 500}), camera(512, 512));
    EXPECT_NEAR(3.5, 500 * needle.factor, 1e-12);
    // The whole range of doubles.
    const double most = std::numeric_limits<double>::max();
    const Placement all = startViewPlacement(box(Vec3{-most, -most, -most}, Vec3{most, most, most}), camera(512, 512));
    EXPECT_TRUE(all.factor > 0 && std::isfinite(all.factor * most));
    EXPECT_TRUE(vecNear(Vec3{}, all.centre));
}

TEST(StartView, PointsThatAreNotFiniteAreLeftOut)
{
    Bounds b;
    for (const Vec3& p : {Vec3{kNaN, 0, 0}, Vec3{0, kInf, 0}, Vec3{0, 0, -kInf}})
        b.add(p);
    EXPECT_TRUE(b.empty());
    for (const Vec3& p : {Vec3{1, 2, 3}, Vec3{kNaN, kNaN, kNaN}, Vec3{-1, 0, 1}, Vec3{-kInf, 100, 100}})
        b.add(p);
    EXPECT_TRUE(vecNear(Vec3{-1, 0, 1}, b.low) && vecNear(Vec3{1, 2, 3}, b.high));
}
