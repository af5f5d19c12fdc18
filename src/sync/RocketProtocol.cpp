#include "sync/RocketProtocol.h"

#include <charconv>
#include <cmath>

namespace stagwerk {
namespace {

uint32_t BigU32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

void PutBigU32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift & 0xFF));
}

// Command byte plus payload; 0 for bytes the editor never sends.
std::size_t CommandSize(uint8_t command) {
  switch (command) {
    case 0: return 1 + 13;  // track, row, value, shape
    case 1: return 1 + 8;   // track, row
    case 3: return 1 + 4;   // row
    case 4: return 1 + 1;   // flag
    case 5: return 1;
    default: return 0;
  }
}

}  // namespace

bool RocketCommandReader::Feed(const uint8_t* data, std::size_t size, std::vector<RocketCommand>& out) {
  for (std::size_t i = 0; i < size; ++i) {
    if (failed()) return false;
    if (pendingSize_ == 0) {
      needed_ = CommandSize(data[i]);
      if (needed_ == 0) {
        error_ = "unknown command " + std::to_string(data[i]);
        return false;
      }
    }
    pending_[pendingSize_++] = data[i];
    if (pendingSize_ == needed_ && !Complete(out)) return false;
  }
  return !failed();
}

bool RocketCommandReader::Complete(std::vector<RocketCommand>& out) {
  const uint8_t* p = pending_.data();
  pendingSize_ = 0;
  RocketCommand command;
  command.kind = static_cast<RocketCommandKind>(p[0]);
  switch (command.kind) {
    case RocketCommandKind::SetKey:
    case RocketCommandKind::DeleteKey:
      command.track = BigU32(p + 1);
      command.row = BigU32(p + 5);
      if (command.track >= trackCount_) {
        error_ = "key on track " + std::to_string(command.track) + ", of " + std::to_string(trackCount_) +
                 " requested";
        return false;
      }
      if (command.kind == RocketCommandKind::SetKey) {
        command.value = FloatFromBits(BigU32(p + 9));
        if (p[13] > kLastKeyShape) {
          error_ = "key shape " + std::to_string(p[13]);
          return false;
        }
        // A NaN or infinity would reach the scene's matrices.
        if (!std::isfinite(command.value)) {
          error_ = "key value that is not a finite number";
          return false;
        }
        command.shape = static_cast<KeyShape>(p[13]);
      }
      break;
    case RocketCommandKind::SetRow:
      command.row = BigU32(p + 1);
      break;
    case RocketCommandKind::Pause:
      command.paused = p[1] != 0;
      break;
    case RocketCommandKind::SaveTracks:
    case RocketCommandKind::GetTrack:
      break;
  }
  out.push_back(command);
  return true;
}

void AppendGetTrack(std::string& out, std::string_view name) {
  out.push_back(static_cast<char>(RocketCommandKind::GetTrack));
  PutBigU32(out, static_cast<uint32_t>(name.size()));
  out.append(name);
}

void AppendSetRow(std::string& out, uint32_t row) {
  out.push_back(static_cast<char>(RocketCommandKind::SetRow));
  PutBigU32(out, row);
}

void AppendSetKey(std::string& out, uint32_t track, const SyncKey& key) {
  out.push_back(static_cast<char>(RocketCommandKind::SetKey));
  PutBigU32(out, track);
  PutBigU32(out, key.row);
  PutBigU32(out, BitsOfFloat(key.value));
  out.push_back(static_cast<char>(key.shape));
}

std::optional<RocketAddress> ParseRocketAddress(std::string_view text) {
  RocketAddress address;
  std::string_view port = text;
  if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
    address.host = std::string(text.substr(0, colon));
    port = text.substr(colon + 1);
    if (address.host.empty()) return std::nullopt;
  }
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (ec != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535) return std::nullopt;
  address.port = static_cast<uint16_t>(value);
  return address;
}

}  // namespace stagwerk
