#include "app/modes/SyncEditor.h"

#include <cmath>
#include <filesystem>

#include "app/playback/PlaybackClock.h"
#include "app/playback/PlaybackControls.h"
#include "base/LoadError.h"
#include "scene/Camera.h"
#include "scene/Scene.h"
#include "script/DemoScript.h"

namespace stagwerk {

namespace {

uint32_t RowOf(const SyncFeed& feed, double musicTime) {
  const double row = std::floor(feed.RowAt(musicTime));
  return row <= 0 ? 0 : row >= 4294967295.0 ? 4294967295u : static_cast<uint32_t>(row);
}

}  // namespace

SyncEditor::SyncEditor(const RocketAddress& address, const DemoSync& sync)
    : sync_(&sync), client_(std::make_unique<RocketClient>(address, sync.tracks)) {}

void SyncEditor::Rebind(const DemoSync& sync) {
  const bool same = sync.bindings.names() == sync_->bindings.names();
  sync_ = &sync;
  if (!same) client_ = std::make_unique<RocketClient>(client_->address(), sync.tracks);
}

SyncFeed SyncEditor::feed() const { return {&sync_->bindings, &client_->tracks(), sync_->rowsPerSecond}; }

std::string SyncEditor::Poll(PlaybackClock& playback, PlaybackControls& controls) {
  std::string said;
  bool redraw = false;
  for (const RocketEvent& event : client_->Poll()) {
    switch (event.kind) {
      case RocketEvent::Kind::Status: said = event.text; break;
      case RocketEvent::Kind::KeysChanged: redraw = true; break;
      case RocketEvent::Kind::SetRow:
        controls.SeekToMusicTime(event.row / sync_->rowsPerSecond);
        redraw = false;  // the seek drew it
        break;
      case RocketEvent::Kind::Pause:
        if (event.paused != controls.paused()) controls.Apply(PlaybackCommand::TogglePause);
        break;
      case RocketEvent::Kind::SaveTracks: said = Save(); break;
    }
  }
  // Playing, the next frame shows the keys anyway.
  if (redraw && controls.paused()) playback.RedrawHeld();
  return said;
}

void SyncEditor::FrameShown(double musicTime) { client_->SendRow(RowOf(feed(), musicTime)); }

std::string SyncEditor::KeyCamera(const PlaybackClock& playback, double musicTime) {
  const ScriptEntry* entry = playback.currentEntry();
  if (entry == nullptr) return "";
  const Scene& scene = *entry->scene;
  const Camera& camera = *entry->camera;
  const auto tracks = sync_->bindings.MotionTracksOf(scene, camera);
  if (tracks.empty()) return "sync: sync.txt lists no position or rotation track of this camera";
  // What the frame shows: the scene's motion with the tracks' values in.
  const SyncFeed now = feed();
  MotionValues v = EvaluateMotion(camera.motion, playback.frameTime());
  now.At(scene, musicTime).Override(camera, v);
  const float values[] = {v.x, v.y, v.z, v.heading, v.pitch, v.bank};
  const uint32_t keyRow = RowOf(now, musicTime);
  for (const auto& [track, channel] : tracks) {
    client_->SendKey(track, {keyRow, values[static_cast<std::size_t>(channel)], KeyShape::Linear});
  }
  return "sync: camera keyed at row " + std::to_string(keyRow) + " (" + std::to_string(tracks.size()) +
         (tracks.size() == 1 ? " track)" : " tracks)") + (client_->connected() ? "" : ", not sent: no editor");
}

std::string SyncEditor::Save() {
  try {
    SaveSyncTracks(sync_->folder, client_->tracks());
  } catch (const LoadError& error) {
    return std::string("sync: ") + error.what();
  }
  const std::size_t n = client_->tracks().size();
  return "sync: saved " + std::to_string(n) + (n == 1 ? " track" : " tracks") + " in " +
         (std::filesystem::path(sync_->folder) / kSyncFolder).string();
}

}  // namespace stagwerk
