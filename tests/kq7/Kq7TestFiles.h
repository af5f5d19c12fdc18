#pragma once
// Small 3D files written by the tests themselves, and what the kq7 tool
// makes of them read back through the player's own KQ7 reader.
#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <stb_image_write.h>

#include "kq7/CommandLine.h"
#include "TempDir.h"
#include "objects/Mesh.h"

namespace stagwerk::testing {

// A LightWave LWO2 object: an IFF FORM of big-endian chunks.
class Lwo2Writer {
 public:
  void Tags(const std::vector<std::string>& names) {
    std::string data;
    for (const auto& name : names) data += S0(name);
    chunks_ += Chunk("TAGS", data);
  }
  void Layer() { chunks_ += Chunk("LAYR", U2(0) + U2(0) + F4(0) + F4(0) + F4(0) + S0("layer")); }
  void Points(const std::vector<std::array<float, 3>>& points) {
    std::string data;
    for (const auto& p : points) data += F4(p[0]) + F4(p[1]) + F4(p[2]);
    chunks_ += Chunk("PNTS", data);
  }
  void Faces(const std::vector<std::vector<uint16_t>>& polygons) {
    std::string data = "FACE";
    for (const auto& polygon : polygons) {
      data += U2(static_cast<uint16_t>(polygon.size()));
      for (uint16_t v : polygon) data += U2(v);
    }
    chunks_ += Chunk("POLS", data);
  }
  // Surface tag of each polygon.
  void SurfaceTags(const std::vector<uint16_t>& tags) {
    std::string data = "SURF";
    for (std::size_t p = 0; p < tags.size(); ++p) data += U2(static_cast<uint16_t>(p)) + U2(tags[p]);
    chunks_ += Chunk("PTAG", data);
  }
  void Uvs(const std::vector<std::array<float, 2>>& uvs) {
    std::string data = "TXUV" + U2(2) + S0("Texture");
    for (std::size_t v = 0; v < uvs.size(); ++v) data += U2(static_cast<uint16_t>(v)) + F4(uvs[v][0]) + F4(uvs[v][1]);
    chunks_ += Chunk("VMAP", data);
  }
  void Surface(const std::string& name) {
    const std::string colour = F4(0.8f) + F4(0.8f) + F4(0.8f) + U2(0);
    chunks_ += Chunk("SURF", S0(name) + S0("") + "COLR" + U2(static_cast<uint16_t>(colour.size())) + colour);
  }
  std::string Bytes() const {
    const std::string body = "LWO2" + chunks_;
    return "FORM" + U4(static_cast<uint32_t>(body.size())) + body;
  }

 private:
  static std::string U2(uint16_t v) { return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }
  static std::string U4(uint32_t v) { return U2(static_cast<uint16_t>(v >> 16)) + U2(static_cast<uint16_t>(v)); }
  static std::string F4(float f) { return U4(std::bit_cast<uint32_t>(f)); }
  // Strings end in NUL and are padded to an even length.
  static std::string S0(const std::string& s) {
    std::string out = s + '\0';
    if (out.size() % 2) out += '\0';
    return out;
  }
  static std::string Chunk(const std::string& id, std::string data) {
    const std::string head = id + U4(static_cast<uint32_t>(data.size()));
    if (data.size() % 2) data += '\0';
    return head + data;
  }
  std::string chunks_;
};

inline std::string Base64(const std::string& bytes) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = uint32_t(static_cast<unsigned char>(bytes[i])) << 16;
    if (i + 1 < bytes.size()) n |= uint32_t(static_cast<unsigned char>(bytes[i + 1])) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
    out += digits[n >> 18 & 63];
    out += digits[n >> 12 & 63];
    out += i + 1 < bytes.size() ? digits[n >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? digits[n & 63] : '=';
  }
  return out;
}

// A glTF 2.0 file with one mesh of one primitive and its buffer inline.
struct GltfPrimitive {
  std::vector<std::array<float, 3>> positions;
  std::vector<uint16_t> indices;  // triangles
  std::vector<std::array<float, 2>> uv0, uv1;
  std::vector<std::array<float, 4>> colours;
  std::vector<std::vector<std::array<float, 3>>> targets;  // position offsets per target
  std::string nodeExtras;  // e.g. "\"translation\": [0, 0, 2],"
  std::string material;    // one material's JSON object, used by the primitive
};

inline std::string GltfText(const GltfPrimitive& g) {
  std::string buffer, views, accessors;
  int count = 0;
  const auto add = [&](const std::string& bytes, std::size_t n, int componentType, const std::string& type,
                       const std::string& extra = "") {
    while (buffer.size() % 4) buffer += '\0';
    if (count) views += ",", accessors += ",";
    views += "{\"buffer\":0,\"byteOffset\":" + std::to_string(buffer.size()) +
             ",\"byteLength\":" + std::to_string(bytes.size()) + "}";
    accessors += "{\"bufferView\":" + std::to_string(count) + ",\"componentType\":" + std::to_string(componentType) +
                 ",\"count\":" + std::to_string(n) + ",\"type\":\"" + type + "\"" + extra + "}";
    buffer += bytes;
    return count++;
  };
  const auto floats = [](const auto& values) {
    std::string bytes;
    for (const auto& value : values)
      for (float f : value) bytes.append(reinterpret_cast<const char*>(&f), 4);
    return bytes;
  };
  const auto bounds = [](const std::vector<std::array<float, 3>>& p) {
    std::array<float, 3> lo = p[0], hi = p[0];
    for (const auto& v : p)
      for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], v[k]), hi[k] = std::max(hi[k], v[k]);
    std::ostringstream s;
    s << ",\"min\":[" << lo[0] << "," << lo[1] << "," << lo[2] << "],\"max\":[" << hi[0] << "," << hi[1] << ","
      << hi[2] << "]";
    return s.str();
  };
  std::string attributes =
      "\"POSITION\":" + std::to_string(add(floats(g.positions), g.positions.size(), 5126, "VEC3", bounds(g.positions)));
  if (!g.uv0.empty()) attributes += ",\"TEXCOORD_0\":" + std::to_string(add(floats(g.uv0), g.uv0.size(), 5126, "VEC2"));
  if (!g.uv1.empty()) attributes += ",\"TEXCOORD_1\":" + std::to_string(add(floats(g.uv1), g.uv1.size(), 5126, "VEC2"));
  if (!g.colours.empty()) {
    attributes += ",\"COLOR_0\":" + std::to_string(add(floats(g.colours), g.colours.size(), 5126, "VEC4"));
  }
  std::string indexBytes;
  for (uint16_t i : g.indices) indexBytes.append(reinterpret_cast<const char*>(&i), 2);
  const int indices = add(indexBytes, g.indices.size(), 5123, "SCALAR");
  std::string targets, weights;
  for (const auto& target : g.targets) {
    targets += std::string(targets.empty() ? "" : ",") + "{\"POSITION\":" +
               std::to_string(add(floats(target), target.size(), 5126, "VEC3", bounds(target))) + "}";
    weights += std::string(weights.empty() ? "" : ",") + "0";
  }
  std::string primitive = "{\"attributes\":{" + attributes + "},\"indices\":" + std::to_string(indices) + ",\"mode\":4";
  if (!targets.empty()) primitive += ",\"targets\":[" + targets + "]";
  if (!g.material.empty()) primitive += ",\"material\":0";
  primitive += "}";
  return "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],"
         "\"nodes\":[{" + g.nodeExtras + "\"mesh\":0}],"
         "\"meshes\":[{\"primitives\":[" + primitive + "]" + (weights.empty() ? "" : ",\"weights\":[" + weights + "]") +
         "}],\"buffers\":[{\"byteLength\":" + std::to_string(buffer.size()) +
         ",\"uri\":\"data:application/octet-stream;base64," + Base64(buffer) + "\"}],"
         "\"bufferViews\":[" + views + "],\"accessors\":[" + accessors + "]" +
         (g.material.empty() ? "" : ",\"materials\":[" + g.material + "]") + "}";
}

// A PNG of width x height, RGBA bytes top row first; white 1 x 1 by default.
inline std::string PngBytes(int width = 1, int height = 1, std::vector<unsigned char> rgba = {255, 255, 255, 255}) {
  std::string bytes;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) { static_cast<std::string*>(context)->append(static_cast<char*>(data), size); },
      &bytes, width, height, 4, rgba.data(), width * 4);
  return bytes;
}
inline std::string OnePixelPng() { return PngBytes(); }

// kq7 run in-process.
struct ToolRun {
  int status;
  std::string out, err;
};
inline ToolRun RunTool(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = kq7::RunKq7(args, out, err);
  return {status, out.str(), err.str()};
}

inline std::unique_ptr<Mesh> LoadKq7(const std::string& path) {
  const std::string bytes = ReadFile(path);
  return Mesh::Parse(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), path, path, {});
}

// Position of the vertex at each corner, polygon after polygon.
inline std::vector<std::vector<std::array<float, 3>>> CornerPositions(const Mesh& mesh) {
  std::vector<std::vector<std::array<float, 3>>> polygons;
  std::size_t corner = 0;
  for (std::size_t p = 0; p < mesh.polygonCount(); ++p) {
    const std::size_t m = mesh.Has(AllTriangles) ? 3 : mesh.cornerCounts()[p];
    auto& polygon = polygons.emplace_back();
    for (std::size_t i = 0; i < m; ++i) {
      const std::size_t v = mesh.vertexIndices()[corner + i];
      polygon.push_back({mesh.positions()[3 * v], mesh.positions()[3 * v + 1], mesh.positions()[3 * v + 2]});
    }
    corner += m;
  }
  return polygons;
}

}  // namespace stagwerk::testing
