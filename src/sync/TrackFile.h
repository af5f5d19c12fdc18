#pragma once
// Saved sync tracks in Rocket's binary track format, little-endian: key
// count u32, then per key row u32, value f32, shape u8 (9 bytes a key).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sync/SyncTrack.h"

namespace stagwerk {

// "finale:Camera.zoom" -> "finale#Camera.zoom.track": ':' cannot be in a
// file name everywhere, so Rocket writes '#'.
std::string TrackFileName(std::string_view trackName);

// The keys in a track file's bytes. Throws LoadError naming fileName and
// the fault: short file, a count the bytes do not hold, bytes after the
// last key, a shape over 3, a value that is not a finite number, or rows
// not strictly increasing.
std::vector<SyncKey> ParseTrackFile(const uint8_t* data, std::size_t size, const std::string& fileName);
std::vector<SyncKey> ReadTrackFile(const std::string& path);

std::string EncodeTrackFile(const std::vector<SyncKey>& keys);
// Written beside the target and renamed over it, so a reader sees the old
// file or the new one, never half of one. Creates missing folders. Throws
// LoadError when it cannot.
void WriteTrackFile(const std::string& path, const std::vector<SyncKey>& keys);

}  // namespace stagwerk
