#include "kq7/import/GltfForAssimp.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "kq7/formats/ToolError.h"
#include "kq7/formats/demoscene/GltfFile.h"
#include "kq7/formats/FileBytes.h"

namespace stagwerk::kq7 {

namespace {

using nlohmann::json;

std::string Base64(const std::string& bytes) {
  static const char* const kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 2]);
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
  }
  return out;
}

uint32_t U32(const std::string& s, std::size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, s.data() + at, 4);
  return v;  // glb is little-endian, as is every machine this builds for
}

void Put32(std::string& s, uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); }

// Gives every skin without them identity inverse bind matrices, in a
// buffer of their own; false when there was none to give.
bool SpellOut(json& doc) {
  bool changed = false;
  json& skins = doc["skins"];
  for (json& skin : skins) {
    if (!skin.is_object() || skin.contains("inverseBindMatrices")) continue;
    const json& joints = GltfFile::Member(skin, "joints");
    const std::size_t count = joints.is_array() ? joints.size() : 0;
    if (count == 0) continue;
    std::string bytes;
    for (std::size_t j = 0; j < count; ++j) {
      for (int k = 0; k < 16; ++k) {
        const float x = k % 5 == 0 ? 1.0f : 0.0f;
        bytes.append(reinterpret_cast<const char*>(&x), 4);
      }
    }
    if (!doc["buffers"].is_array()) doc["buffers"] = json::array();
    if (!doc["bufferViews"].is_array()) doc["bufferViews"] = json::array();
    if (!doc["accessors"].is_array()) doc["accessors"] = json::array();
    doc["buffers"].push_back({{"byteLength", bytes.size()}, {"uri", "data:application/octet-stream;base64," + Base64(bytes)}});
    doc["bufferViews"].push_back({{"buffer", doc["buffers"].size() - 1}, {"byteLength", bytes.size()}});
    doc["accessors"].push_back({{"bufferView", doc["bufferViews"].size() - 1}, {"componentType", 5126},
                                {"count", count}, {"type", "MAT4"}});
    skin["inverseBindMatrices"] = doc["accessors"].size() - 1;
    changed = true;
  }
  return changed;
}

}  // namespace

std::optional<std::string> GltfForAssimp(const std::string& path) {
  try {
    const std::string bytes = ReadFileBytes(path);
    // Most files have no skin: no second parse of their JSON for them.
    if (bytes.find("\"skins\"") == std::string::npos) return std::nullopt;
    json doc = GltfFile::Parse(bytes, path).document();
    if (!GltfFile::Member(doc, "skins").is_array() || !SpellOut(doc)) return std::nullopt;
    std::string text = doc.dump();
    if (bytes.compare(0, 4, "glTF") != 0) return text;
    // A .glb: the new JSON chunk, then the file's own binary chunk, as it was.
    std::string bin;
    const std::size_t jsonEnd = 20 + static_cast<std::size_t>(U32(bytes, 12));
    if (jsonEnd + 8 <= bytes.size()) {
      const std::size_t length = U32(bytes, jsonEnd);
      if (jsonEnd + 8 + length <= bytes.size()) bin = bytes.substr(jsonEnd, 8 + length);
    }
    while (text.size() % 4 != 0) text += ' ';
    std::string glb = "glTF";
    Put32(glb, 2);
    Put32(glb, static_cast<uint32_t>(12 + 8 + text.size() + bin.size()));
    Put32(glb, static_cast<uint32_t>(text.size()));
    glb += "JSON" + text + bin;
    return glb;
  } catch (const InputError&) {
    return std::nullopt;  // assimp says what is wrong with it
  } catch (const json::exception&) {
    return std::nullopt;
  }
}

}  // namespace stagwerk::kq7
