#include "kq7/formats/demoscene/GltfTextures.h"

#include <filesystem>

#include "kq7/formats/Kq7Fit.h"
#include "kq7/formats/ToolError.h"

namespace stagwerk::kq7 {

using nlohmann::json;

namespace {

const json& At(const json& list, const json& index) {
  static const json none;
  if (!list.is_array() || !index.is_number_unsigned() || index.get<std::size_t>() >= list.size()) return none;
  return list[index.get<std::size_t>()];
}

std::string Text(const json& j) { return j.is_string() ? j.get<std::string>() : ""; }

PictureOptions AlphaOf(const json& material) {
  PictureOptions options;
  const std::string mode = Text(GltfFile::Member(material, "alphaMode"));
  options.alpha = mode == "BLEND" ? AlphaUse::Keep : mode == "MASK" ? AlphaUse::Mask : AlphaUse::Ignore;
  const json& cutoff = GltfFile::Member(material, "alphaCutoff");
  if (cutoff.is_number()) options.cutoff = GltfFile::FloatOf(cutoff, options.cutoff);
  return options;
}

}  // namespace

// The images other than chosen that the meshes' textured primitives name.
std::set<std::size_t> GltfTextures::OtherImages(std::size_t first, std::size_t end, std::size_t chosen) const {
  const json& doc = file_.document();
  const json& meshes = GltfFile::Member(doc, "meshes");
  std::set<std::size_t> others;
  for (std::size_t m = first; m < end && meshes.is_array() && m < meshes.size(); ++m) {
    for (const json& primitive : GltfFile::Member(meshes[m], "primitives")) {
      const json& material = At(GltfFile::Member(doc, "materials"), GltfFile::Member(primitive, "material"));
      const json& info = GltfFile::Member(GltfFile::Member(material, "pbrMetallicRoughness"), "baseColorTexture");
      if (info.is_null()) continue;
      const json& source = GltfFile::Member(At(GltfFile::Member(doc, "textures"), GltfFile::Member(info, "index")), "source");
      if (source.is_number_unsigned() && source.get<std::size_t>() != chosen) others.insert(source.get<std::size_t>());
    }
  }
  return others;
}

std::optional<GltfTexture> GltfTextures::ForMeshes(std::size_t first, std::size_t end) {
  const json& doc = file_.document();
  const json& meshes = GltfFile::Member(doc, "meshes");
  for (std::size_t m = first; m < end && meshes.is_array() && m < meshes.size(); ++m) {
    const json& primitives = GltfFile::Member(meshes[m], "primitives");
    for (std::size_t p = 0; primitives.is_array() && p < primitives.size(); ++p) {
      const json& material = At(GltfFile::Member(doc, "materials"), GltfFile::Member(primitives[p], "material"));
      const json& info = GltfFile::Member(GltfFile::Member(material, "pbrMetallicRoughness"), "baseColorTexture");
      // Without UVs the picture has nowhere to go; the mesh keeps its colours.
      if (info.is_null() || GltfFile::Member(GltfFile::Member(primitives[p], "attributes"), "TEXCOORD_0").is_null()) {
        continue;
      }
      GltfTexture texture;
      texture.options = AlphaOf(material);
      const json& tex = At(GltfFile::Member(doc, "textures"), GltfFile::Member(info, "index"));
      const json& source = GltfFile::Member(tex, "source");
      if (!source.is_number_unsigned() || At(GltfFile::Member(doc, "images"), source).is_null()) {
        const bool other = !GltfFile::Member(tex, "extensions").is_null();
        texture.problem = other ? "its base colour texture is only in KTX2 or WebP form, which kq7 does not read"
                                : "its base colour texture names no image";
        return texture;
      }
      const std::size_t image = source.get<std::size_t>();
      texture.name = NameFor(image, material, meshes[m]);
      Fetch(image, texture);
      texture.othersDropped = OtherImages(first, end, image).size();
      return texture;
    }
  }
  return std::nullopt;
}

std::string GltfTextures::NameFor(std::size_t image, const json& material, const json& mesh) {
  if (const auto it = names_.find(image); it != names_.end()) return it->second;
  const json& entry = GltfFile::Member(file_.document(), "images")[image];
  std::string base = Text(GltfFile::Member(entry, "name"));
  const std::string uri = Text(GltfFile::Member(entry, "uri"));
  if (base.empty() && !uri.empty() && uri.rfind("data:", 0) != 0) base = TextureNameOf(GltfFile::DecodeUri(uri));
  if (base.empty()) base = Text(GltfFile::Member(material, "name"));
  if (base.empty()) base = Text(GltfFile::Member(mesh, "name"));
  base = TextureWord(base);
  std::string name = base;
  for (int n = 2; used_.count(name) != 0; ++n) name = base + "_" + std::to_string(n);
  used_.insert(name);
  names_[image] = name;
  return name;
}

void GltfTextures::Fetch(std::size_t image, GltfTexture& texture) const {
  const json& entry = GltfFile::Member(file_.document(), "images")[image];
  const std::string what = file_.path() + ": image " + std::to_string(image);
  const std::string uri = Text(GltfFile::Member(entry, "uri"));
  try {
    if (!uri.empty() && uri.rfind("data:", 0) != 0) {
      const std::filesystem::path path =
          std::filesystem::path(file_.path()).parent_path() / GltfFile::DecodeUri(uri);
      std::error_code ec;
      if (!std::filesystem::is_regular_file(path, ec)) {
        texture.problem = "its image " + path.string() + " is not found";
        return;
      }
      texture.source = ReadPictureFile(path);
    } else if (!uri.empty()) {
      texture.source = PictureSource{what, file_.UriBytes(uri, what), std::nullopt};
    } else {
      texture.source = PictureSource{what, file_.ViewBytes(GltfFile::Member(entry, "bufferView"), what), std::nullopt};
    }
  } catch (const InputError& e) {
    texture.problem = e.what();
  }
}

}  // namespace stagwerk::kq7
