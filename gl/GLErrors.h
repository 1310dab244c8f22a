#pragma once

#include <windows.h>

#include <GL/gl.h>

// Takes every pending error flag of the current context; true when there was
// one. Bounded, since a lost context may report an error for ever.
inline bool takeGLErrors()
{
    bool any = false;
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i)
        any = true;
    return any;
}
