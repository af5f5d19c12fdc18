// LWO2 (LightWave 6 and later), LWOB (LightWave 5) and LWLO (LightWave 5
// with layers) read into a LightWaveObject. Every read goes through a
// ChunkReader bounded by its chunk's size; every index is checked against
// the list it points into.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "kq7/formats/lightwave/LightWaveObject.h"
#include "kq7/formats/ToolError.h"

namespace stagwerk::kq7::lightwave {

namespace {

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// A surface level as LightWave shows it: 0 to 100 %, NaN as none.
float Level(float x) { return std::isfinite(x) ? std::clamp(x, 0.0f, 1.0f) : 0.0f; }

std::string Count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// What LWO2 and LWOB share: layers, points, vertex indices relative to the
// most recent PNTS chunk, polygon indices relative to the most recent POLS.
class ReaderBase {
 public:
  ReaderBase(LightWaveObject& object, const std::string& file) : object_(object), file_(file) {}

 protected:
  Layer& CurrentLayer() {
    if (object_.layers.empty()) object_.layers.emplace_back();  // a file without LAYR has one layer
    return object_.layers.back();
  }

  void NewLayer(Layer layer) {
    object_.layers.push_back(std::move(layer));
    pointOffset_ = polygonOffset_ = 0;
  }

  void ReadPoints(ChunkReader& in) {
    Layer& layer = CurrentLayer();
    if (in.Remaining() % 12 != 0) {
      in.Fail("its size " + std::to_string(in.Remaining()) + " is not a whole number of points (12 bytes each)");
    }
    pointOffset_ = layer.points.size();
    layer.points.reserve(layer.points.size() + in.Remaining() / 12);
    while (!in.AtEnd()) layer.points.push_back(in.Vec12());
  }

  // A point index (VX in LWO2, U2 in LWOB) read and checked against the
  // layer's points.
  uint32_t ReadPointIndex(ChunkReader& in, bool vx) {
    const std::size_t at = in.FileOffset();
    const std::size_t point = pointOffset_ + (vx ? in.Vx() : in.U2());
    const std::size_t count = CurrentLayer().points.size();
    if (point >= count)
      in.FailAt(at,
                "point " + std::to_string(point) + " is named but the layer has " + Count(count, "point", "points"));
    return static_cast<uint32_t>(point);
  }

  uint32_t ReadPolygonIndex(ChunkReader& in) {
    const std::size_t at = in.FileOffset();
    const std::size_t polygon = polygonOffset_ + in.Vx();
    const std::size_t count = CurrentLayer().polygons.size();
    if (polygon >= count) {
      in.FailAt(at, "polygon " + std::to_string(polygon) + " is named but the layer has " +
                        Count(count, "polygon", "polygons"));
    }
    return static_cast<uint32_t>(polygon);
  }

  void StartPolygons() { polygonOffset_ = CurrentLayer().polygons.size(); }

  void Skipped(const std::string& what) { ++object_.skipped[what]; }

  // Checks every polygon's tag once the whole file is read: TAGS and SRFS
  // may come after the polygons that use them.
  void CheckTags() {
    for (const Layer& layer : object_.layers) {
      for (std::size_t p = 0; p < layer.polygons.size(); ++p) {
        const uint32_t tag = layer.polygons[p].tag;
        if (tag != Polygon::kNoTag && tag >= object_.tags.size()) {
          throw InputError(file_ + ": polygon " + std::to_string(p) + " of layer " + std::to_string(layer.number + 1) +
                           " names surface tag " + std::to_string(tag) + " but the object has " +
                           Count(object_.tags.size(), "tag", "tags"));
        }
      }
    }
  }

  LightWaveObject& object_;
  const std::string& file_;

 private:
  std::size_t pointOffset_ = 0;
  std::size_t polygonOffset_ = 0;
};

// ---------------------------------------------------------------- LWO2

class Lwo2Reader : public ReaderBase {
 public:
  using ReaderBase::ReaderBase;

  void Read(ChunkReader& body) {
    while (auto chunk = NextChunk(body)) {
      ChunkReader& in = chunk->data;
      const std::string& id = chunk->id;
      if (id == "LAYR") {
        ReadLayer(in);
      } else if (id == "PNTS") {
        ReadPoints(in);
      } else if (id == "POLS") {
        ReadPolygons(in);
      } else if (id == "PTAG") {
        ReadPolygonTags(in);
      } else if (id == "TAGS") {
        while (!in.AtEnd()) object_.tags.push_back(in.S0());
      } else if (id == "VMAP") {
        ReadVertexMap(in, false);
      } else if (id == "VMAD") {
        ReadVertexMap(in, true);
      } else if (id == "CLIP") {
        ReadClip(in);
      } else if (id == "SURF") {
        ReadSurface(in);
      }
      // BBOX, ENVL, DESC, TEXT, ICON, VMPA and the rest tell a mesh nothing.
    }
    ResolveClips();
    CheckTags();
  }

 private:
  struct ImageClip {
    std::size_t surface, image;
    uint32_t clip;
  };

  void ReadLayer(ChunkReader& in) {
    Layer layer;
    layer.number = in.U2();
    in.U2();  // flags: hidden or not, the same to us
    layer.pivot = in.Vec12();
    layer.name = in.S0();
    if (in.Remaining() >= 2) layer.parent = in.I2();
    NewLayer(std::move(layer));
  }

  void ReadPolygons(ChunkReader& in) {
    const std::string type = in.Id4();
    const PolygonKind kind = type == "FACE"                     ? PolygonKind::Face
                             : type == "PTCH" || type == "SUBD" ? PolygonKind::Patch
                                                                : PolygonKind::Other;
    StartPolygons();
    Layer& layer = CurrentLayer();
    while (!in.AtEnd()) {
      const std::size_t count = in.U2() & 0x03FF;  // the top six bits are flags
      Polygon polygon;
      polygon.kind = kind;
      polygon.points.reserve(count);
      for (std::size_t i = 0; i < count; ++i) polygon.points.push_back(ReadPointIndex(in, true));
      layer.polygons.push_back(std::move(polygon));
      if (kind == PolygonKind::Other) Skipped("POLS " + type);
    }
  }

  void ReadPolygonTags(ChunkReader& in) {
    const std::string type = in.Id4();
    if (type != "SURF") return;  // parts, smoothing groups: nothing a KQ7 mesh keeps
    Layer& layer = CurrentLayer();
    while (!in.AtEnd()) {
      const uint32_t polygon = ReadPolygonIndex(in);
      layer.polygons[polygon].tag = in.U2();
    }
  }

  static int DimensionOf(const std::string& type) {
    if (type == "TXUV") return 2;
    if (type == "RGB ") return 3;
    if (type == "RGBA") return 4;
    if (type == "MORF" || type == "SPOT") return 3;
    return 0;
  }

  void ReadVertexMap(ChunkReader& in, bool perPolygon) {
    const std::string type = in.Id4();
    const int dimension = in.U2();
    const std::string name = in.S0();
    const int wanted = DimensionOf(type);
    if (wanted == 0 || dimension != wanted) {
      Skipped(std::string(perPolygon ? "VMAD " : "VMAP ") + type);
      return;
    }
    Layer& layer = CurrentLayer();
    if (perPolygon) {
      PolygonMap& map = FindOrAdd(layer.polygonMaps, type, name, dimension);
      while (!in.AtEnd()) {
        const uint32_t point = ReadPointIndex(in, true);
        const uint32_t polygon = ReadPolygonIndex(in);
        map.values[{polygon, point}] = ReadValue(in, dimension);
      }
    } else {
      VertexMap& map = FindOrAdd(layer.maps, type, name, dimension);
      while (!in.AtEnd()) {
        const uint32_t point = ReadPointIndex(in, true);
        map.values[point] = ReadValue(in, dimension);
      }
    }
  }

  template <typename Map>
  static Map& FindOrAdd(std::vector<Map>& maps, const std::string& type, const std::string& name, int dimension) {
    for (Map& map : maps) {
      if (map.type == type && map.name == name) return map;
    }
    Map& map = maps.emplace_back();
    map.type = type;
    map.name = name;
    map.dimension = dimension;
    return map;
  }

  static MapValue ReadValue(ChunkReader& in, int dimension) {
    MapValue value{0, 0, 0, 0};
    for (int i = 0; i < dimension; ++i) value[static_cast<std::size_t>(i)] = in.F4();
    return value;
  }

  void ReadClip(ChunkReader& in) {
    const uint32_t index = in.U4();
    while (auto sub = NextSubChunk(in)) {
      ChunkReader& s = sub->data;
      if (sub->id == "STIL") {
        clips_[index] = {s.S0(), false, 0};
      } else if (sub->id == "ISEQ") {
        // An image sequence: its first frame stands for it.
        const int digits = s.U1();
        s.U1();  // flags
        s.I2();  // offset
        s.U2();  // reserved
        const int start = s.I2();
        s.I2();  // end
        const std::string prefix = s.S0();
        const std::string suffix = s.S0();
        std::string number = std::to_string(std::abs(start));
        while (static_cast<int>(number.size()) < std::min(digits, 16)) number.insert(0, "0");
        clips_[index] = {prefix + (start < 0 ? "-" : "") + number + suffix, false, 0};
      } else if (sub->id == "XREF") {
        const uint32_t other = s.U4();
        clips_[index] = {"", true, other};
      }
    }
  }

  void ResolveClips() {
    for (const ImageClip& use : imageClips_) {
      uint32_t clip = use.clip;
      std::string path;
      // XREF names another clip; a chain longer than the clips is a loop.
      for (std::size_t step = 0; step <= clips_.size(); ++step) {
        const auto it = clips_.find(clip);
        if (it == clips_.end()) break;
        if (!it->second.reference) {
          path = it->second.path;
          break;
        }
        clip = it->second.other;
      }
      Surface& surface = object_.surfaces[use.surface];
      surface.images[use.image].image = path;
      if (path.empty())
        surface.dropped.push_back("an image map whose clip " + std::to_string(use.clip) + " names no file");
    }
  }

  void ReadSurface(ChunkReader& in) {
    Surface surface;
    surface.name = in.S0();
    in.S0();  // the surface it was made from; its values are written out in full here
    const std::size_t index = object_.surfaces.size();
    ChunkReader body = in.Take(in.Remaining(), in.where() + " " + Quoted(surface.name));
    while (auto sub = NextSubChunk(body)) {
      ChunkReader& s = sub->data;
      if (sub->id == "COLR") {
        surface.colour = s.Vec12();
      } else if (sub->id == "DIFF") {
        surface.diffuse = Level(s.F4());
      } else if (sub->id == "LUMI") {
        surface.luminosity = Level(s.F4());
      } else if (sub->id == "VCOL") {
        s.F4();  // intensity
        s.Vx();  // its envelope
        const std::string type = s.Id4();
        const std::string name = s.S0();
        if (type == "RGB " || type == "RGBA") surface.colourMap = name;
      } else if (sub->id == "BLOK") {
        ReadBlock(s, surface, index);
      }
    }
    object_.surfaces.push_back(std::move(surface));
  }

  void ReadBlock(ChunkReader& in, Surface& surface, std::size_t surfaceIndex) {
    auto header = NextSubChunk(in);
    if (!header) return;
    const std::string kind = header->id;
    std::string channel = "COLR";
    bool enabled = true;
    header->data.S0();  // ordinal: the file lists blocks in order already
    while (auto sub = NextSubChunk(header->data)) {
      if (sub->id == "CHAN") channel = sub->data.Id4();
      if (sub->id == "ENAB") enabled = sub->data.U2() != 0;
    }
    if (!enabled || kind == "SHDR") return;
    if (kind != "IMAP") {
      if (channel == "COLR") surface.dropped.push_back(kind == "GRAD" ? "a gradient" : "a procedural texture");
      return;
    }
    if (channel != "COLR") {
      surface.dropped.push_back("an image map on its " + channel + " channel");
      return;
    }
    ImageMap map;
    bool hasClip = false;
    std::string unknown;  // a projection or axis past what LightWave writes
    uint32_t clip = 0;
    while (auto sub = NextSubChunk(in)) {
      ChunkReader& s = sub->data;
      const std::string& id = sub->id;
      if (id == "TMAP") {
        while (auto t = NextSubChunk(s)) {
          if (t->id == "CNTR") map.centre = t->data.Vec12();
          if (t->id == "SIZE") map.size = t->data.Vec12();
          if (t->id == "ROTA") map.rotation = t->data.Vec12();
        }
      } else if (id == "PROJ") {
        const int projection = s.U2();
        if (projection > 5) unknown = "projection " + std::to_string(projection);
        map.projection = static_cast<Projection>(std::min(projection, 5));
      } else if (id == "AXIS") {
        const int axis = s.U2();
        if (axis > 2) unknown = "axis " + std::to_string(axis);
        map.axis = std::min(axis, 2);
      } else if (id == "IMAG") {
        clip = s.Vx();
        hasClip = true;
      } else if (id == "WRPW") {
        map.widthWraps = s.F4();
      } else if (id == "WRPH") {
        map.heightWraps = s.F4();
      } else if (id == "VMAP") {
        map.uvMap = s.S0();
      }
    }
    if (!hasClip) {
      surface.dropped.push_back("an image map without an image");
      return;
    }
    if (!unknown.empty()) {
      surface.dropped.push_back("an image map with " + unknown + ", which LightWave does not write");
      return;
    }
    surface.images.push_back(map);
    imageClips_.push_back({surfaceIndex, surface.images.size() - 1, clip});
  }

  struct Clip {
    std::string path;
    bool reference = false;
    uint32_t other = 0;
  };
  std::map<uint32_t, Clip> clips_;
  std::vector<ImageClip> imageClips_;
};

// ---------------------------------------------------------------- LWOB, LWLO

class LwobReader : public ReaderBase {
 public:
  using ReaderBase::ReaderBase;

  void Read(ChunkReader& body) {
    while (auto chunk = NextChunk(body)) {
      ChunkReader& in = chunk->data;
      const std::string& id = chunk->id;
      if (id == "LAYR") {
        Layer layer;
        layer.number = in.U2();
        in.U2();  // flags
        if (!in.AtEnd()) layer.name = in.S0();
        NewLayer(std::move(layer));
      } else if (id == "PNTS") {
        ReadPoints(in);
      } else if (id == "SRFS") {
        while (!in.AtEnd()) object_.tags.push_back(in.S0());
      } else if (id == "POLS" || id == "PCHS") {
        StartPolygons();
        const PolygonKind kind = id == "POLS" ? PolygonKind::Face : PolygonKind::Patch;
        while (!in.AtEnd()) ReadPolygon(in, kind, 0);
      } else if (id == "CRVS") {
        Skipped("CRVS");
      } else if (id == "SURF") {
        ReadSurface(in);
      }
    }
    CheckTags();
  }

 private:
  // numvert, the points, the surface (from 1; negative when detail
  // polygons follow, with their count).
  void ReadPolygon(ChunkReader& in, PolygonKind kind, int depth) {
    const std::size_t count = in.U2();
    Polygon polygon;
    polygon.kind = kind;
    polygon.points.reserve(std::min<std::size_t>(count, in.Remaining() / 2));
    for (std::size_t i = 0; i < count; ++i) polygon.points.push_back(ReadPointIndex(in, false));
    const int surface = in.I2();
    const int number = std::abs(surface);
    polygon.tag = number == 0 ? Polygon::kNoTag : static_cast<uint32_t>(number - 1);
    CurrentLayer().polygons.push_back(std::move(polygon));
    if (surface < 0) {
      if (depth > 0) in.Fail("a detail polygon has detail polygons of its own");
      const int details = in.I2();
      if (details < 0) in.Fail("a negative count of detail polygons");
      for (int d = 0; d < details; ++d) ReadPolygon(in, kind, depth + 1);
    }
  }

  static std::optional<Projection> ImageProjection(const std::string& type) {
    if (type == "Planar Image Map") return Projection::Planar;
    if (type == "Cylindrical Image Map") return Projection::Cylindrical;
    if (type == "Spherical Image Map") return Projection::Spherical;
    if (type == "Cubic Image Map") return Projection::Cubic;
    if (type == "Front Projection Image Map") return Projection::Front;
    return std::nullopt;
  }

  void ReadSurface(ChunkReader& in) {
    Surface surface;
    surface.name = in.S0();
    ChunkReader body = in.Take(in.Remaining(), in.where() + " " + Quoted(surface.name));
    // The texture the T* sub-chunks after CTEX (or DTEX, ...) describe; only
    // a colour image map is kept.
    std::optional<ImageMap> texture;
    const auto finish = [&] {
      if (texture) {
        if (texture->image.empty()) {
          surface.dropped.push_back("an image map without an image");
        } else {
          surface.images.push_back(*texture);
        }
      }
      texture.reset();
    };
    while (auto sub = NextSubChunk(body)) {
      ChunkReader& s = sub->data;
      const std::string& id = sub->id;
      if (id == "COLR") {
        const float r = s.U1(), g = s.U1(), b = s.U1();
        surface.colour = {r / 255, g / 255, b / 255};
      } else if (id == "DIFF") {
        surface.diffuse = Level(s.U2() / 256.0f);
      } else if (id == "VDIF") {
        surface.diffuse = Level(s.F4());
      } else if (id == "LUMI") {
        surface.luminosity = Level(s.U2() / 256.0f);
      } else if (id == "VLUM") {
        surface.luminosity = Level(s.F4());
      } else if (id.size() == 4 && id.compare(1, 3, "TEX") == 0) {
        finish();
        const std::string type = s.S0();
        const auto projection = ImageProjection(type);
        if (id != "CTEX") {
          if (projection) surface.dropped.push_back("an image map on its " + id.substr(0, 1) + " channel (" + id + ")");
        } else if (!projection) {
          surface.dropped.push_back("a procedural texture (" + type + ")");
        } else {
          texture.emplace();
          texture->projection = *projection;
        }
      } else if (texture) {
        if (id == "TFLG") {
          const int flags = s.U2();
          // One axis bit should be set; with more, the last (Z) counts, as
          // LightWave's own loader reads them.
          if (flags & 7) texture->axis = flags & 4 ? 2 : flags & 2 ? 1 : 0;
        } else if (id == "TSIZ") {
          texture->size = s.Vec12();
        } else if (id == "TCTR") {
          texture->centre = s.Vec12();
        } else if (id == "TFP0") {
          texture->widthWraps = s.F4();
        } else if (id == "TFP1") {
          texture->heightWraps = s.F4();
        } else if (id == "TIMG") {
          std::string image = s.S0();
          const std::string sequence = " (sequence)";
          if (image.size() > sequence.size() && image.ends_with(sequence)) image.resize(image.size() - sequence.size());
          texture->image = image == "(none)" ? "" : image;
        }
      }
    }
    finish();
    object_.surfaces.push_back(std::move(surface));
  }
};

}  // namespace

bool LuminousObject(const LightWaveObject& object) {
  // Per tag: does the surface it names glow?
  std::vector<bool> glows(object.tags.size(), false);
  for (std::size_t t = 0; t < object.tags.size(); ++t) {
    for (const Surface& s : object.surfaces) glows[t] = glows[t] || (s.name == object.tags[t] && s.luminosity >= 0.5f);
  }
  bool any = false;
  for (const Layer& layer : object.layers) {
    for (const Polygon& polygon : layer.polygons) {
      if (polygon.tag >= glows.size() || !glows[polygon.tag]) return false;
      any = true;
    }
  }
  return any;
}

bool IsLightWaveObject(const unsigned char* data, std::size_t size) {
  if (size < 12 || std::memcmp(data, "FORM", 4) != 0) return false;
  return std::memcmp(data + 8, "LWO2", 4) == 0 || std::memcmp(data + 8, "LWOB", 4) == 0 ||
         std::memcmp(data + 8, "LWLO", 4) == 0;
}

LightWaveObject ReadLightWaveObject(const unsigned char* data, std::size_t size, const std::string& file) {
  if (!IsLightWaveObject(data, size)) throw InputError(file + ": is not a LightWave object (FORM LWO2, LWOB or LWLO)");
  ChunkReader whole(file, "FORM", data, size, 0);
  whole.Skip(4);
  const std::size_t formSize = whole.U4();
  if (formSize > whole.Remaining()) {
    throw InputError(file + ": the file is cut short: its FORM says " + std::to_string(formSize) +
                     " bytes follow its header but the file has " + std::to_string(whole.Remaining()));
  }
  if (formSize < 4) throw InputError(file + ": its FORM size " + std::to_string(formSize) + " is too small");
  ChunkReader form = whole.Take(formSize, "FORM");
  LightWaveObject object;
  object.format = form.Id4();
  ChunkReader body = form.Take(form.Remaining(), "");
  if (object.format == "LWO2") {
    Lwo2Reader(object, file).Read(body);
  } else {
    LwobReader(object, file).Read(body);
  }
  return object;
}

}  // namespace stagwerk::kq7::lightwave
