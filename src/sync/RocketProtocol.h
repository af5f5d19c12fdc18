#pragma once
// The Rocket sync protocol without a socket: the greetings, a reader for
// the editor's command stream fed in whatever pieces the network gives, and
// the encoders for what the demo sends. All numbers are big-endian.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sync/SyncTrack.h"

namespace stagwerk {

inline constexpr std::string_view kRocketClientGreeting = "hello, synctracker!";
inline constexpr std::string_view kRocketServerGreeting = "hello, demo!";
inline constexpr uint16_t kRocketDefaultPort = 1338;

enum class RocketCommandKind : uint8_t {
  SetKey = 0,
  DeleteKey = 1,
  GetTrack = 2,  // demo to editor only
  SetRow = 3,
  Pause = 4,
  SaveTracks = 5,
};

struct RocketCommand {
  RocketCommandKind kind = RocketCommandKind::SetRow;
  uint32_t track = 0;  // SetKey, DeleteKey
  uint32_t row = 0;    // SetKey, DeleteKey, SetRow
  float value = 0.0f;  // SetKey
  KeyShape shape = KeyShape::Step;
  bool paused = false;  // Pause: any flag but 0 pauses
  bool operator==(const RocketCommand&) const = default;
};

class RocketCommandReader {
 public:
  // trackCount: how many tracks were requested; a key for any other track
  // is garbage.
  explicit RocketCommandReader(uint32_t trackCount = 0) : trackCount_(trackCount) {}

  // Appends every command the bytes complete to out; a partial command waits
  // (at most 14 bytes) for the next piece. Returns false once the stream is
  // garbage: an unknown command, a key on an unrequested track, a shape over
  // 3 or a value that is not a finite number. error() says which; everything
  // fed after that is refused, the connection is to be dropped.
  bool Feed(const uint8_t* data, std::size_t size, std::vector<RocketCommand>& out);

  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  bool Complete(std::vector<RocketCommand>& out);

  uint32_t trackCount_;
  std::array<uint8_t, 14> pending_{};
  std::size_t pendingSize_ = 0;
  std::size_t needed_ = 0;
  std::string error_;
};

void AppendGetTrack(std::string& out, std::string_view name);
void AppendSetRow(std::string& out, uint32_t row);
void AppendSetKey(std::string& out, uint32_t track, const SyncKey& key);

// "[HOST:]PORT": the host defaults to 127.0.0.1. Nothing for a port that is
// not 1 to 65535 or an empty host.
struct RocketAddress {
  std::string host = "127.0.0.1";
  uint16_t port = kRocketDefaultPort;
  std::string Text() const { return host + ":" + std::to_string(port); }
};
std::optional<RocketAddress> ParseRocketAddress(std::string_view text);

}  // namespace stagwerk
