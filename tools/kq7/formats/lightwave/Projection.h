#pragma once
// LightWave's image projections (planar, cylindrical, spherical, cubic) as
// UVs, computed as the modeller computes them, in the player's convention:
// u = 0 at the image's left, v = 0 at its bottom (as a LightWave UV map).
//
// A point is first taken into the texture's own frame: the texture centre
// subtracted, then the texture rotation (heading about Y, pitch about X,
// bank about Z, composed as the player composes an item's rotation) undone.
// With (x, y, z) that point and s the texture size, per axis:
//
//   planar       X: u = z/s.z + 1/2   v = y/s.y + 1/2
//                Y: u = x/s.x + 1/2   v = z/s.z + 1/2
//                Z: u = x/s.x + 1/2   v = y/s.y + 1/2
//   cylindrical  u = lon * width wraps, v = (the axis coordinate)/s[axis] + 1/2
//   spherical    u = lon * width wraps, v = 1 - lat * height wraps
//
// where LightWave's xyztoh/xyztohp take (X, Y, Z) = (-x, y, z) about Y,
// (z, x, -y) about X and (-x, z, -y) about Z, heading = atan2(-X, Z),
// lon = 1 - heading / 2pi wrapped into [0, 1), and lat = 1/2 - pitch/pi with
// pitch = atan2(Y, |(X, Z)|), 0 at the top. LightWave measures its image t
// from the top (t = -y/s.y + 1/2 for planar Z); v = 1 - t. Seen from the
// positive axis (planar) or from outside (cylinder, sphere), the image is
// upright and not mirrored; the seam of a cylinder or sphere about Y is at
// +Z, the back, with the image's centre facing -Z, the front; about X and Z
// the seam is at -Y.
//
// A polygon across the seam gets its low-side corners' u moved up by a whole
// turn, so its texture runs on past the right edge (the player repeats
// textures) instead of back across the whole image. A corner on the axis (a
// pole, a cap's centre) has no longitude of its own: it takes the mean of
// its polygon's other corners. Cubic picks, per polygon, the planar axis its
// normal is closest to.
#include <array>
#include <vector>

#include "kq7/formats/lightwave/LightWaveObject.h"

namespace stagwerk::kq7::lightwave {

using Uv = std::array<float, 2>;

// The UV of each corner of one polygon, corners given by their places in
// object space. Projection::Uv and Projection::Front give nothing here.
std::vector<Uv> ProjectPolygon(const ImageMap& map, const std::vector<Vec3>& corners);

}  // namespace stagwerk::kq7::lightwave
