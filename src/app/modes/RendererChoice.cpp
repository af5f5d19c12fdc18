#include "app/modes/RendererChoice.h"

#include "gl/FixedFunction.h"
#include "gl/Shader.h"

namespace stagwerk {

std::optional<RendererKind> ParseRendererKind(const std::string& name) {
  if (name == "fixed") return RendererKind::FixedFunction;
  if (name == "shader") return RendererKind::Shader;
  return std::nullopt;
}

std::unique_ptr<Renderer> MakeRenderer(RendererKind kind, GlProcLookup lookup, int width, int height, float aspect) {
  if (kind == RendererKind::Shader) return MakeShaderRenderer(lookup, width, height, aspect);
  return MakeFixedFunctionRenderer(lookup, width, height, aspect);
}

TexturePreparation PreparationFor(RendererKind kind) {
  return kind == RendererKind::Shader ? PrepareShaderTexture : PrepareFixedFunctionTexture;
}

}  // namespace stagwerk
