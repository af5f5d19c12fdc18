#pragma once
// A Rocket editor's demo side: connects, asks for the tracks, applies the
// editor's keys and reports its seeks, pauses and saves. Poll() once a
// frame; nothing here ever waits on the network. An editor that goes away,
// refuses or sends garbage is dropped and tried again at most once per
// retry interval, while the tracks keep the keys they have.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sync/RocketProtocol.h"
#include "sync/SyncTrack.h"
#include "sync/TcpConnection.h"

namespace stagwerk {

struct RocketEvent {
  enum class Kind : uint8_t {
    Status,       // text: for the overlay and stderr
    KeysChanged,  // some track's keys changed (a paused frame is stale)
    SetRow,       // row: seek there
    Pause,        // paused: pause or play
    SaveTracks,   // write the tracks
  };
  Kind kind = Kind::Status;
  uint32_t row = 0;
  bool paused = false;
  std::string text;
};

class RocketClient {
 public:
  using Clock = std::chrono::steady_clock;

  // tracks: in the order they are requested, which numbers them. Keys they
  // bring (from saved files) stay until an editor answers: from then on the
  // editor's keys are the track. Throws LoadError when the host cannot be
  // found.
  RocketClient(RocketAddress address, std::vector<SyncTrack> tracks,
               Clock::duration retryInterval = std::chrono::seconds(1));
  ~RocketClient();
  RocketClient(const RocketClient&) = delete;
  RocketClient& operator=(const RocketClient&) = delete;

  // Connects, reconnects, sends what is queued and applies what has come.
  std::vector<RocketEvent> Poll(Clock::time_point now = Clock::now());

  // Tells the editor the row, when it differs from the last one it knows.
  void SendRow(uint32_t row);
  // Sets the key here and sends it to the editor when one is connected.
  void SendKey(uint32_t track, const SyncKey& key);

  bool connected() const { return state_ == State::Connected; }
  const std::vector<SyncTrack>& tracks() const { return tracks_; }
  const std::string& status() const { return status_; }
  const RocketAddress& address() const { return address_; }

 private:
  enum class State { Idle, Connecting, Greeting, Connected };

  void StartConnect(Clock::time_point now, std::vector<RocketEvent>& events);
  void FollowConnect(TcpConnection::ConnectState connect, std::vector<RocketEvent>& events);
  void OnConnected();
  void Receive(std::vector<RocketEvent>& events);
  bool Consume(const uint8_t* data, std::size_t size, std::vector<RocketEvent>& events);
  void Flush(std::vector<RocketEvent>& events);
  void Drop(const std::string& why, std::vector<RocketEvent>& events);
  void Report(const std::string& text, std::vector<RocketEvent>& events);

  RocketAddress address_;
  std::vector<SyncTrack> tracks_;
  Clock::duration retryInterval_;
  std::unique_ptr<TcpConnection> connection_;
  State state_ = State::Idle;
  std::optional<Clock::time_point> lastAttempt_;
  std::size_t greetingSeen_ = 0;
  RocketCommandReader reader_;
  std::string outgoing_;
  std::optional<uint32_t> editorRow_;
  std::string status_;
  bool everConnected_ = false;
};

}  // namespace stagwerk
