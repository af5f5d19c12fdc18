#pragma once
// Sync tracks bound to one scene's values, and what a frame reads of them at
// its row. A track replaces its value from its first key on; before that,
// and where nothing is bound, the scene's own value stands.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "anim/SceneItem.h"
#include "base/FloatBits.h"
#include "sync/SyncTrack.h"

namespace stagwerk {

// The values a track can drive. Rotations are in degrees, as the author
// sees them; the scene files hold radians.
enum class SyncChannel : uint8_t {
  X, Y, Z, Heading, Pitch, Bank, ScaleX, ScaleY, ScaleZ,  // motion, every item
  Dissolve,                                               // objects
  Intensity, Red, Green, Blue,                            // lights
  Zoom,                                                   // cameras
};
inline constexpr std::size_t kSyncChannelCount = 15;
inline constexpr uint32_t kNoSyncTrack = 0xFFFFFFFFu;

// Track numbers (indexes into the track list) per value of one scene.
struct SceneSyncTracks {
  using ItemTracks = std::array<uint32_t, kSyncChannelCount>;
  std::vector<ItemTracks> items;  // by SceneItem::itemIndex; empty: none bound
  uint32_t fogNear = kNoSyncTrack;
  uint32_t fogFar = kNoSyncTrack;
  uint32_t ambient = kNoSyncTrack;
};

class SyncValues {
 public:
  // Reads nothing: every value is the scene's.
  SyncValues() = default;
  SyncValues(const SceneSyncTracks* bound, const std::vector<SyncTrack>* tracks, double row)
      : bound_(bound), tracks_(tracks), row_(row) {}

  std::optional<float> Item(const SceneItem& item, SyncChannel channel) const {
    if (bound_ == nullptr || item.itemIndex >= bound_->items.size()) return std::nullopt;
    return Track(bound_->items[item.itemIndex][static_cast<std::size_t>(channel)]);
  }
  std::optional<float> Track(uint32_t track) const {
    if (tracks_ == nullptr || track >= tracks_->size()) return std::nullopt;
    const std::optional<double> v = (*tracks_)[track].ValueAt(row_);
    if (!v) return std::nullopt;
    return static_cast<float>(*v);
  }
  float ItemOr(const SceneItem& item, SyncChannel channel, float scene) const {
    return Item(item, channel).value_or(scene);
  }
  float FogNearOr(float scene) const { return bound_ ? Track(bound_->fogNear).value_or(scene) : scene; }
  float FogFarOr(float scene) const { return bound_ ? Track(bound_->fogFar).value_or(scene) : scene; }
  float AmbientOr(float scene) const { return bound_ ? Track(bound_->ambient).value_or(scene) : scene; }

  // The motion with what the tracks hold put in; scale channels a track
  // drives on an item without them start from 1.
  void Override(const SceneItem& item, MotionValues& v) const { Override(item.itemIndex, v); }
  void Override(uint32_t itemIndex, MotionValues& v) const {
    if (bound_ == nullptr || itemIndex >= bound_->items.size()) return;
    float* const slots[] = {&v.x, &v.y, &v.z, &v.heading, &v.pitch, &v.bank, &v.scaleX, &v.scaleY, &v.scaleZ};
    for (std::size_t c = 0; c < 9; ++c) {
      const std::optional<float> value = Track(bound_->items[itemIndex][c]);
      if (!value) continue;
      *slots[c] = *value;
      if (c >= 6) v.scaled = true;
    }
  }
  // The same tracks at the same row (their keys are not compared).
  bool operator==(const SyncValues& o) const {
    return bound_ == o.bound_ && tracks_ == o.tracks_ && BitsOfDouble(row_) == BitsOfDouble(o.row_);
  }
  // Whether any track is bound to the scene's items at all.
  bool BindsItems() const { return bound_ != nullptr && !bound_->items.empty(); }

 private:
  const SceneSyncTracks* bound_ = nullptr;
  const std::vector<SyncTrack>* tracks_ = nullptr;
  double row_ = 0.0;
};

}  // namespace stagwerk
