#pragma once
// The GLSL of the shader back end: one body for OpenGL 3.3 core and for
// WebGL 2, which differ only in the first lines. A program is compiled per
// combination of the switches that change what a vertex or fragment
// computes, as the fixed-function pipeline specialises itself.
#include <cstdint>
#include <string>

namespace stagwerk {

// The lighting and fog switches and both texture units' bits of a render
// state word: what selects a program.
uint32_t ProgramKeyOf(uint32_t stateBits);
// Programs for the overlay: plain colour, or colour times a glyph's alpha.
constexpr uint32_t kOverlayProgramKey = 1u << 31;

std::string VertexShaderSource(uint32_t key);
std::string FragmentShaderSource(uint32_t key);

// Attribute locations, fixed at link time.
enum Attribute : unsigned {
  kPositionAttribute = 0,
  kNormalAttribute = 1,
  kColourAttribute = 2,
  kUv0Attribute = 3,
  kUv1Attribute = 4,
};

}  // namespace stagwerk
