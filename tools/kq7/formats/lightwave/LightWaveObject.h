#pragma once
// A LightWave object as its file holds it (LWOB, LWLO or LWO2): layers of
// points and polygons, the vertex maps that matter for a mesh, and the
// surfaces with their colour and image texture. No meaning is added here:
// see ObjectToKq7.h for what becomes of it.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "kq7/formats/lightwave/ChunkReader.h"

namespace stagwerk::kq7::lightwave {

using MapValue = std::array<float, 4>;  // up to four values, the rest 0

// Per point values of one map (LWO2 VMAP), by point index in its layer.
struct VertexMap {
  std::string type;  // TXUV, RGB, RGBA, MORF or SPOT
  std::string name;
  int dimension = 0;
  std::unordered_map<uint32_t, MapValue> values;
};

// Per polygon corner values (LWO2 VMAD), by (polygon, point) in its layer.
struct PolygonMap {
  std::string type;
  std::string name;
  int dimension = 0;
  std::map<std::pair<uint32_t, uint32_t>, MapValue> values;
};

enum class PolygonKind { Face, Patch, Other };

struct Polygon {
  std::vector<uint32_t> points;  // indices into the layer's points, checked
  // Index into the object's tags (LWO2 TAGS; LWOB SRFS); kNoTag when none.
  uint32_t tag = kNoTag;
  PolygonKind kind = PolygonKind::Face;
  static constexpr uint32_t kNoTag = 0xFFFFFFFF;
};

struct Layer {
  int number = 0;  // as the file numbers it (LWO2 from 0)
  int parent = -1;
  Vec3 pivot{0, 0, 0};
  std::string name;
  std::vector<Vec3> points;
  std::vector<Polygon> polygons;
  std::vector<VertexMap> maps;
  std::vector<PolygonMap> polygonMaps;
};

enum class Projection { Planar = 0, Cylindrical = 1, Spherical = 2, Cubic = 3, Front = 4, Uv = 5 };

// An image mapped onto a surface's colour: LWO2's BLOK IMAP on the COLR
// channel, LWOB's CTEX image maps.
struct ImageMap {
  Projection projection = Projection::Planar;
  int axis = 2;  // 0 X, 1 Y, 2 Z
  Vec3 centre{0, 0, 0};
  Vec3 size{1, 1, 1};
  Vec3 rotation{0, 0, 0};  // heading, pitch, bank in radians
  float widthWraps = 1, heightWraps = 1;
  std::string image;  // the file as the object names it; empty when the clip is missing
  std::string uvMap;  // the TXUV map of a UV projection
};

struct Surface {
  std::string name;
  Vec3 colour{200.0f / 255, 200.0f / 255, 200.0f / 255};  // LightWave's default grey
  std::vector<ImageMap> images;                           // colour image maps, top layer first as the file lists them
  std::string colourMap;                                  // the RGB/RGBA map named by VCOL
  float diffuse = 1;                                      // DIFF, where the file gives it
  float luminosity = 0;                                   // LUMI
  // What the surface has that a KQ7 mesh cannot show, for warnings.
  std::vector<std::string> dropped;
};

struct LightWaveObject {
  std::string format;  // LWO2, LWOB or LWLO
  std::vector<std::string> tags;
  std::vector<Layer> layers;
  std::vector<Surface> surfaces;
  // Map and polygon kinds read but not kept (weight maps, curves, ...), with
  // their counts, for warnings.
  std::map<std::string, int> skipped;
};

// True when every surface the polygons use is luminous enough that the
// player should draw the object unlit.
bool LuminousObject(const LightWaveObject& object);

// True for the first bytes of an LWO2, LWOB or LWLO file.
bool IsLightWaveObject(const unsigned char* data, std::size_t size);

// Throws InputError naming file for anything that does not read: a chunk or
// value running past its size, an index past its list, a cut-short file.
LightWaveObject ReadLightWaveObject(const unsigned char* data, std::size_t size, const std::string& file);

}  // namespace stagwerk::kq7::lightwave
