#pragma once
// Splitting one polygon into triangles that keep its facing.
#include <array>
#include <cstddef>
#include <vector>

#include "kq7/formats/lightwave/ChunkReader.h"

namespace stagwerk::kq7::lightwave {

// Triangles as corner numbers of the polygon, each in the polygon's own
// turning order. Ear clipping in the polygon's plane, so a concave polygon
// stays inside its outline; a polygon of more than 64 corners, or one too
// bent to have a plane, is cut as a fan from its first corner. Polygons of
// fewer than three corners give none.
std::vector<std::array<std::size_t, 3>> Triangulate(const std::vector<Vec3>& corners);

}  // namespace stagwerk::kq7::lightwave
