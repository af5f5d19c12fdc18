#include "kq7/formats/lightwave/ObjectToKq7.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>

#include "kq7/formats/AssembleKq7.h"
#include "kq7/formats/Kq7Fit.h"
#include "kq7/formats/lightwave/Projection.h"
#include "kq7/formats/ToolError.h"
#include "kq7/formats/lightwave/Triangulation.h"

namespace stagwerk::kq7::lightwave {

namespace {

using Colour = std::array<float, 4>;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string Join(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
  return out;
}

// LightWave paths may start with a volume ("Images:brick.iff").
std::string ImageTextureName(const std::string& path) {
  const std::size_t colon = path.find_last_of(':');
  const std::size_t slash = path.find_last_of("/\\");
  if (colon != std::string::npos && (slash == std::string::npos || colon > slash)) {
    return TextureNameOf(path.substr(colon + 1));
  }
  return TextureNameOf(path);
}

// What a skipped map or polygon kind is, for a warning: "curves (POLS CURV, 12)".
std::string KindName(const std::string& kind, int count) {
  static const std::map<std::string, std::string> names{
      {"VMAP WGHT", "weight maps"},    {"VMAP PICK", "selection sets"}, {"VMAP MNVW", "subpatch weights"},
      {"VMAD WGHT", "weight maps"},    {"POLS CURV", "curves"},         {"CRVS", "curves"},
      {"POLS BONE", "skelegon bones"}, {"POLS MBAL", "metaballs"}};
  const auto it = names.find(kind);
  const std::string n = std::to_string(count);
  return it == names.end() ? kind + " (" + n + ")" : it->second + " (" + kind + ", " + n + ")";
}

bool Finite(const Vec3& v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }

// A polygon to convert: its layer and its place there.
struct PolygonRef {
  const Layer* layer;
  std::size_t index;
  const Surface* surface;
  bool described;  // false for a surface the file names but does not describe
};

class Converter {
 public:
  Converter(const LightWaveObject& object, const std::string& file, const LightWaveOptions& options,
            std::vector<std::string>& warnings)
      : object_(object), file_(file), options_(options), warnings_(warnings) {}

  Kq7Description Run() {
    ChooseLayers();
    CollectPolygons();
    ChooseImages();
    CollectMapNames();
    BuildVertices();
    if (!options_.mesh.points) BuildPolygons();
    return Finish();
  }

 private:
  void Warn(const std::string& text) { warnings_.push_back(file_ + ": " + text); }

  void ChooseLayers() {
    if (object_.layers.empty()) throw InputError(file_ + ": holds no points");
    if (!options_.layer) {
      for (const Layer& layer : object_.layers) layers_.push_back(&layer);
      return;
    }
    std::vector<std::string> numbers;
    for (const Layer& layer : object_.layers) {
      if (layer.number + 1 == *options_.layer) {
        if (!Finite(layer.pivot)) {
          throw InputError(file_ + ": layer " + std::to_string(*options_.layer) +
                           " has a pivot that is not a finite number");
        }
        layers_.push_back(&layer);
        shift_ = layer.pivot;
        return;
      }
      numbers.push_back(std::to_string(layer.number + 1));
    }
    throw InputError(file_ + ": has no layer " + std::to_string(*options_.layer) + " (its layers are " + Join(numbers) +
                     ")");
  }

  // The surface and whether the file describes it.
  std::pair<const Surface*, bool> SurfaceOf(const Polygon& polygon) {
    const std::string name = polygon.tag == Polygon::kNoTag ? "Default" : object_.tags[polygon.tag];
    for (const Surface& surface : object_.surfaces) {
      if (surface.name == name) return {&surface, true};
    }
    // A polygon naming a surface the file does not describe: LightWave's defaults.
    const auto [it, added] = defaultSurfaces_.try_emplace(name);
    if (added) it->second.name = name;
    return {&it->second, false};
  }

  void CollectPolygons() {
    int patches = 0;
    for (const Layer* layer : layers_) {
      for (std::size_t p = 0; p < layer->polygons.size(); ++p) {
        const Polygon& polygon = layer->polygons[p];
        if (polygon.kind == PolygonKind::Other || polygon.points.empty()) continue;
        if (polygon.kind == PolygonKind::Patch) ++patches;
        const auto [surface, described] = SurfaceOf(polygon);
        polygons_.push_back({layer, p, surface, described});
        if (std::find(surfaces_.begin(), surfaces_.end(), surface) == surfaces_.end()) surfaces_.push_back(surface);
      }
    }
    if (patches > 0) {
      Warn(std::to_string(patches) + " subdivision patches are kept as their cage polygons, unsmoothed");
    }
    std::vector<std::string> skipped;
    for (const auto& [what, count] : object_.skipped) skipped.push_back(KindName(what, count));
    if (!skipped.empty()) Warn("dropped what a KQ7 mesh cannot hold: " + Join(skipped));
  }

  // Each used surface's colour image, and the mesh's one texture.
  void ChooseImages() {
    std::vector<std::string> names;
    for (const Surface* surface : surfaces_) {
      for (const std::string& what : surface->dropped)
        Warn("surface " + Quoted(surface->name) + ": " + what + " is dropped");
      const ImageMap* chosen = nullptr;
      for (const ImageMap& image : surface->images) {
        if (image.projection == Projection::Front) {
          Warn("surface " + Quoted(surface->name) + ": its front projection of " + image.image +
               " depends on the scene's camera; it is dropped");
          continue;
        }
        if (chosen == nullptr) {
          chosen = &image;
        } else {
          Warn("surface " + Quoted(surface->name) + ": only its first image layer is kept; " + image.image +
               " is dropped");
        }
      }
      images_[surface] = chosen;
      if (chosen == nullptr) continue;
      const std::string name = ImageTextureName(chosen->image);
      if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    texture_ = ChooseTexture(file_, options_.mesh, names, "the surfaces name several images", warnings_);
  }

  // Which maps fill which part: the first UV map, the second UV set, the
  // colour map, the morph targets.
  void CollectMapNames() {
    std::vector<std::string> uvMaps;
    for (const Layer* layer : layers_) {
      const auto add = [&](const std::string& type, const std::string& name) {
        if (type == "TXUV" && std::find(uvMaps.begin(), uvMaps.end(), name) == uvMaps.end()) uvMaps.push_back(name);
        if ((type == "RGB " || type == "RGBA") && !colourMap_) colourMap_ = name;
      };
      for (const VertexMap& map : layer->maps) {
        add(map.type, map.name);
        if ((map.type == "MORF" || map.type == "SPOT") &&
            std::find(morphs_.begin(), morphs_.end(), map.name) == morphs_.end()) {
          morphs_.push_back(map.name);
        }
      }
      for (const PolygonMap& map : layer->polygonMaps) {
        add(map.type, map.name);
        if (map.type == "MORF" || map.type == "SPOT") morphCornerMaps_ = true;
      }
    }
    if (morphCornerMaps_) Warn("per-polygon morph values (VMAD MORF, SPOT) are dropped; the per-point ones are kept");
    if (!uvMaps.empty()) defaultUvMap_ = uvMaps.front();
    // The UV maps the texture uses; the first other one is the second UV set.
    std::set<std::string> used;
    for (const Surface* surface : surfaces_) {
      const ImageMap* image = images_[surface];
      if (image == nullptr) {
        if (defaultUvMap_) used.insert(*defaultUvMap_);
      } else if (image->projection == Projection::Uv) {
        used.insert(image->uvMap.empty() && defaultUvMap_ ? *defaultUvMap_ : image->uvMap);
      }
    }
    for (const std::string& name : uvMaps) {
      if (!used.count(name)) {
        secondUvMap_ = name;
        break;
      }
    }
    CheckKq7Limit(file_, morphs_.size(), "morph targets");
  }

  Vec3 Place(const Vec3& p) const {
    const Vec3 q{p[0] - shift_[0], p[1] - shift_[1], p[2] - shift_[2]};
    return Turn(q);
  }
  // --z-up: the file's +Z becomes the player's +Y and its -Y faces the
  // camera, a turn (no mirror: LightWave's space is already the player's).
  Vec3 Turn(const Vec3& v) const { return options_.mesh.zUp ? Vec3{-v[0], v[2], v[1]} : v; }

  void BuildVertices() {
    for (const Layer* layer : layers_) {
      std::vector<uint32_t>& vertexOf = vertexOf_[layer];
      vertexOf.assign(layer->points.size(), kUnused);
      std::vector<const VertexMap*> morphMaps(morphs_.size(), nullptr);
      for (const VertexMap& map : layer->maps) {
        for (std::size_t t = 0; t < morphs_.size(); ++t) {
          if ((map.type == "MORF" || map.type == "SPOT") && map.name == morphs_[t] && morphMaps[t] == nullptr) {
            morphMaps[t] = &map;
          }
        }
      }
      // A polygon mesh keeps the points its polygons use, in the order they
      // first use them; a point set every point, in the file's order.
      std::vector<uint32_t> order;
      if (options_.mesh.points) {
        for (uint32_t i = 0; i < layer->points.size(); ++i) order.push_back(i);
      } else {
        std::vector<bool> seen(layer->points.size(), false);
        for (const PolygonRef& ref : polygons_) {
          if (ref.layer != layer) continue;
          for (uint32_t point : layer->polygons[ref.index].points) {
            if (!seen[point]) seen[point] = true, order.push_back(point);
          }
        }
      }
      std::vector<float> key;
      for (const uint32_t i : order) {
        const Vec3& base = layer->points[i];
        const Vec3 place = Place(base);  // finite too: less a pivot, a huge point may overflow
        if (!Finite(base) || !Finite(place)) {
          throw InputError(file_ + ": point " + std::to_string(i) + " of layer " + std::to_string(layer->number + 1) +
                           " has a coordinate that is not a finite number");
        }
        key.assign(place.begin(), place.end());
        for (std::size_t t = 0; t < morphs_.size(); ++t) {
          Vec3 delta{0, 0, 0};
          if (const VertexMap* map = morphMaps[t]) {
            const auto it = map->values.find(i);
            if (it != map->values.end()) {
              const MapValue& v = it->second;
              delta =
                  map->type == "MORF" ? Vec3{v[0], v[1], v[2]} : Vec3{v[0] - base[0], v[1] - base[1], v[2] - base[2]};
            }
          }
          delta = Turn(delta);
          if (!Finite(delta)) {
            throw InputError(file_ + ": morph map " + Quoted(morphs_[t]) + " moves point " + std::to_string(i) +
                             " by a non-finite amount");
          }
          key.insert(key.end(), delta.begin(), delta.end());
        }
        // Welded, equal places (moved alike) share a vertex; unwelded each
        // LightWave point stays one vertex of its own.
        if (!options_.mesh.weld) key.push_back(static_cast<float>(serial_++));
        vertexOf[i] = mesh_.vertices.Index(key);
      }
    }
    CheckKq7Limit(file_, mesh_.vertices.values().size(), "vertices");
  }

  std::optional<std::array<float, 4>> CornerValue(const Layer& layer, std::size_t polygon, uint32_t point,
                                                  const std::string& name, bool colour) const {
    const auto typeFits = [&](const std::string& type) {
      return colour ? type == "RGB " || type == "RGBA" : type == "TXUV";
    };
    for (const PolygonMap& map : layer.polygonMaps) {
      if (map.name != name || !typeFits(map.type)) continue;
      const auto it = map.values.find({static_cast<uint32_t>(polygon), point});
      if (it != map.values.end()) return Complete(it->second, map.dimension);
    }
    for (const VertexMap& map : layer.maps) {
      if (map.name != name || !typeFits(map.type)) continue;
      const auto it = map.values.find(point);
      if (it != map.values.end()) return Complete(it->second, map.dimension);
    }
    return std::nullopt;
  }
  // RGB without alpha is opaque.
  static std::array<float, 4> Complete(MapValue v, int dimension) {
    if (dimension == 3) v[3] = 1;
    return v;
  }

  Uv CheckedUv(const std::array<float, 2>& uv) const {
    if (!std::isfinite(uv[0]) || !std::isfinite(uv[1]))
      throw InputError(file_ + ": has a UV that is not a finite number");
    return uv;
  }

  // The UVs of a polygon's corners: the surface's image, else the first UV map.
  std::vector<std::optional<Uv>> CornerUvs(const PolygonRef& ref, const ImageMap* image,
                                           const std::vector<Vec3>& places) const {
    const Layer& layer = *ref.layer;
    const Polygon& polygon = layer.polygons[ref.index];
    const std::size_t n = polygon.points.size();
    std::vector<std::optional<Uv>> uv(n);
    if (image != nullptr && image->projection != Projection::Uv) {
      const std::vector<Uv> projected = ProjectPolygon(*image, places);
      for (std::size_t c = 0; c < n && c < projected.size(); ++c) uv[c] = projected[c];
      return uv;
    }
    std::optional<std::string> map = defaultUvMap_;
    if (image != nullptr && !image->uvMap.empty()) map = image->uvMap;
    if (!map) return uv;
    for (std::size_t c = 0; c < n; ++c) {
      if (const auto v = CornerValue(layer, ref.index, polygon.points[c], *map, false)) uv[c] = Uv{(*v)[0], (*v)[1]};
    }
    return uv;
  }

  std::vector<Uv> SecondUvs(const PolygonRef& ref) const {
    const Polygon& polygon = ref.layer->polygons[ref.index];
    std::vector<Uv> uv2(polygon.points.size(), Uv{0, 0});
    if (!secondUvMap_) return uv2;
    for (std::size_t c = 0; c < uv2.size(); ++c) {
      if (const auto v = CornerValue(*ref.layer, ref.index, polygon.points[c], *secondUvMap_, false)) {
        uv2[c] = {(*v)[0], (*v)[1]};
      }
    }
    return uv2;
  }

  // Colours: the colour map, else the surface's colour where it has no
  // image. A surface the file names but does not describe has no colour to
  // keep: it stays white.
  std::vector<Colour> CornerColours(const PolygonRef& ref, const ImageMap* image) {
    const Polygon& polygon = ref.layer->polygons[ref.index];
    const bool plain = image == nullptr && options_.mesh.texture.empty() && ref.described;
    Colour fallback = plain ? Colour{ref.surface->colour[0], ref.surface->colour[1], ref.surface->colour[2], 1}
                            : Colour{1, 1, 1, 1};
    // The diffuse level darkens what the light shows; a glowing surface is
    // drawn unlit at full colour.
    const float level = !ref.described || ref.surface->luminosity >= 0.5f ? 1.0f : ref.surface->diffuse;
    if (plain || level < 1) anyPlain_ = true;
    std::vector<Colour> colour(polygon.points.size(), fallback);
    // The colour map the surface names (VCOL), else the object's first.
    const std::optional<std::string> colourMap =
        ref.surface->colourMap.empty() ? colourMap_ : std::optional<std::string>(ref.surface->colourMap);
    for (std::size_t c = 0; colourMap && c < colour.size(); ++c) {
      if (const auto v = CornerValue(*ref.layer, ref.index, polygon.points[c], *colourMap, true)) colour[c] = *v;
    }
    for (Colour& c : colour) {
      for (int i = 0; i < 3; ++i) c[static_cast<std::size_t>(i)] *= level;
    }
    return colour;
  }

  struct Corner {
    uint32_t vertex, uv, uv2, colour;
  };

  // The polygon as corners, or as the triangles --triangulate cuts it into.
  void Emit(const std::vector<Corner>& corners, const std::vector<Vec3>& places) {
    const auto emit = [&](const std::vector<std::size_t>& which) {
      std::vector<uint32_t> vertexList;
      for (std::size_t c : which) {
        vertexList.push_back(corners[c].vertex);
        mesh_.uvIndices.push_back(corners[c].uv);
        mesh_.uv2Indices.push_back(corners[c].uv2);
        mesh_.colourIndices.push_back(corners[c].colour);
      }
      mesh_.polygons.push_back(std::move(vertexList));
    };
    if (options_.triangulate && corners.size() > 3) {
      for (const auto& t : Triangulate(places)) emit({t[0], t[1], t[2]});
      return;
    }
    std::vector<std::size_t> all(corners.size());
    for (std::size_t c = 0; c < all.size(); ++c) all[c] = c;
    emit(all);
  }

  // Returns how many of its textured corners have no UV.
  std::size_t BuildPolygon(const PolygonRef& ref) {
    const Layer& layer = *ref.layer;
    const Polygon& polygon = layer.polygons[ref.index];
    const std::size_t n = polygon.points.size();
    if (n > kMaxKq7Count) {
      throw InputError(file_ + ": polygon " + std::to_string(ref.index) + " of layer " +
                       std::to_string(layer.number + 1) + " has " + GroupedNumber(n) +
                       " corners; a KQ7 polygon holds at most " + GroupedNumber(kMaxKq7Count));
    }
    std::vector<Vec3> places;
    places.reserve(n);
    for (uint32_t point : polygon.points) places.push_back(layer.points[point]);

    const ImageMap* image = images_[ref.surface];
    const std::vector<std::optional<Uv>> uv = CornerUvs(ref, image, places);
    const std::vector<Uv> uv2 = SecondUvs(ref);
    const std::vector<Colour> colour = CornerColours(ref, image);
    const bool textured = image != nullptr || !options_.mesh.texture.empty();
    std::size_t missingUvs = 0;
    std::vector<Corner> corners(n);
    for (std::size_t c = 0; c < n; ++c) {
      anyUv_ |= uv[c].has_value();
      if (!uv[c] && textured) ++missingUvs;
      for (float x : colour[c]) {
        if (!std::isfinite(x)) throw InputError(file_ + ": has a colour that is not a finite number");
      }
      corners[c] = {vertexOf_[&layer][polygon.points[c]], mesh_.uvs.Index(CheckedUv(uv[c].value_or(Uv{0, 0}))),
                    mesh_.uvs2.Index(CheckedUv(uv2[c])), mesh_.colours.Index(colour[c])};
    }
    Emit(corners, places);
    return missingUvs;
  }

  void BuildPolygons() {
    std::size_t missingUvs = 0;
    for (const PolygonRef& ref : polygons_) missingUvs += BuildPolygon(ref);
    if (missingUvs > 0 && anyUv_) {
      Warn(std::to_string(missingUvs) + " textured polygon corners have no UV in their map; they get (0, 0)");
    }
  }

  Kq7Description Finish() {
    mesh_.morphTargets = morphs_.size();
    mesh_.texture = texture_;
    mesh_.anyUv = anyUv_;
    mesh_.anySecondUv = secondUvMap_.has_value();
    mesh_.anyColours = colourMap_.has_value() || anyPlain_;
    const SourceWords words{"holds no points",
                            "no surface names an image",
                            "its surfaces have no UVs",
                            "second UV map",
                            secondUvMap_ ? "the UV map " + Quoted(*secondUvMap_) + " is" : "",
                            "the colour map is"};
    return AssembleKq7(mesh_, file_, options_.mesh, words, warnings_);
  }

  static constexpr uint32_t kUnused = 0xFFFFFFFF;

  const LightWaveObject& object_;
  const std::string& file_;
  const LightWaveOptions& options_;
  std::vector<std::string>& warnings_;

  std::vector<const Layer*> layers_;
  Vec3 shift_{0, 0, 0};
  std::map<std::string, Surface> defaultSurfaces_;
  std::vector<PolygonRef> polygons_;
  std::vector<const Surface*> surfaces_;  // used, first use first
  std::map<const Surface*, const ImageMap*> images_;
  std::string texture_;
  std::optional<std::string> defaultUvMap_, secondUvMap_, colourMap_;
  std::vector<std::string> morphs_;
  bool morphCornerMaps_ = false;

  std::map<const Layer*, std::vector<uint32_t>> vertexOf_;
  float serial_ = 0;
  GatheredMesh mesh_;
  bool anyUv_ = false, anyPlain_ = false;
};

}  // namespace

Kq7Description ObjectToKq7(const LightWaveObject& object, const std::string& file, const LightWaveOptions& options,
                           std::vector<std::string>& warnings) {
  return Converter(object, file, options, warnings).Run();
}

bool IsLightWaveObjectFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char head[12] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  return in.gcount() == sizeof head && IsLightWaveObject(head, sizeof head);
}

Kq7Description ConvertLightWaveFile(const std::string& path, const LightWaveOptions& options,
                                    std::vector<std::string>& warnings) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw InputError(path + ": is a directory, not a 3D file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError(path + ": cannot open it: " + std::strerror(errno));
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty()) throw InputError(path + ": the file is empty");
  const LightWaveObject object = ReadLightWaveObject(bytes.data(), bytes.size(), path);
  return ObjectToKq7(object, path, options, warnings);
}

}  // namespace stagwerk::kq7::lightwave
