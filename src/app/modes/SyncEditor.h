#pragma once
// The player driven by a sync editor: the editor's seeks, pauses, key edits
// and saves applied between frames, the row told back while playing, and
// the camera written into the editor as keys on K. The editor's tracks are
// what frames read while it is on; never waits on the network.
#include <memory>
#include <string>

#include "app/playback/SyncFeed.h"
#include "sync/RocketClient.h"

namespace stagwerk {

class PlaybackClock;
class PlaybackControls;

class SyncEditor {
 public:
  // The demo's listed tracks, with their saved keys until an editor answers.
  // Throws LoadError when the host cannot be found.
  SyncEditor(const RocketAddress& address, const DemoSync& sync);

  // A demo loaded anew: the same list keeps the editor's keys; another
  // list connects afresh and asks for its tracks.
  void Rebind(const DemoSync& sync);
  SyncFeed feed() const;

  // Between frames: applies what came. Returns what to say (overlay and
  // stderr), or empty.
  std::string Poll(PlaybackClock& playback, PlaybackControls& controls);
  // After a frame drawn while playing: its row, for the editor to follow.
  void FrameShown(double musicTime);
  // K: the current camera's position and rotation as keys at the current
  // row, on the tracks listed for it. Returns what to say.
  std::string KeyCamera(const PlaybackClock& playback, double musicTime);
  // Writes the tracks under the script's folder; what to say.
  std::string Save();
  bool connected() const { return client_->connected(); }

 private:
  const DemoSync* sync_;
  std::unique_ptr<RocketClient> client_;
};

}  // namespace stagwerk
