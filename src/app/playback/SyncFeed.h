#pragma once
// Which sync tracks frames read, and at what row a music time is: the
// demo's saved tracks, or an editor's while one drives the player.
#include <cmath>
#include <vector>

#include "app/loading/DemoSync.h"

namespace stagwerk {

struct SyncFeed {
  const SyncBindings* bindings = nullptr;  // nothing: no tracks
  const std::vector<SyncTrack>* tracks = nullptr;
  double rowsPerSecond = kDefaultSyncRowsPerSecond;

  // The demo's own saved tracks (nothing when it lists none).
  static SyncFeed Saved(const DemoSync& sync) {
    if (sync.bindings.empty()) return {};
    return {&sync.bindings, &sync.tracks, sync.rowsPerSecond};
  }
  // A seek to a row lands a hair under it (float scene times, and the
  // scene clock starting up to a millisecond after the music): within
  // kRowSnap of a row, a frame reads that row, so a key set on the row the
  // editor shows is in its picture.
  static constexpr double kRowSnap = 0.002;  // seconds
  double RowAt(double musicTime) const {
    const double row = musicTime * rowsPerSecond;
    const double whole = std::round(row);
    return std::abs(row - whole) < kRowSnap * rowsPerSecond ? whole : row;
  }
  SyncValues At(const Scene& scene, double musicTime) const {
    return bindings != nullptr ? bindings->At(scene, *tracks, RowAt(musicTime)) : SyncValues();
  }
};

}  // namespace stagwerk
