#pragma once
// Loop finding over items that each name at most one next item (a parent, a
// morph target): every item is walked once in all, so deep chains cost no
// more than wide ones.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace stagwerk {

inline constexpr std::size_t kChainEnd = static_cast<std::size_t>(-1);

// The first item, in index order, whose chain (the item, next(item), ...)
// runs into a loop; none when every chain ends. next returns an index below
// count or kChainEnd.
template <typename Next>
std::optional<std::size_t> FirstLoopingChain(std::size_t count, Next next) {
  // 0: not walked yet; otherwise 1 + the item whose walk reached it.
  std::vector<std::size_t> walkedFrom(count, 0);
  for (std::size_t start = 0; start < count; ++start) {
    if (walkedFrom[start] != 0) continue;  // on an earlier chain, which ended
    std::size_t at = start;
    while (at != kChainEnd && walkedFrom[at] == 0) {
      walkedFrom[at] = start + 1;
      at = next(at);
    }
    if (at != kChainEnd && walkedFrom[at] == start + 1) return start;
  }
  return std::nullopt;
}

}  // namespace stagwerk
