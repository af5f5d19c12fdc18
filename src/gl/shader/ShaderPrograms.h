#pragma once
// Compiled programs by key, each with its uniform locations found once.
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "gl/shader/ShaderGl.h"

namespace stagwerk {

struct ShaderProgram {
  GLuint name = 0;
  GLint modelviewProjection = -1;
  GLint modelview = -1;
  GLint normalMatrix = -1;
  GLint ambient = -1;
  GLint lightCount = -1;
  GLint lightPosition = -1;
  GLint lightDiffuse = -1;
  GLint lightSpot = -1;
  GLint rgbScale0 = -1;
  GLint rgbScale1 = -1;
  GLint fogColour = -1;
  GLint fogRange = -1;
  // The frame whose lights, fog and ambient colour the program holds.
  uint64_t frameStamp = 0;
};

class ShaderPrograms {
 public:
  ShaderPrograms() = default;
  ~ShaderPrograms();
  ShaderPrograms(const ShaderPrograms&) = delete;
  ShaderPrograms& operator=(const ShaderPrograms&) = delete;

  // Compiles on first use. Throws LoadError with the driver's log when a
  // program does not build, which is a fault of ours, not of the demo.
  ShaderProgram& Get(uint32_t key);

 private:
  std::unordered_map<uint32_t, std::unique_ptr<ShaderProgram>> programs_;
};

}  // namespace stagwerk
