#include "gl/shader/ShaderSource.h"

#include "frame/RenderState.h"

namespace stagwerk {

namespace {

// The first lines: the language version, and what GLSL ES needs said.
const char* Preamble() {
#ifdef __EMSCRIPTEN__
  return "#version 300 es\nprecision highp float;\nprecision highp int;\n";
#else
  return "#version 330 core\n";
#endif
}

// GL's lighting equation as the pipeline is set up for the demo: the colour
// is the material's ambient and diffuse, lights have no ambient or specular
// part and no attenuation, and only positional lights have a cone.
const char* kVertexBody = R"(
uniform mat4 u_modelviewProjection;
uniform mat4 u_modelview;
uniform mat3 u_normalMatrix;
uniform vec4 u_ambient;
uniform int u_lightCount;
uniform vec4 u_lightPosition[8];
uniform vec4 u_lightDiffuse[8];
uniform vec4 u_lightSpot[8];  // direction, cosine of the cut-off (-2: none)

layout(location = 0) in vec3 a_position;
layout(location = 1) in vec3 a_normal;
layout(location = 2) in vec4 a_colour;
layout(location = 3) in vec2 a_uv0;
layout(location = 4) in vec2 a_uv1;

out vec4 v_colour;
out vec2 v_uv0;
out vec2 v_uv1;
out float v_fogDistance;

vec2 SphereMap(vec3 eye, vec3 n) {
  vec3 u = normalize(eye);
  vec3 r = u - 2.0 * n * dot(n, u);
  float m = 2.0 * sqrt(r.x * r.x + r.y * r.y + (r.z + 1.0) * (r.z + 1.0));
  return vec2(r.x / m + 0.5, r.y / m + 0.5);
}

void main() {
  vec4 eye = u_modelview * vec4(a_position, 1.0);
  gl_Position = u_modelviewProjection * vec4(a_position, 1.0);
  vec3 n = normalize(u_normalMatrix * a_normal);
#ifdef LIGHTING
  vec3 lit = u_ambient.rgb * a_colour.rgb;
  for (int i = 0; i < u_lightCount; ++i) {
    vec4 p = u_lightPosition[i];
    vec3 toLight = p.w == 0.0 ? p.xyz : p.xyz - eye.xyz;
    vec3 l = normalize(toLight);
    float factor = max(dot(n, l), 0.0);
    if (p.w != 0.0 && u_lightSpot[i].w > -1.5) {
      float d = dot(-l, normalize(u_lightSpot[i].xyz));
      factor = d >= u_lightSpot[i].w ? factor : 0.0;
    }
    lit += factor * u_lightDiffuse[i].rgb * a_colour.rgb;
  }
  v_colour = vec4(clamp(lit, 0.0, 1.0), clamp(a_colour.a, 0.0, 1.0));
#else
  v_colour = clamp(a_colour, 0.0, 1.0);
#endif
#ifdef UNIT0_SPHERE
  v_uv0 = SphereMap(eye.xyz, n);
#else
  v_uv0 = a_uv0;
#endif
#ifdef UNIT1_SPHERE
  v_uv1 = SphereMap(eye.xyz, n);
#else
  v_uv1 = a_uv1;
#endif
  v_fogDistance = abs(eye.z);
}
)";

// Each unit combines its texel with what came before it and clamps, as the
// texture environment does; fog, then the alpha test, close the pipeline.
const char* kFragmentBody = R"(
uniform sampler2D u_texture0;
uniform sampler2D u_texture1;
uniform float u_rgbScale0;
uniform float u_rgbScale1;
uniform vec4 u_fogColour;
uniform vec2 u_fogRange;  // end, 1 / (end - start)

in vec4 v_colour;
in vec2 v_uv0;
in vec2 v_uv1;
in float v_fogDistance;

out vec4 fragColour;

vec4 Combine(vec4 texel, vec4 previous, float scale, bool combine, bool addSigned) {
  if (!combine) return texel * previous;
  vec3 rgb = addSigned ? texel.rgb + previous.rgb - 0.5 : texel.rgb * previous.rgb;
  return vec4(clamp(rgb * scale, 0.0, 1.0), texel.a * previous.a);
}

void main() {
  vec4 c = v_colour;
#ifdef UNIT0
  c = Combine(texture(u_texture0, v_uv0), c, u_rgbScale0, UNIT0_COMBINE, UNIT0_ADD_SIGNED);
#endif
#ifdef UNIT1
  c = Combine(texture(u_texture1, v_uv1), c, u_rgbScale1, UNIT1_COMBINE, UNIT1_ADD_SIGNED);
#endif
#ifdef FOG
  float f = clamp((u_fogRange.x - v_fogDistance) * u_fogRange.y, 0.0, 1.0);
  c.rgb = mix(u_fogColour.rgb, c.rgb, f);
#endif
#ifdef OVERLAY
  c = v_colour;
#ifdef OVERLAY_GLYPH
  c.a *= texture(u_texture0, v_uv0).a;
#endif
#endif
  if (c.a <= 0.0001) discard;
  fragColour = c;
}
)";

std::string Defines(uint32_t key) {
  std::string d;
  if (key & kOverlayProgramKey) {
    d += "#define OVERLAY\n";
    if (key & 1u) d += "#define OVERLAY_GLYPH\n";
    return d;
  }
  if (key & kLighting) d += "#define LIGHTING\n";
  if (key & kFog) d += "#define FOG\n";
  for (int unit = 0; unit < 2; ++unit) {
    const uint32_t bits = UnitBits(key, unit);
    const std::string name = "UNIT" + std::to_string(unit);
    if (!(bits & kUnitTexture)) continue;
    d += "#define " + name + "\n";
    d += "#define " + name + "_COMBINE " + ((bits & kUnitCombine) ? "true" : "false") + "\n";
    d += "#define " + name + "_ADD_SIGNED " + ((bits & kUnitAddSigned) ? "true" : "false") + "\n";
    if (bits & kUnitSphereMap) d += "#define " + name + "_SPHERE\n";
  }
  return d;
}

}  // namespace

uint32_t ProgramKeyOf(uint32_t stateBits) {
  uint32_t key = stateBits & (kLighting | kFog);
  for (int unit = 0; unit < 2; ++unit) {
    uint32_t bits = UnitBits(stateBits, unit);
    // A unit that is off passes its input through: none of its other bits count.
    if (!(bits & kUnitTexture)) bits = 0;
    key |= bits << UnitShift(unit);
  }
  return key;
}

std::string VertexShaderSource(uint32_t key) { return Preamble() + Defines(key) + kVertexBody; }

std::string FragmentShaderSource(uint32_t key) { return Preamble() + Defines(key) + kFragmentBody; }

}  // namespace stagwerk
