#pragma once

#include "camera/DragMode.h"
#include "camera/Vec3.h"

// The eye orbits target at 4 * scale, turned by angles.x about the vertical
// axis and tilted by angles.y about the horizontal one (degrees). Mouse drags
// change the angles, the target or the scale; the apply operations load the
// OpenGL projection and view for the plain picture or one anaglyph eye.
//
// setViewport and the apply operations need a current rendering context
// (they live in ViewCameraGL.cpp); everything else is plain arithmetic.
class ViewCamera {
public:
    virtual ~ViewCamera() = default;

    // glViewport(0, 0, width, height) and remember the size for the aspect.
    void setViewport(int width, int height);

    // Back to the start view. The frame vectors keep their values until the
    // next update, and a drag in progress goes on.
    void reset();

    void beginDrag(int x, int y, DragMode m);
    // One step of the drag in progress; false, changing nothing, when idle.
    bool drag(int x, int y);
    void endDrag();

    // Recompute side, up, eye and direction from angles, target and scale.
    void update();

    // Multiply a perspective onto the projection matrix and the look-at onto
    // the model-view matrix; the model-view matrix stays selected.
    void applyProjection();
    // The same for one anaglyph eye, moved by offset along side (against it
    // for the left eye).
    void applyStereoProjection(bool rightEye, double offset);

    // The look-at of one anaglyph eye, from the frame of the last update:
    // the eye moved by -offset (left) or +offset (right) along side, aiming
    // at the point of the unmoved line of sight as far from the unmoved eye
    // as the moved eye is from the world origin.
    void stereoEye(bool rightEye, double offset, Vec3& eyeOut, Vec3& centerOut) const;

    // Width / height of the viewport, or 1 when it is empty (a minimised
    // window reports 0 by 0), so the projection stays finite.
    double aspectRatio() const;

    DragMode mode = None;
    int lastX = 0;
    int lastY = 0;
    Vec3 angles;
    Vec3 target;
    double viewportWidth = 640.0;
    double viewportHeight = 480.0;
    double fieldOfView = 34.71;
    double nearPlane = 0.001;
    double farPlane = 1000.0;
    double scale = 1.0;

    // Written only by update; (0, 0, 0) until the first one.
    Vec3 side;
    Vec3 up;
    Vec3 direction;
    Vec3 eye;
};

// An angle in degrees as a rotating drag leaves it: into [0, 360) for any
// step of less than a full turn below zero; a larger negative step leaves a
// negative remainder that the next step folds again.
double foldAngle(double degrees);
