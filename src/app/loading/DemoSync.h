#pragma once
// A demo's sync tracks: the names sync.txt beside its script lists, bound to
// its scenes, with the keys saved under sync/ there (one Rocket track file
// a track, sync/finale#Camera.zoom.track).
#include <string>
#include <vector>

#include "frame/SyncBinding.h"
#include "sync/SyncTrack.h"

namespace stagwerk {

struct Scene;

constexpr const char* kSyncListFile = "sync.txt";
constexpr const char* kSyncFolder = "sync";
// Rows are music time times this, unless --sync-rows says otherwise.
constexpr double kDefaultSyncRowsPerSecond = 8.0;

struct DemoSync {
  std::string folder;  // the script's folder
  SyncBindings bindings;
  // One per listed name, in the list's order; empty where nothing is saved.
  std::vector<SyncTrack> tracks;
  // Set by the mode from --sync-rows.
  double rowsPerSecond = kDefaultSyncRowsPerSecond;
};

// No sync.txt in `folder` is no tracks. Throws LoadError for a list that
// names what the scenes lack, and for a saved track file that is short or
// broken.
DemoSync LoadDemoSync(const std::string& folder, const std::vector<const Scene*>& scenes);

// The file a track is saved in.
std::string SyncTrackPath(const std::string& folder, const std::string& trackName);
// Writes every track under folder/sync/. Throws LoadError naming the file
// it cannot write; the ones before it are written.
void SaveSyncTracks(const std::string& folder, const std::vector<SyncTrack>& tracks);

}  // namespace stagwerk
