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
    texture_ = options_.mesh.texture;
    if (options_.mesh.points) {
      if (!texture_.empty()) Warn("--texture is not used by a point set; its sprites show --env or --texture2");
      texture_.clear();
    } else if (texture_.empty() && !names.empty()) {
      texture_ = names.front();
      if (names.size() > 1) {
        Warn("the surfaces name several images (" + Join(names) + "); the first, " + texture_ + ", is used");
      }
    }
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
        vertexOf[i] = vertices_.Index(key);
      }
    }
    CheckKq7Limit(file_, vertices_.values().size(), "vertices");
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

  void BuildPolygons() {
    const bool textureGiven = !options_.mesh.texture.empty();
    std::size_t missingUvs = 0;
    for (const PolygonRef& ref : polygons_) {
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

      // UVs: the surface's image, else the first UV map.
      const ImageMap* image = images_[ref.surface];
      std::vector<std::optional<Uv>> uv(n);
      if (image != nullptr && image->projection != Projection::Uv) {
        const std::vector<Uv> projected = ProjectPolygon(*image, places);
        for (std::size_t c = 0; c < n && c < projected.size(); ++c) uv[c] = projected[c];
      } else {
        std::optional<std::string> map = defaultUvMap_;
        if (image != nullptr && !image->uvMap.empty()) map = image->uvMap;
        if (map) {
          for (std::size_t c = 0; c < n; ++c) {
            if (const auto v = CornerValue(layer, ref.index, polygon.points[c], *map, false))
              uv[c] = Uv{(*v)[0], (*v)[1]};
          }
        }
      }
      std::vector<Uv> uv2(n, Uv{0, 0});
      if (secondUvMap_) {
        for (std::size_t c = 0; c < n; ++c) {
          if (const auto v = CornerValue(layer, ref.index, polygon.points[c], *secondUvMap_, false)) {
            uv2[c] = {(*v)[0], (*v)[1]};
          }
        }
      }
      // Colours: the colour map, else the surface's colour where it has no
      // image. A surface the file names but does not describe has no colour
      // to keep: it stays white.
      const bool plain = image == nullptr && options_.mesh.texture.empty() && ref.described;
      const Colour fallback = plain ? Colour{ref.surface->colour[0], ref.surface->colour[1], ref.surface->colour[2], 1}
                                    : Colour{1, 1, 1, 1};
      if (plain) anyPlain_ = true;
      std::vector<Colour> colour(n, fallback);
      // The colour map the surface names (VCOL), else the object's first.
      const std::optional<std::string> colourMap =
          ref.surface->colourMap.empty() ? colourMap_ : std::optional<std::string>(ref.surface->colourMap);
      if (colourMap) {
        for (std::size_t c = 0; c < n; ++c) {
          if (const auto v = CornerValue(layer, ref.index, polygon.points[c], *colourMap, true)) colour[c] = *v;
        }
      }

      struct Corner {
        uint32_t vertex, uv, uv2, colour;
      };
      std::vector<Corner> corners(n);
      for (std::size_t c = 0; c < n; ++c) {
        anyUv_ |= uv[c].has_value();
        if (!uv[c] && (image != nullptr || textureGiven)) ++missingUvs;
        for (float x : colour[c]) {
          if (!std::isfinite(x)) throw InputError(file_ + ": has a colour that is not a finite number");
        }
        corners[c] = {vertexOf_[&layer][polygon.points[c]], uvs_.Index(CheckedUv(uv[c].value_or(Uv{0, 0}))),
                      uvs2_.Index(CheckedUv(uv2[c])), colours_.Index(colour[c])};
      }
      const auto emit = [&](const std::vector<std::size_t>& which) {
        std::vector<uint16_t> vertexList;
        for (std::size_t c : which) {
          vertexList.push_back(static_cast<uint16_t>(corners[c].vertex));
          uvIndices_.push_back(corners[c].uv);
          uv2Indices_.push_back(corners[c].uv2);
          colourIndices_.push_back(corners[c].colour);
        }
        out_.polygons.push_back(std::move(vertexList));
      };
      if (options_.triangulate && n > 3) {
        for (const auto& t : Triangulate(places)) emit({t[0], t[1], t[2]});
      } else {
        std::vector<std::size_t> all(n);
        for (std::size_t c = 0; c < n; ++c) all[c] = c;
        emit(all);
      }
    }
    if (missingUvs > 0 && anyUv_) {
      Warn(std::to_string(missingUvs) + " textured polygon corners have no UV in their map; they get (0, 0)");
    }
  }

  Kq7Description Finish() {
    const std::size_t vertexCount = vertices_.values().size();
    if (options_.mesh.points) {
      if (vertexCount == 0) throw InputError(file_ + ": holds no points");
    } else {
      if (out_.polygons.empty()) throw InputError(file_ + ": holds no polygons (a point set needs --points)");
      CheckKq7Limit(file_, out_.polygons.size(), "polygons");
    }
    out_.flags = options_.mesh.points ? 0 : HasPolygons;
    for (const std::vector<float>& v : vertices_.values()) out_.positions.push_back({v[0], v[1], v[2]});
    bool allTriangles = !out_.polygons.empty();
    for (const auto& polygon : out_.polygons) allTriangles &= polygon.size() == 3;
    if (allTriangles) out_.flags |= AllTriangles;
    const auto narrow = [](const std::vector<uint32_t>& in) { return std::vector<uint16_t>(in.begin(), in.end()); };

    if (!options_.mesh.points) {
      if (anyUv_ && !texture_.empty()) {
        CheckKq7Name(file_, texture_, "texture");
        CheckKq7Limit(file_, uvs_.values().size(), "UVs");
        out_.flags |= HasTexture;
        out_.textureName = texture_;
        out_.uvs = uvs_.values();
        out_.uvIndices = narrow(uvIndices_);
      } else if (anyUv_) {
        Warn("the UVs are dropped: no surface names an image (name one with --texture NAME)");
      } else if (!options_.mesh.texture.empty()) {
        throw InputError(file_ + ": has no UVs to put the texture " + options_.mesh.texture + " on");
      } else if (!texture_.empty()) {
        Warn("the texture " + texture_ + " is dropped: its surfaces have no UVs");
      }
    }

    const bool anyColours = colourMap_.has_value() || anyPlain_;
    if (anyColours && !options_.mesh.points) {
      CheckKq7Limit(file_, colours_.values().size(), "colours");
      out_.flags |= HasColours;
      out_.colours = colours_.values();
      out_.colourIndices = narrow(colourIndices_);
    } else if (colourMap_) {
      Warn("the colour map is dropped: a point set has no corners to colour");
    }

    if (!options_.mesh.texture2.empty()) {
      CheckKq7Name(file_, options_.mesh.texture2, "second texture");
      if (!options_.mesh.points && !secondUvMap_) {
        throw InputError(file_ + ": has no second UV map to put the texture " + options_.mesh.texture2 + " on");
      }
      CheckKq7Limit(file_, uvs2_.values().size(), "second UVs");
      out_.flags |= HasSecondTexture;
      out_.secondTextureName = options_.mesh.texture2;
      out_.uvs2 = uvs2_.values();
      out_.uv2Indices = narrow(uv2Indices_);
    } else if (secondUvMap_ && !options_.mesh.points) {
      Warn("the UV map " + Quoted(*secondUvMap_) + " is dropped: name its texture with --texture2 NAME");
    }

    if (!options_.mesh.environmentMap.empty()) {
      CheckKq7Name(file_, options_.mesh.environmentMap, "environment map");
      out_.flags |= HasEnvironmentMap;
      out_.environmentMapName = options_.mesh.environmentMap;
      if (!options_.mesh.texture2.empty()) {
        Warn("with --texture2 the player shows " + options_.mesh.texture2 + " and not the environment map " +
             options_.mesh.environmentMap);
      }
    }

    if (!morphs_.empty()) {
      out_.flags |= HasMorphTargets;
      out_.morphTargets.resize(morphs_.size());
      for (std::size_t v = 0; v < vertexCount; ++v) {
        const std::vector<float>& key = vertices_.values()[v];
        for (std::size_t t = 0; t < morphs_.size(); ++t) {
          const float* d = &key[3 * (t + 1)];
          if (d[0] != 0 || d[1] != 0 || d[2] != 0) {
            out_.morphTargets[t].push_back({d[0], d[1], d[2], static_cast<uint16_t>(v)});
          }
        }
      }
    }
    return std::move(out_);
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
  Pool<std::vector<float>> vertices_;
  float serial_ = 0;
  Pool<Uv> uvs_, uvs2_;
  Pool<Colour> colours_;
  std::vector<uint32_t> uvIndices_, uv2Indices_, colourIndices_;
  bool anyUv_ = false, anyPlain_ = false;
  Kq7Description out_;
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
