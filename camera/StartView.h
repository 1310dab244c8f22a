#pragma once

#include "camera/Vec3.h"

#include <limits>

class ViewCamera;

// The smallest axis-aligned box around the points added to it. Points with a
// coordinate that is not finite (NaN, infinity) are left out, so that they
// cannot make the box endless or empty.
struct Bounds {
    Vec3 low{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
             std::numeric_limits<double>::infinity()};
    Vec3 high{-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
              -std::numeric_limits<double>::infinity()};

    void add(const Vec3& p);
    bool empty() const { return !(low.x <= high.x); }
};

// Whether the start view (the one reset gives) of a camera with this lens and
// viewport shows the box well: the whole box lies inside the view, between
// the near and the far plane, and it spans at least an eighth of the
// picture's smaller side. An empty box is never shown well.
bool startViewShows(const Bounds& box, const ViewCamera& camera);

// A uniform scale and move of positions: p becomes (p - centre) * factor.
struct Placement {
    Vec3 centre;
    double factor = 1.0;

    Vec3 apply(const Vec3& p) const
    {
        return Vec3{(p.x - centre.x) * factor, (p.y - centre.y) * factor, (p.z - centre.z) * factor};
    }
};

// The placement that centres the box on the origin and makes it fill about
// four fifths of the picture's smaller side at the start view. A box much
// deeper than it is wide, pointing at the eye, ends an eighth of the eye's
// distance before the eye, and fills less; a box of one point is only
// moved. The box must not be empty.
Placement startViewPlacement(const Bounds& box, const ViewCamera& camera);
