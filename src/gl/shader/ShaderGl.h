#pragma once
// The GL the shader back end speaks: OpenGL 3.3 core entry points from the
// system libGL on the desktop, WebGL 2 through Emscripten's GLES 3 in the
// browser. The build defines GL_GLEXT_PROTOTYPES for
// every file of the layer, so the order of includes does not matter.
#ifdef __EMSCRIPTEN__
#include <GLES3/gl3.h>
#else
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/gl.h>
#include <GL/glext.h>
#endif
