#include "app/loading/DemoSync.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/LoadError.h"
#include "sync/TrackFile.h"

namespace stagwerk {

DemoSync LoadDemoSync(const std::string& folder, const std::vector<const Scene*>& scenes) {
  DemoSync sync;
  sync.folder = folder;
  const std::string listPath = (std::filesystem::path(folder) / kSyncListFile).string();
  std::ifstream list(listPath, std::ios::binary);
  if (!list) return sync;
  const std::string text((std::istreambuf_iterator<char>(list)), std::istreambuf_iterator<char>());
  if (list.bad()) throw LoadError("Cannot read " + listPath);
  sync.bindings = SyncBindings::Bind(text, listPath, scenes);
  for (const std::string& name : sync.bindings.names()) {
    SyncTrack& track = sync.tracks.emplace_back(name);
    const std::string path = SyncTrackPath(folder, name);
    std::error_code error;
    if (std::filesystem::exists(path, error)) track.SetKeys(ReadTrackFile(path));
  }
  return sync;
}

std::string SyncTrackPath(const std::string& folder, const std::string& trackName) {
  return (std::filesystem::path(folder) / kSyncFolder / TrackFileName(trackName)).string();
}

void SaveSyncTracks(const std::string& folder, const std::vector<SyncTrack>& tracks) {
  for (const SyncTrack& track : tracks) WriteTrackFile(SyncTrackPath(folder, track.name()), track.keys());
}

}  // namespace stagwerk
