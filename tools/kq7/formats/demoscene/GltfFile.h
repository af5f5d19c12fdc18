#pragma once
// A glTF 2.0 file (.gltf with its buffers, or .glb) as JSON and the numbers
// its accessors hold. Scenes are read from here rather than through assimp:
// assimp 5.2.5 keeps no animation interpolation (STEP and CUBICSPLINE come
// out as linear keys) and renumbers the nodes that animations name.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace stagwerk::kq7 {

// A double as a float, clamped to the float range rather than overflowing
// (a file may hold any number); NaN stays NaN.
float Narrow(double v);

class GltfFile {
 public:
  // Throws InputError naming path for a file that is not glTF 2.0 or whose
  // buffers cannot be read.
  static GltfFile Load(const std::string& path);
  // The same from bytes already read; external buffers are looked for
  // beside path.
  static GltfFile Parse(const std::string& bytes, const std::string& path);

  const nlohmann::json& document() const { return json_; }
  const std::string& path() const { return path_; }

  // An accessor's elements as floats, normalised integers scaled to 0..1 or
  // -1..1 as glTF defines. components is what the caller expects per element;
  // anything else is an InputError naming the accessor.
  std::vector<float> Floats(const nlohmann::json& accessorIndex, int components) const;

  // The bytes of a buffer view (an embedded image's), or an InputError
  // naming what when it does not fit its buffer.
  std::string ViewBytes(const nlohmann::json& viewIndex, const std::string& what) const;
  // A URI's bytes: a base64 data: URI, else a file (URI-decoded) beside path.
  std::string UriBytes(const std::string& uri, const std::string& what) const;
  // A relative URI as a file name: %20 and the like decoded.
  static std::string DecodeUri(const std::string& uri);

  // The member of an object, or null when absent.
  static const nlohmann::json& Member(const nlohmann::json& object, const char* name);
  // A number narrowed without overflow: a float clamped to the float range
  // (NaN as fallback), an int only when it is a whole number in range.
  static float FloatOf(const nlohmann::json& j, float fallback);
  static int IntOf(const nlohmann::json& j, int fallback);

 private:
  // A buffer view and its buffer, or an InputError naming what.
  const nlohmann::json& View(const nlohmann::json& viewIndex, const std::string& what) const;
  const std::string& BufferOf(const nlohmann::json& view, const std::string& what) const;

  std::string path_;
  nlohmann::json json_;
  std::vector<std::string> buffers_;
};

}  // namespace stagwerk::kq7
