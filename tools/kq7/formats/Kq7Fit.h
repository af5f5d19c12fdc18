#pragma once
// What fits a KQ7 file: its counts and its names. Free of assimp, so the
// LightWave reader and its fuzz harness use it too.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace stagwerk::kq7 {

// Hands out one index per distinct value, in order of first use.
template <typename Value>
class Pool {
 public:
  uint32_t Index(const Value& value) {
    const auto [it, added] = index_.try_emplace(value, static_cast<uint32_t>(values_.size()));
    if (added) values_.push_back(value);
    return it->second;
  }
  const std::vector<Value>& values() const { return values_; }

 private:
  std::map<Value, uint32_t> index_;
  std::vector<Value> values_;
};

// A KQ7 file counts vertices, polygons, UVs, colours, morph targets and
// corners in 16 bits.
constexpr std::size_t kMaxKq7Count = 0xFFFF;

// 65535 as 65,535: it reads better in a message about a limit.
std::string GroupedNumber(std::size_t n);

// Throws InputError naming file when count is past kMaxKq7Count.
void CheckKq7Limit(const std::string& file, std::size_t count, const char* what);

// Throws InputError naming file when name is longer than a KQ7 file holds.
void CheckKq7Name(const std::string& file, const std::string& name, const char* what);

// A texture path as a KQ7 file names it: no folder, no extension.
std::string TextureNameOf(const std::string& path);

}  // namespace stagwerk::kq7
