#pragma once
// The shader back end as its users see it: a Renderer, no GL.
#include <memory>

#include "frame/Renderer.h"
#include "gl/ProcLookup.h"

namespace stagwerk {

// Needs a current OpenGL 3.3 core (or WebGL 2) context; see ShaderRenderer.
std::unique_ptr<Renderer> MakeShaderRenderer(GlProcLookup lookup, int width, int height, float aspect);
// What its PrepareTexture does, before the renderer exists.
void PrepareShaderTexture(Image& image);

}  // namespace stagwerk
