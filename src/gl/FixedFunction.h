#pragma once
// The fixed-function back end as its users see it: a Renderer, no GL.
#include <memory>

#include "frame/Renderer.h"
#include "gl/ProcLookup.h"

namespace stagwerk {

// Needs a current context; see FixedFunctionRenderer.
std::unique_ptr<Renderer> MakeFixedFunctionRenderer(GlProcLookup lookup, int width, int height, float aspect);
// What its PrepareTexture does, before the renderer exists.
void PrepareFixedFunctionTexture(Image& image);

}  // namespace stagwerk
