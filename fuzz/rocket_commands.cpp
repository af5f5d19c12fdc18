// The editor's command stream from the fuzzer's bytes: the first byte is
// the number of tracks requested, the second the size of the pieces the rest
// arrives in. Every command read is one the editor may send, and pieces of
// any size give the same commands and the same verdict as the whole.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sync/RocketProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const uint32_t trackCount = data[0];
  const std::size_t piece = std::max<std::size_t>(1, data[1]);
  data += 2;
  size -= 2;

  stagwerk::RocketCommandReader whole(trackCount);
  std::vector<stagwerk::RocketCommand> all;
  const bool good = whole.Feed(data, size, all);
  if (good == whole.failed() || all.size() > size) std::abort();
  for (const stagwerk::RocketCommand& command : all) {
    using Kind = stagwerk::RocketCommandKind;
    if (command.kind == Kind::GetTrack) std::abort();
    if ((command.kind == Kind::SetKey || command.kind == Kind::DeleteKey) && command.track >= trackCount) std::abort();
    if (command.kind == Kind::SetKey &&
        (static_cast<uint8_t>(command.shape) > stagwerk::kLastKeyShape || !std::isfinite(command.value))) {
      std::abort();
    }
  }

  stagwerk::RocketCommandReader pieces(trackCount);
  std::vector<stagwerk::RocketCommand> again;
  bool piecesGood = true;
  for (std::size_t at = 0; at < size && piecesGood; at += piece) {
    piecesGood = pieces.Feed(data + at, std::min(piece, size - at), again);
  }
  if (piecesGood != good || again != all || pieces.error() != whole.error()) std::abort();
  return 0;
}
