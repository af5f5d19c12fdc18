#include "sync/RocketClient.h"

#include <utility>

#include "base/LoadError.h"
#include "sync/TcpConnection.h"

namespace stagwerk {
namespace {

// A frame reads at most this much, so a flooding editor cannot hold it up.
constexpr std::size_t kMaxReadPerPoll = 256 * 1024;
// An editor that stops reading is dropped before the queue grows without end.
constexpr std::size_t kMaxQueued = 1024 * 1024;

RocketEvent Event(RocketEvent::Kind kind, uint32_t row = 0, bool paused = false) {
  RocketEvent event;
  event.kind = kind;
  event.row = row;
  event.paused = paused;
  return event;
}

}  // namespace

RocketClient::RocketClient(RocketAddress address, std::vector<SyncTrack> tracks, Clock::duration retryInterval)
    : address_(std::move(address)),
      tracks_(std::move(tracks)),
      retryInterval_(retryInterval),
      connection_(std::make_unique<TcpConnection>()) {
  std::string error;
  if (!connection_->Resolve(address_.host, address_.port, &error)) throw LoadError("sync: " + error);
}

RocketClient::~RocketClient() = default;

std::vector<RocketEvent> RocketClient::Poll(Clock::time_point now) {
  std::vector<RocketEvent> events;
  if (state_ == State::Idle && (!lastAttempt_ || now - *lastAttempt_ >= retryInterval_)) {
    StartConnect(now, events);
  }
  if (state_ == State::Connecting) {
    std::string error;
    FollowConnect(connection_->CheckConnect(&error), events);
  }
  if (state_ == State::Greeting || state_ == State::Connected) {
    Flush(events);
    if (state_ != State::Idle) Receive(events);
    // What the editor's commands and the greeting queued goes out this frame.
    if (state_ != State::Idle) Flush(events);
  }
  return events;
}

void RocketClient::StartConnect(Clock::time_point now, std::vector<RocketEvent>& events) {
  lastAttempt_ = now;
  greetingSeen_ = 0;
  outgoing_.assign(kRocketClientGreeting);
  std::string error;
  FollowConnect(connection_->StartConnect(&error), events);
}

void RocketClient::FollowConnect(TcpConnection::ConnectState connect, std::vector<RocketEvent>& events) {
  switch (connect) {
    case TcpConnection::ConnectState::Pending: state_ = State::Connecting; break;
    case TcpConnection::ConnectState::Connected: state_ = State::Greeting; break;
    case TcpConnection::ConnectState::Failed: Drop("", events); break;
  }
}

void RocketClient::OnConnected() {
  state_ = State::Connected;
  everConnected_ = true;
  editorRow_.reset();
  reader_ = RocketCommandReader(static_cast<uint32_t>(tracks_.size()));
  // The editor answers each request with all the keys it has for the track.
  for (SyncTrack& track : tracks_) {
    track.Clear();
    AppendGetTrack(outgoing_, track.name());
  }
}

void RocketClient::Receive(std::vector<RocketEvent>& events) {
  uint8_t buffer[4096];
  for (std::size_t total = 0; total < kMaxReadPerPoll;) {
    const long n = connection_->Read(buffer, sizeof buffer);
    if (n == 0) return;
    if (n < 0) {
      if (state_ == State::Greeting) {
        Drop("sync: editor at " + address_.Text() + " closed without answering; playing on, reconnecting", events);
      } else {
        Drop("sync: editor at " + address_.Text() + " gone; playing on, reconnecting", events);
      }
      return;
    }
    total += static_cast<std::size_t>(n);
    if (!Consume(buffer, static_cast<std::size_t>(n), events)) return;
  }
}

bool RocketClient::Consume(const uint8_t* data, std::size_t size, std::vector<RocketEvent>& events) {
  std::size_t used = 0;
  while (state_ == State::Greeting && used < size) {
    if (static_cast<char>(data[used]) != kRocketServerGreeting[greetingSeen_]) {
      Drop("sync: " + address_.Text() + " is no sync editor (wrong greeting); playing on, reconnecting", events);
      return false;
    }
    ++used;
    if (++greetingSeen_ == kRocketServerGreeting.size()) {
      OnConnected();
      events.push_back(Event(RocketEvent::Kind::KeysChanged));
      Report("sync: connected to editor at " + address_.Text(), events);
    }
  }
  if (used == size) return true;

  std::vector<RocketCommand> commands;
  const bool good = reader_.Feed(data + used, size - used, commands);
  bool keysChanged = false;
  for (const RocketCommand& command : commands) {
    switch (command.kind) {
      case RocketCommandKind::SetKey:
        tracks_[command.track].SetKey({command.row, command.value, command.shape});
        keysChanged = true;
        break;
      case RocketCommandKind::DeleteKey:
        keysChanged = tracks_[command.track].DeleteKey(command.row) || keysChanged;
        break;
      case RocketCommandKind::SetRow:
        // The editor knows the row it set: no echo back.
        editorRow_ = command.row;
        events.push_back(Event(RocketEvent::Kind::SetRow, command.row));
        break;
      case RocketCommandKind::Pause:
        events.push_back(Event(RocketEvent::Kind::Pause, 0, command.paused));
        break;
      case RocketCommandKind::SaveTracks:
        events.push_back(Event(RocketEvent::Kind::SaveTracks));
        break;
      case RocketCommandKind::GetTrack:
        break;
    }
  }
  if (keysChanged) events.push_back(Event(RocketEvent::Kind::KeysChanged));
  if (!good) {
    Drop("sync: garbage from editor at " + address_.Text() + " (" + reader_.error() +
             "); playing on, reconnecting",
         events);
    return false;
  }
  return true;
}

void RocketClient::Flush(std::vector<RocketEvent>& events) {
  while (!outgoing_.empty()) {
    const long n = connection_->Write(outgoing_.data(), outgoing_.size());
    if (n < 0) {
      Drop("sync: editor at " + address_.Text() + " gone; playing on, reconnecting", events);
      return;
    }
    if (n == 0) break;
    outgoing_.erase(0, static_cast<std::size_t>(n));
  }
  if (outgoing_.size() > kMaxQueued) {
    Drop("sync: editor at " + address_.Text() + " stopped reading; playing on, reconnecting", events);
  }
}

void RocketClient::SendRow(uint32_t row) {
  if (state_ != State::Connected || editorRow_ == row) return;
  editorRow_ = row;
  AppendSetRow(outgoing_, row);
}

void RocketClient::SendKey(uint32_t track, const SyncKey& key) {
  if (track >= tracks_.size()) return;
  tracks_[track].SetKey(key);
  if (state_ == State::Connected) AppendSetKey(outgoing_, track, key);
}

void RocketClient::Drop(const std::string& why, std::vector<RocketEvent>& events) {
  connection_->Close();
  state_ = State::Idle;
  outgoing_.clear();
  greetingSeen_ = 0;
  if (!why.empty()) {
    Report(why, events);
  } else if (!everConnected_ && status_.empty()) {
    // Tried again quietly each interval; said once.
    Report("sync: no editor at " + address_.Text() + "; playing on, retrying", events);
  }
}

void RocketClient::Report(const std::string& text, std::vector<RocketEvent>& events) {
  if (text == status_) return;
  status_ = text;
  RocketEvent event = Event(RocketEvent::Kind::Status);
  event.text = text;
  events.push_back(std::move(event));
}

}  // namespace stagwerk
