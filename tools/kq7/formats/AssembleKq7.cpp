#include "kq7/formats/AssembleKq7.h"

#include "kq7/formats/ToolError.h"

namespace stagwerk::kq7 {

namespace {

std::string JoinNames(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
  return out;
}

std::vector<uint16_t> Narrow(const std::vector<uint32_t>& in) { return std::vector<uint16_t>(in.begin(), in.end()); }

// One job per part of the file, in the order the warnings come out.
class Assembly {
 public:
  Assembly(const GatheredMesh& mesh, const std::string& file, const ConvertOptions& options, const SourceWords& words,
           std::vector<std::string>& warnings)
      : in_(mesh), file_(file), options_(options), words_(words), warnings_(warnings) {}

  Kq7Description Run() {
    CheckCounts();
    AddGeometry();
    if (!options_.points) AddTexture();
    AddColours();
    AddSecondTexture();
    AddEnvironmentMap();
    AddMorphTargets();
    return std::move(out_);
  }

 private:
  void Warn(const std::string& text) { warnings_.push_back(file_ + ": " + text); }

  void CheckCounts() {
    CheckKq7Limit(file_, in_.vertices.values().size(), "vertices");
    if (options_.points) {
      if (in_.vertices.values().empty()) throw InputError(file_ + ": " + words_.noVertices);
    } else {
      if (in_.polygons.empty()) throw InputError(file_ + ": holds no polygons (a point set needs --points)");
      CheckKq7Limit(file_, in_.polygons.size(), "polygons");
    }
  }

  void AddGeometry() {
    out_.flags = options_.points ? 0 : HasPolygons;
    out_.positions.reserve(in_.vertices.values().size());
    for (const std::vector<float>& v : in_.vertices.values()) out_.positions.push_back({v[0], v[1], v[2]});
    bool allTriangles = !in_.polygons.empty();
    for (const std::vector<uint32_t>& polygon : in_.polygons) {
      allTriangles &= polygon.size() == 3;
      out_.polygons.push_back(Narrow(polygon));
    }
    if (allTriangles) out_.flags |= AllTriangles;
  }

  void AddTexture() {
    if (in_.anyUv && !in_.texture.empty()) {
      CheckKq7Name(file_, in_.texture, "texture");
      CheckKq7Limit(file_, in_.uvs.values().size(), "UVs");
      out_.flags |= HasTexture;
      out_.textureName = in_.texture;
      out_.uvs = in_.uvs.values();
      out_.uvIndices = Narrow(in_.uvIndices);
    } else if (in_.anyUv) {
      Warn("the UVs are dropped: " + words_.noTextureName + " (name one with --texture NAME)");
    } else if (!options_.texture.empty()) {
      throw InputError(file_ + ": has no UVs to put the texture " + options_.texture + " on");
    } else if (!in_.texture.empty()) {
      Warn("the texture " + in_.texture + " is dropped: " + words_.noUvs);
    }
    if (in_.moreUvSets) Warn("UV sets past the second are dropped");
  }

  void AddColours() {
    if (in_.anyColours && !options_.points) {
      CheckKq7Limit(file_, in_.colours.values().size(), "colours");
      out_.flags |= HasColours;
      out_.colours = in_.colours.values();
      out_.colourIndices = Narrow(in_.colourIndices);
      if (in_.moreColourSets) Warn("colour sets past the first are dropped");
    } else if (in_.anyColours) {
      Warn(words_.coloursDropped + " dropped: a point set has no corners to colour");
    }
  }

  void AddSecondTexture() {
    if (!options_.texture2.empty()) {
      CheckKq7Name(file_, options_.texture2, "second texture");
      if (!options_.points && !in_.anySecondUv) {
        throw InputError(file_ + ": has no " + words_.secondUvSet + " to put the texture " + options_.texture2 +
                         " on");
      }
      CheckKq7Limit(file_, in_.uvs2.values().size(), "second UVs");
      out_.flags |= HasSecondTexture;
      out_.secondTextureName = options_.texture2;
      out_.uvs2 = in_.uvs2.values();
      out_.uv2Indices = Narrow(in_.uv2Indices);
    } else if (in_.anySecondUv && !options_.points) {
      Warn(words_.secondUvsDropped + " dropped: name its texture with --texture2 NAME");
    }
  }

  void AddEnvironmentMap() {
    if (options_.environmentMap.empty()) return;
    CheckKq7Name(file_, options_.environmentMap, "environment map");
    out_.flags |= HasEnvironmentMap;
    out_.environmentMapName = options_.environmentMap;
    if (!options_.texture2.empty()) {
      Warn("with --texture2 the player shows " + options_.texture2 + " and not the environment map " +
           options_.environmentMap);
    }
  }

  // Only the vertices a target moves: one that stays put has a delta of exactly zero.
  void AddMorphTargets() {
    if (in_.morphTargets == 0) return;
    out_.flags |= HasMorphTargets;
    out_.morphTargets.resize(in_.morphTargets);
    const std::vector<std::vector<float>>& vertices = in_.vertices.values();
    for (std::size_t v = 0; v < vertices.size(); ++v) {
      for (std::size_t t = 0; t < in_.morphTargets; ++t) {
        const float* d = &vertices[v][3 * (t + 1)];
        if (d[0] != 0 || d[1] != 0 || d[2] != 0) {
          out_.morphTargets[t].push_back({d[0], d[1], d[2], static_cast<uint16_t>(v)});
        }
      }
    }
  }

  const GatheredMesh& in_;
  const std::string& file_;
  const ConvertOptions& options_;
  const SourceWords& words_;
  std::vector<std::string>& warnings_;
  Kq7Description out_;
};

}  // namespace

std::string ChooseTexture(const std::string& file, const ConvertOptions& options,
                          const std::vector<std::string>& found, const std::string& several,
                          std::vector<std::string>& warnings) {
  if (options.points) {
    if (!options.texture.empty()) {
      warnings.push_back(file + ": --texture is not used by a point set; its sprites show --env or --texture2");
    }
    return "";
  }
  if (!options.texture.empty() || found.empty()) return options.texture;
  if (found.size() > 1) {
    warnings.push_back(file + ": " + several + " (" + JoinNames(found) + "); the first, " + found.front() +
                       ", is used");
  }
  return found.front();
}

Kq7Description AssembleKq7(const GatheredMesh& mesh, const std::string& file, const ConvertOptions& options,
                           const SourceWords& words, std::vector<std::string>& warnings) {
  return Assembly(mesh, file, options, words, warnings).Run();
}

}  // namespace stagwerk::kq7
