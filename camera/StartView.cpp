#include "camera/StartView.h"

#include "camera/ViewCamera.h"

#include <algorithm>
#include <cmath>

namespace {

const double kPi = 3.141592653589793;

// Shown well: at least this part of the picture's smaller side.
const double kLeastSpan = 1.0 / 8.0;
// Placed: this part of it.
const double kPlacedSpan = 0.8;

double dot(const Vec3& a, const Vec3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The start view's frame and lens, and the picture's shape.
struct StartFrame {
    explicit StartFrame(const ViewCamera& camera) : view(camera)
    {
        view.reset();
        view.update();
        halfHeight = std::tan(view.fieldOfView * kPi / 360.0);
        aspect = view.aspectRatio();
        smallerSide = std::min(aspect, 1.0);
    }

    ViewCamera view;
    double halfHeight; // of the view at distance 1
    double aspect;
    double smallerSide; // in picture heights
};

// Half the box's extent along the unit vector u, and its centre.
double halfExtent(const Bounds& box, const Vec3& u)
{
    return std::fabs(u.x) * (box.high.x / 2 - box.low.x / 2) + std::fabs(u.y) * (box.high.y / 2 - box.low.y / 2) +
           std::fabs(u.z) * (box.high.z / 2 - box.low.z / 2);
}

Vec3 centreOf(const Bounds& box)
{
    // Halves first, so that a box across the whole range of doubles does
    // not overflow.
    return Vec3{box.low.x / 2 + box.high.x / 2, box.low.y / 2 + box.high.y / 2, box.low.z / 2 + box.high.z / 2};
}

} // namespace

void Bounds::add(const Vec3& p)
{
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
        return;
    low.x = std::min(low.x, p.x);
    low.y = std::min(low.y, p.y);
    low.z = std::min(low.z, p.z);
    high.x = std::max(high.x, p.x);
    high.y = std::max(high.y, p.y);
    high.z = std::max(high.z, p.z);
}

bool startViewShows(const Bounds& box, const ViewCamera& camera)
{
    if (box.empty())
        return false;
    const StartFrame start(camera);
    const ViewCamera& view = start.view;
    // Where each corner lands, in picture heights from the picture's centre.
    double left = 0, right = 0, bottom = 0, top = 0;
    for (int corner = 0; corner < 8; ++corner) {
        const Vec3 p{corner & 1 ? box.high.x : box.low.x, corner & 2 ? box.high.y : box.low.y,
                     corner & 4 ? box.high.z : box.low.z};
        const Vec3 v{p.x - view.eye.x, p.y - view.eye.y, p.z - view.eye.z};
        const double depth = dot(v, view.direction);
        if (!(depth > view.nearPlane && depth < view.farPlane))
            return false;
        const double across = dot(v, view.side) / (2 * depth * start.halfHeight);
        const double upwards = dot(v, view.up) / (2 * depth * start.halfHeight);
        if (std::fabs(across) > start.aspect / 2 || std::fabs(upwards) > 0.5)
            return false;
        left = corner ? std::min(left, across) : across;
        right = corner ? std::max(right, across) : across;
        bottom = corner ? std::min(bottom, upwards) : upwards;
        top = corner ? std::max(top, upwards) : upwards;
    }
    return std::max(right - left, top - bottom) >= kLeastSpan * start.smallerSide;
}

Placement startViewPlacement(const Bounds& box, const ViewCamera& camera)
{
    const StartFrame start(camera);
    const ViewCamera& view = start.view;
    Placement placement;
    placement.centre = centreOf(box);

    // Centred, the box's face towards the eye is at distance - factor * deep
    // and spans factor * wide * 2 across; at that distance the picture's
    // smaller side is 2 * distance * halfHeight * smallerSide.
    const double wide = std::max(halfExtent(box, view.side), halfExtent(box, view.up));
    const double deep = halfExtent(box, view.direction);
    const double distance =
        length(Vec3{view.eye.x - view.target.x, view.eye.y - view.target.y, view.eye.z - view.target.z});
    const double p = kPlacedSpan * start.smallerSide * start.halfHeight;
    // Everything divided by the larger size first, which keeps it finite
    // for the largest boxes.
    const double largest = std::max(wide, deep);
    if (!(largest > 0))
        return placement;
    double factor = p * distance / largest / (wide / largest + p * deep / largest);
    // A box much deeper than it is wide would reach the eye: its face
    // towards the eye stays at least an eighth of the distance away.
    factor = std::min(factor, distance * 7 / 8 / deep);
    if (std::isfinite(factor) && factor > 0)
        placement.factor = factor;
    return placement;
}
