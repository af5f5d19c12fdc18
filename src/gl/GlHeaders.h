#pragma once
// The fixed-function GL 1.1 headers with the enumerants of the extensions the
// player draws with (multitexture, texture combiners, BGR pixel formats).
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
