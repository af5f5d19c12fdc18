// Writes the binary assets of the bundled demo: KQ7 meshes, TGA pictures,
// and PPM pictures that scripts/make-demo-assets.sh turns into JPEG files.
//   make_demo_assets DATA_DIR
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "objects/Kq7Writer.h"

namespace {

using stagwerk::Kq7Description;

Kq7Description Cube() {
  Kq7Description mesh;
  mesh.flags = stagwerk::HasPolygons | stagwerk::AllTriangles | stagwerk::HasTexture | stagwerk::HasColours;
  mesh.textureName = "Crate";
  for (int i = 0; i < 8; ++i) {
    mesh.positions.push_back({(i & 1) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 4) ? 1.0f : -1.0f});
  }
  const uint16_t faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  mesh.uvs = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  mesh.colours = {{1, 1, 1, 1}, {1, 0.8f, 0.6f, 1}};
  for (int f = 0; f < 6; ++f) {
    const uint16_t* q = faces[f];
    mesh.polygons.push_back({q[0], q[1], q[2]});
    mesh.polygons.push_back({q[0], q[2], q[3]});
    for (uint16_t uv : {0, 1, 2, 0, 2, 3}) mesh.uvIndices.push_back(uv);
    for (int c = 0; c < 6; ++c) mesh.colourIndices.push_back(static_cast<uint16_t>(f & 1));
  }
  return mesh;
}

// A flat ring of quads that widens with its one morph target.
Kq7Description Ring() {
  Kq7Description mesh;
  mesh.flags = stagwerk::HasPolygons | stagwerk::HasColours | stagwerk::HasMorphTargets;
  const int segments = 24;
  std::vector<stagwerk::MorphDelta> widen;
  for (int i = 0; i < segments; ++i) {
    const float a = static_cast<float>(i) * 6.2831853f / segments;
    mesh.positions.push_back({std::cos(a) * 2.0f, std::sin(a) * 2.0f, 0.0f});
    mesh.positions.push_back({std::cos(a) * 2.5f, std::sin(a) * 2.5f, 0.0f});
    widen.push_back({std::cos(a) * 0.8f, std::sin(a) * 0.8f, 0.0f, static_cast<uint16_t>(2 * i + 1)});
  }
  mesh.colours = {{0.3f, 0.6f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f}};
  for (int i = 0; i < segments; ++i) {
    const auto inner = static_cast<uint16_t>(2 * i), outer = static_cast<uint16_t>(2 * i + 1);
    const auto nextInner = static_cast<uint16_t>((2 * i + 2) % (2 * segments));
    const auto nextOuter = static_cast<uint16_t>((2 * i + 3) % (2 * segments));
    mesh.polygons.push_back({inner, outer, nextOuter, nextInner});
    for (uint16_t c : {0, 1, 1, 0}) mesh.colourIndices.push_back(c);
  }
  mesh.morphTargets.push_back(widen);
  return mesh;
}

// Points only: drawn as sprites.
Kq7Description Stars() {
  Kq7Description mesh;
  unsigned seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<float>((seed >> 8) & 0xFFFF) / 32768.0f - 1.0f;
  };
  for (int i = 0; i < 200; ++i) mesh.positions.push_back({next() * 40.0f, next() * 40.0f, next() * 40.0f - 50.0f});
  return mesh;
}

void WritePpm(const std::string& path, int size, bool grey, int pattern) {
  std::ofstream out(path, std::ios::binary);
  out << (grey ? "P5\n" : "P6\n") << size << " " << size << "\n255\n";
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const float u = static_cast<float>(x) / static_cast<float>(size - 1);
      const float v = static_cast<float>(y) / static_cast<float>(size - 1);
      const float du = u - 0.5f, dv = v - 0.5f;
      const float glow = std::fmax(0.0f, 1.0f - 2.0f * std::sqrt(du * du + dv * dv));
      float r = 0, g = 0, b = 0;
      if (pattern == 0) {  // loading picture: dark blue with a band
        r = 0.1f + 0.4f * glow;
        g = 0.15f + 0.4f * glow;
        b = 0.4f + 0.5f * glow;
      } else if (pattern == 1) {  // crate: planks
        const float plank = ((x / 8) % 2) ? 0.8f : 0.65f;
        r = plank;
        g = plank * 0.7f;
        b = plank * 0.4f;
      } else {  // flare glow
        r = g = b = glow * glow;
      }
      if (grey) {
        out.put(static_cast<char>(static_cast<int>(r * 255.0f)));
      } else {
        out.put(static_cast<char>(static_cast<int>(r * 255.0f)));
        out.put(static_cast<char>(static_cast<int>(g * 255.0f)));
        out.put(static_cast<char>(static_cast<int>(b * 255.0f)));
      }
    }
  }
}

// Uncompressed 24-bit TGA, bottom-left origin.
void WriteSkyTga(const std::string& path, int width, int height) {
  std::ofstream out(path, std::ios::binary);
  const unsigned char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    static_cast<unsigned char>(width), static_cast<unsigned char>(width >> 8),
                                    static_cast<unsigned char>(height), static_cast<unsigned char>(height >> 8), 24, 0};
  out.write(reinterpret_cast<const char*>(header), sizeof header);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const float v = static_cast<float>(y) / static_cast<float>(height - 1);
      out.put(static_cast<char>(static_cast<int>(80 + 120 * v)));  // blue
      out.put(static_cast<char>(static_cast<int>(20 + 40 * v)));   // green
      out.put(static_cast<char>(static_cast<int>(10 + 20 * v)));   // red
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: make_demo_assets DATA_DIR\n");
    return 2;
  }
  const std::filesystem::path data = argv[1];
  std::filesystem::create_directories(data / "Objects");
  std::filesystem::create_directories(data / "textures");
  stagwerk::WriteKq7File((data / "Objects/Cube.kq7").string(), Cube());
  stagwerk::WriteKq7File((data / "Objects/Ring.kq7").string(), Ring());
  stagwerk::WriteKq7File((data / "Objects/Stars.kq7").string(), Stars());
  WriteSkyTga((data / "textures/Sky.tga").string(), 64, 32);
  WritePpm((data / "textures/PleaseWaitLoading.ppm").string(), 256, false, 0);
  WritePpm((data / "textures/Crate.ppm").string(), 64, false, 1);
  WritePpm((data / "textures/Sun.ppm").string(), 64, false, 2);
  WritePpm((data / "textures/Sun.a.pgm").string(), 64, true, 2);
  return 0;
}
