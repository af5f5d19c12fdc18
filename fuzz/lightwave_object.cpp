// LightWave objects (LWO2, LWOB, LWLO) from the fuzzer's bytes, through kq7's
// own reader and conversion: a file is either refused with an InputError or
// becomes a KQ7 mesh that the player's reader loads whole. Converted as kq7
// convert does by default, triangulated, and as one layer's point set.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "kq7/formats/ToolError.h"
#include "base/LoadError.h"
#include "kq7/formats/lightwave/LightWaveObject.h"
#include "kq7/formats/lightwave/ObjectToKq7.h"
#include "objects/Kq7Writer.h"
#include "objects/Mesh.h"
#include "textures/Texture.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace stagwerk;
  using namespace stagwerk::kq7;
  static Texture placeholder;
  const TextureLookup textures = [](const std::string&) { return &placeholder; };
  const std::string file = "Objects/Fuzz.lwo";
  lightwave::LightWaveObject object;
  try {
    object = lightwave::ReadLightWaveObject(data, size, file);
  } catch (const InputError&) {
    return 0;
  }
  for (int variant = 0; variant < 3; ++variant) {
    lightwave::LightWaveOptions options;
    options.triangulate = variant == 1;
    options.mesh.weld = variant != 1;
    options.mesh.points = variant == 2;
    if (variant == 2 && !object.layers.empty()) options.layer = object.layers.back().number + 1;
    std::vector<std::string> warnings;
    Kq7Description mesh;
    try {
      mesh = lightwave::ObjectToKq7(object, file, options, warnings);
    } catch (const InputError&) {
      continue;
    }
    // What kq7 writes, the player loads: a LoadError here is a bug.
    const std::vector<unsigned char> bytes = WriteKq7(mesh);
    const auto loaded = Mesh::Parse(bytes.data(), bytes.size(), file, "fuzz.kq7", textures);
    Require(loaded->vertexCount() == mesh.positions.size());
    Require(loaded->polygonCount() == mesh.polygons.size());
    Require(loaded->targetCount() == mesh.morphTargets.size());
    for (const float p : loaded->positions()) Require(p == p);
  }
  return 0;
}
