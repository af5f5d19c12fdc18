#pragma once
// Which back end draws: the fixed-function one on a compatibility context
// (the default), or the shader one on an OpenGL 3.3 core context.
#include <memory>
#include <optional>
#include <string>

#include "frame/Renderer.h"
#include "gl/ProcLookup.h"

namespace stagwerk {

enum class RendererKind { FixedFunction, Shader };

// "fixed" or "shader"; nothing for any other name.
std::optional<RendererKind> ParseRendererKind(const std::string& name);

// Needs a current context of the kind the back end asks for.
std::unique_ptr<Renderer> MakeRenderer(RendererKind kind, GlProcLookup lookup, int width, int height, float aspect);
// What that back end's PrepareTexture does, with no renderer and no GL.
using TexturePreparation = void (*)(Image&);
TexturePreparation PreparationFor(RendererKind kind);

}  // namespace stagwerk
