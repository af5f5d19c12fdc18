#include "kq7/formats/demoscene/GltfFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kq7/formats/ToolError.h"
#include "kq7/formats/FileBytes.h"

namespace stagwerk::kq7 {

using nlohmann::json;

namespace {

std::string ReadBytes(const std::string& path, const std::string& what) {
  try {
    return ReadFileBytes(path);
  } catch (const InputError&) {
    throw InputError(what + ": cannot open " + path);
  }
}

uint32_t Le32(const std::string& s, std::size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
  return v;
}

std::string Base64Decode(const std::string& text, const std::string& what) {
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    int v;
    if (c >= 'A' && c <= 'Z') v = c - 'A';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
    else if (c >= '0' && c <= '9') v = c - '0' + 52;
    else if (c == '+' || c == '-') v = 62;
    else if (c == '/' || c == '_') v = 63;
    else if (c == '=') break;
    else throw InputError(what + ": a data URI that is not base64");
    bits = bits << 6 | static_cast<uint32_t>(v);
    if ((count += 6) >= 8) {
      count -= 8;
      out += static_cast<char>(bits >> count & 0xFF);
    }
  }
  return out;
}

std::string UriDecode(const std::string& uri) {
  std::string out;
  for (std::size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() && std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
      out += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += uri[i];
    }
  }
  return out;
}

int ComponentSize(int type) {
  switch (type) {
    case 5120: case 5121: return 1;
    case 5122: case 5123: return 2;
    case 5125: case 5126: return 4;
    default: return 0;
  }
}

int ComponentsOf(const std::string& type) {
  if (type == "SCALAR") return 1;
  if (type == "VEC2") return 2;
  if (type == "VEC3") return 3;
  if (type == "VEC4") return 4;
  if (type == "MAT4") return 16;
  return 0;
}

}  // namespace

float Narrow(double v) {
  const double most = std::numeric_limits<float>::max();
  return std::isnan(v) ? std::numeric_limits<float>::quiet_NaN() : static_cast<float>(std::clamp(v, -most, most));
}

float GltfFile::FloatOf(const json& j, float fallback) {
  if (!j.is_number()) return fallback;
  const double v = j.get<double>();
  return std::isnan(v) ? fallback : Narrow(v);
}

int GltfFile::IntOf(const json& j, int fallback) {
  if (j.is_number_unsigned()) {
    const auto v = j.get<std::uint64_t>();
    return v <= static_cast<std::uint64_t>(std::numeric_limits<int>::max()) ? static_cast<int>(v) : fallback;
  }
  if (j.is_number_integer()) {
    const auto v = j.get<std::int64_t>();
    return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max() ? static_cast<int>(v)
                                                                                         : fallback;
  }
  if (j.is_number_float()) {
    const double v = j.get<double>();
    if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max() && v == std::floor(v)) {
      return static_cast<int>(v);
    }
  }
  return fallback;
}

const json& GltfFile::Member(const json& object, const char* name) {
  static const json none;
  if (!object.is_object()) return none;
  const auto it = object.find(name);
  return it == object.end() ? none : *it;
}

std::string GltfFile::DecodeUri(const std::string& uri) { return UriDecode(uri); }

std::string GltfFile::UriBytes(const std::string& uri, const std::string& what) const {
  if (uri.rfind("data:", 0) == 0) {
    const std::size_t comma = uri.find(',');
    if (comma == std::string::npos || uri.find(";base64") > comma) throw InputError(what + ": a data URI that is not base64");
    return Base64Decode(uri.substr(comma + 1), what);
  }
  return ReadBytes((std::filesystem::path(path_).parent_path() / UriDecode(uri)).string(), what);
}

const json& GltfFile::View(const json& viewIndex, const std::string& what) const {
  const json& views = Member(json_, "bufferViews");
  if (!viewIndex.is_number_unsigned() || viewIndex.get<std::size_t>() >= views.size()) {
    throw InputError(what + " names a buffer view that does not exist");
  }
  return views[viewIndex.get<std::size_t>()];
}

const std::string& GltfFile::BufferOf(const json& view, const std::string& what) const {
  const json& bufferIndex = Member(view, "buffer");
  if (!bufferIndex.is_number_unsigned() || bufferIndex.get<std::size_t>() >= buffers_.size()) {
    throw InputError(what + " names a buffer that does not exist");
  }
  return buffers_[bufferIndex.get<std::size_t>()];
}

std::string GltfFile::ViewBytes(const json& viewIndex, const std::string& what) const {
  const json& view = View(viewIndex, what);
  const std::string& buffer = BufferOf(view, what);
  const json& offsetJson = Member(view, "byteOffset");
  const json& lengthJson = Member(view, "byteLength");
  const std::size_t offset = offsetJson.is_number_unsigned() ? offsetJson.get<std::size_t>() : 0;
  const std::size_t length = lengthJson.is_number_unsigned() ? lengthJson.get<std::size_t>() : 0;
  if (offset > buffer.size() || length > buffer.size() - offset) {
    throw InputError(what + ": its buffer view runs past the end of its buffer");
  }
  return buffer.substr(offset, length);
}

GltfFile GltfFile::Load(const std::string& path) { return Parse(ReadBytes(path, path), path); }

GltfFile GltfFile::Parse(const std::string& bytes, const std::string& path) {
  GltfFile file;
  file.path_ = path;
  std::string text = bytes, bin;
  bool hasBin = false;
  if (bytes.size() >= 12 && bytes.compare(0, 4, "glTF") == 0) {
    if (Le32(bytes, 4) != 2) throw InputError(path + ": a binary glTF of version " + std::to_string(Le32(bytes, 4)));
    text.clear();
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
      const uint32_t length = Le32(bytes, at), type = Le32(bytes, at + 4);
      if (length > bytes.size() - at - 8) throw InputError(path + ": a chunk runs past the end of the file");
      if (type == 0x4E4F534A && text.empty()) text = bytes.substr(at + 8, length);
      if (type == 0x004E4942 && !hasBin) bin = bytes.substr(at + 8, length), hasBin = true;
      at += 8 + length;
    }
    if (text.empty()) throw InputError(path + ": a binary glTF without its JSON chunk");
  }
  try {
    file.json_ = json::parse(text);
  } catch (const json::exception& e) {
    throw InputError(path + ": not glTF JSON: " + e.what());
  }
  const json& version = Member(Member(file.json_, "asset"), "version");
  if (!version.is_string() || version.get<std::string>().rfind("2.", 0) != 0) {
    throw InputError(path + ": not a glTF 2.0 file");
  }
  const json& buffers = Member(file.json_, "buffers");
  for (std::size_t i = 0; buffers.is_array() && i < buffers.size(); ++i) {
    const std::string what = path + ": buffer " + std::to_string(i);
    const json& uri = Member(buffers[i], "uri");
    std::string data;
    if (!uri.is_string()) {
      if (!hasBin || i != 0) throw InputError(what + " has no data");
      data = bin;
    } else {
      const std::string u = uri.get<std::string>();
      if (u.rfind("data:", 0) == 0) {
        const std::size_t comma = u.find(',');
        if (comma == std::string::npos || u.find(";base64") > comma) throw InputError(what + ": a data URI that is not base64");
        data = Base64Decode(u.substr(comma + 1), what);
      } else {
        data = ReadBytes((std::filesystem::path(path).parent_path() / UriDecode(u)).string(), what);
      }
    }
    const json& length = Member(buffers[i], "byteLength");
    if (length.is_number_unsigned() && length.get<std::size_t>() > data.size()) {
      throw InputError(what + " holds " + std::to_string(data.size()) + " bytes of its " +
                       std::to_string(length.get<std::size_t>()));
    }
    file.buffers_.push_back(std::move(data));
  }
  return file;
}

std::vector<float> GltfFile::Floats(const json& accessorIndex, int components) const {
  const json& accessors = Member(json_, "accessors");
  if (!accessorIndex.is_number_unsigned() || accessorIndex.get<std::size_t>() >= accessors.size()) {
    throw InputError(path_ + ": an accessor index that does not exist");
  }
  const std::size_t index = accessorIndex.get<std::size_t>();
  const std::string what = path_ + ": accessor " + std::to_string(index);
  const json& a = accessors[index];
  const int type = IntOf(Member(a, "componentType"), 0);
  const int size = ComponentSize(type);
  const int n = Member(a, "type").is_string() ? ComponentsOf(Member(a, "type").get<std::string>()) : 0;
  const json& countJson = Member(a, "count");
  if (size == 0 || n == 0 || !countJson.is_number_unsigned()) throw InputError(what + " has no valid type or count");
  if (n != components) {
    throw InputError(what + " has " + std::to_string(n) + " components where " + std::to_string(components) +
                     " belong");
  }
  if (!Member(a, "sparse").is_null()) throw InputError(what + " is sparse, which kq7 scene does not read");
  const std::size_t count = countJson.get<std::size_t>();
  const json& viewIndex = Member(a, "bufferView");
  if (viewIndex.is_null()) {
    // All zeros, as glTF has it; a count no file could mean is refused.
    if (count > (std::size_t{1} << 24)) throw InputError(what + " has a count of " + std::to_string(count));
    return std::vector<float>(count * static_cast<std::size_t>(n), 0.0f);
  }
  const json& view = View(viewIndex, what);
  const std::string& buffer = BufferOf(view, what);
  auto number = [](const json& j) { return j.is_number_unsigned() ? j.get<std::size_t>() : std::size_t{0}; };
  const std::size_t viewOffset = number(Member(view, "byteOffset"));
  const std::size_t viewLength = number(Member(view, "byteLength"));
  const std::size_t element = static_cast<std::size_t>(size * n);
  const std::size_t stride = number(Member(view, "byteStride")) != 0 ? number(Member(view, "byteStride")) : element;
  const std::size_t offset = number(Member(a, "byteOffset"));
  if (viewOffset > buffer.size() || viewLength > buffer.size() - viewOffset) {
    throw InputError(what + ": its buffer view runs past the end of its buffer");
  }
  if (count > 0 && (offset > viewLength || (count - 1) > (viewLength - offset) / stride ||
                    (count - 1) * stride + element > viewLength - offset)) {
    throw InputError(what + " runs past the end of its buffer view");
  }
  const bool normalized = Member(a, "normalized").is_boolean() && Member(a, "normalized").get<bool>();
  std::vector<float> out(count * static_cast<std::size_t>(n), 0.0f);
  for (std::size_t e = 0; e < count; ++e) {
    const char* p = buffer.data() + viewOffset + offset + e * stride;
    for (int c = 0; c < n; ++c, p += size) {
      float v = 0;
      switch (type) {
        case 5126: std::memcpy(&v, p, 4); break;
        case 5120: { int8_t x; std::memcpy(&x, p, 1); v = normalized ? std::max(x / 127.0f, -1.0f) : x; break; }
        case 5121: { uint8_t x; std::memcpy(&x, p, 1); v = normalized ? x / 255.0f : x; break; }
        case 5122: { int16_t x; std::memcpy(&x, p, 2); v = normalized ? std::max(x / 32767.0f, -1.0f) : x; break; }
        case 5123: { uint16_t x; std::memcpy(&x, p, 2); v = normalized ? x / 65535.0f : x; break; }
        case 5125: { uint32_t x; std::memcpy(&x, p, 4); v = static_cast<float>(x); break; }
        default: break;
      }
      out[e * static_cast<std::size_t>(n) + static_cast<std::size_t>(c)] = v;
    }
  }
  return out;
}

}  // namespace stagwerk::kq7
