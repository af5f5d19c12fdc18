#include "sync/SyncTrack.h"

#include <algorithm>

namespace stagwerk {
namespace {

bool RowBefore(const SyncKey& key, uint32_t row) { return key.row < row; }

}  // namespace

void SyncTrack::SetKey(const SyncKey& key) {
  auto at = std::lower_bound(keys_.begin(), keys_.end(), key.row, RowBefore);
  if (at != keys_.end() && at->row == key.row) {
    *at = key;
  } else {
    keys_.insert(at, key);
  }
}

bool SyncTrack::DeleteKey(uint32_t row) {
  auto at = std::lower_bound(keys_.begin(), keys_.end(), row, RowBefore);
  if (at == keys_.end() || at->row != row) return false;
  keys_.erase(at);
  return true;
}

std::optional<double> SyncTrack::ValueAt(double row) const {
  if (keys_.empty() || !(row >= keys_.front().row)) return std::nullopt;
  // The last key at or before the row.
  auto next = std::upper_bound(keys_.begin(), keys_.end(), row,
                               [](double r, const SyncKey& key) { return r < key.row; });
  const SyncKey& from = *(next - 1);
  if (next == keys_.end()) return from.value;
  const SyncKey& to = *next;
  double t = (row - from.row) / (static_cast<double>(to.row) - from.row);
  switch (from.shape) {
    case KeyShape::Step:
      return from.value;
    case KeyShape::Linear:
      break;
    case KeyShape::Smooth:
      t = t * t * (3.0 - 2.0 * t);
      break;
    case KeyShape::Ramp:
      t = t * t;
      break;
  }
  return from.value + (static_cast<double>(to.value) - from.value) * t;
}

}  // namespace stagwerk
