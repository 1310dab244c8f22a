#include "camera/ViewCamera.h"

#include <windows.h>

#include <GL/gl.h>
#include <GL/glu.h>

void ViewCamera::setViewport(int width, int height)
{
    glViewport(0, 0, width, height);
    viewportWidth = width;
    viewportHeight = height;
}

void ViewCamera::applyProjection()
{
    glMatrixMode(GL_PROJECTION);
    gluPerspective(fieldOfView, aspectRatio(), nearPlane, farPlane);

    update();

    glMatrixMode(GL_MODELVIEW);
    gluLookAt(eye.x, eye.y, eye.z, eye.x + direction.x, eye.y + direction.y, eye.z + direction.z, up.x, up.y, up.z);
}

void ViewCamera::applyStereoProjection(bool rightEye, double offset)
{
    glMatrixMode(GL_PROJECTION);
    gluPerspective(fieldOfView, aspectRatio(), nearPlane, farPlane);

    update();

    Vec3 shifted;
    Vec3 focus;
    stereoEye(rightEye, offset, shifted, focus);

    glMatrixMode(GL_MODELVIEW);
    gluLookAt(shifted.x, shifted.y, shifted.z, focus.x, focus.y, focus.z, up.x, up.y, up.z);
}
