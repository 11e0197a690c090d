#pragma once

// OpenGL with the entry points past 1.1 (buffer objects and the like)
// declared, as the system's libGL exports them.
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/gl.h>
#include <GL/glext.h>
