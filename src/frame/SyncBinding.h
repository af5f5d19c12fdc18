#pragma once
// The tracks a demo offers a sync editor, as its sync.txt lists them, one
// name a line: SCENE:ITEM.CHANNEL for an item's value (ITEM as ItemNames
// gives it), or SCENE:fog.near, SCENE:fog.far and SCENE:ambient. Blank lines
// and lines starting with '#' are skipped.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "frame/SyncValues.h"

namespace stagwerk {

struct Scene;

class SyncBindings {
 public:
  SyncBindings() = default;

  // Binds each listed name to its scene's value; the track numbers are the
  // order of the list. Throws LoadError "<listFile>:<line>: <fault>" for a
  // name that is malformed, listed twice, or matches no scene, item or
  // channel.
  static SyncBindings Bind(std::string_view text, const std::string& listFile, const std::vector<const Scene*>& scenes);

  const std::vector<std::string>& names() const { return names_; }
  bool empty() const { return names_.empty(); }
  // Nothing when no listed track belongs to the scene.
  const SceneSyncTracks* For(const Scene& scene) const;
  // What a frame of the scene reads at `row` of these tracks (numbered as
  // the list is).
  SyncValues At(const Scene& scene, const std::vector<SyncTrack>& tracks, double row) const {
    return {For(scene), &tracks, row};
  }
  // The listed position and rotation tracks of an item, by channel.
  std::vector<std::pair<uint32_t, SyncChannel>> MotionTracksOf(const Scene& scene, const SceneItem& item) const;

 private:
  std::vector<std::string> names_;
  std::vector<std::pair<const Scene*, SceneSyncTracks>> scenes_;
};

}  // namespace stagwerk
