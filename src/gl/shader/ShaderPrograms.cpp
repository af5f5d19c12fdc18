#include "gl/shader/ShaderPrograms.h"

#include <string>

#include "base/LoadError.h"
#include "gl/shader/ShaderSource.h"

namespace stagwerk {

namespace {

GLuint Compile(GLenum type, const std::string& source) {
  const GLuint shader = glCreateShader(type);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok != GL_TRUE) {
    char log[2048] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    glDeleteShader(shader);
    throw LoadError(std::string("Shader compilation failed: ") + log);
  }
  return shader;
}

GLuint Link(uint32_t key) {
  const GLuint vertex = Compile(GL_VERTEX_SHADER, VertexShaderSource(key));
  GLuint fragment = 0;
  try {
    fragment = Compile(GL_FRAGMENT_SHADER, FragmentShaderSource(key));
  } catch (...) {
    glDeleteShader(vertex);
    throw;
  }
  const GLuint program = glCreateProgram();
  glAttachShader(program, vertex);
  glAttachShader(program, fragment);
  glLinkProgram(program);
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  GLint ok = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (ok != GL_TRUE) {
    char log[2048] = {};
    glGetProgramInfoLog(program, sizeof log, nullptr, log);
    glDeleteProgram(program);
    throw LoadError(std::string("Shader linking failed: ") + log);
  }
  return program;
}

}  // namespace

ShaderPrograms::~ShaderPrograms() {
  for (auto& entry : programs_) glDeleteProgram(entry.second->name);
}

ShaderProgram& ShaderPrograms::Get(uint32_t key) {
  auto found = programs_.find(key);
  if (found != programs_.end()) return *found->second;
  auto program = std::make_unique<ShaderProgram>();
  ShaderProgram& p = *program;
  p.name = Link(key);
  auto at = [&](const char* name) { return glGetUniformLocation(p.name, name); };
  p.modelviewProjection = at("u_modelviewProjection");
  p.modelview = at("u_modelview");
  p.normalMatrix = at("u_normalMatrix");
  p.ambient = at("u_ambient");
  p.lightCount = at("u_lightCount");
  p.lightPosition = at("u_lightPosition");
  p.lightDiffuse = at("u_lightDiffuse");
  p.lightSpot = at("u_lightSpot");
  p.rgbScale0 = at("u_rgbScale0");
  p.rgbScale1 = at("u_rgbScale1");
  p.fogColour = at("u_fogColour");
  p.fogRange = at("u_fogRange");
  glUseProgram(p.name);
  glUniform1i(at("u_texture0"), 0);
  glUniform1i(at("u_texture1"), 1);
  programs_.emplace(key, std::move(program));
  return p;
}

}  // namespace stagwerk
