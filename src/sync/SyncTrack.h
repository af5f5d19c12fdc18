#pragma once
// One sync track: keys on rows, each with the shape that leads to the next
// key, as a Rocket editor edits them. Rows are music time times the row rate.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/FloatBits.h"

namespace stagwerk {

enum class KeyShape : uint8_t { Step = 0, Linear = 1, Smooth = 2, Ramp = 3 };
inline constexpr uint8_t kLastKeyShape = 3;

struct SyncKey {
  uint32_t row = 0;
  float value = 0.0f;
  KeyShape shape = KeyShape::Step;
  bool operator==(const SyncKey&) const = default;
};


class SyncTrack {
 public:
  SyncTrack() = default;
  explicit SyncTrack(std::string name) : name_(std::move(name)) {}

  const std::string& name() const { return name_; }
  // Sorted by row, one key per row.
  const std::vector<SyncKey>& keys() const { return keys_; }

  // Adds the key, or replaces the one on its row.
  void SetKey(const SyncKey& key);
  // False when no key sits on the row.
  bool DeleteKey(uint32_t row);
  // Keys must be sorted by row without duplicates (as ReadTrackFile gives them).
  void SetKeys(std::vector<SyncKey> keys) { keys_ = std::move(keys); }
  void Clear() { keys_.clear(); }

  // The value at a (fractional) row. Nothing before the first key, so the
  // caller keeps its own value there; the last key's value after the last.
  std::optional<double> ValueAt(double row) const;

 private:
  std::string name_;
  std::vector<SyncKey> keys_;
};

}  // namespace stagwerk
