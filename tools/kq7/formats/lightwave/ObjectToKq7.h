#pragma once
// A LightWave object as one KQ7 mesh.
//
// - Coordinates stay exactly as LightWave's: both it and the player are
//   left-handed and Y-up; polygons keep their corners in file order.
// - Layers: all of them, each at its place in the object (points are stored
//   in object space; the pivot is only Layout's centre of rotation), or with
//   layer set the one LoadObjectLayer numbers so (the file's LAYR number + 1)
//   around its pivot: its points less the pivot, as Layout turns the layer
//   about it (the player keeps no pivot, the item's position carries it).
// - UVs: per surface, its colour image map: a UV map (VMAP TXUV, with VMAD
//   values for the corners that have one) or a projection computed as in
//   Projection.h. Corners are separate in a KQ7 file, so a vertex with two
//   UVs (a VMAD, a seam) needs no copy. A surface without an image uses the
//   object's first UV map. The first image gives the texture.
// - Colours: the RGB/RGBA map a surface names (VCOL), else the object's
//   first; where there is none, each image-less surface's colour (textured
//   surfaces white, so their texture shows as it is).
// - Morph maps, in the order the file first names them, become morph
//   targets: MORF as the deltas they hold, SPOT less the base point.
#include <optional>
#include <string>
#include <vector>

#include "kq7/formats/ConvertOptions.h"
#include "kq7/formats/lightwave/LightWaveObject.h"
#include "objects/Kq7Writer.h"

namespace stagwerk::kq7::lightwave {

struct LightWaveOptions {
  ConvertOptions mesh;
  std::optional<int> layer;  // from 1, as LoadObjectLayer counts
  bool triangulate = false;
};

// Throws InputError naming file when the object does not fit a KQ7 file;
// what converts but loses something goes to warnings.
Kq7Description ObjectToKq7(const LightWaveObject& object, const std::string& file, const LightWaveOptions& options,
                           std::vector<std::string>& warnings);

// True when path starts as an LWO2, LWOB or LWLO file does.
bool IsLightWaveObjectFile(const std::string& path);

// Reads path and converts it: the whole path from a .lwo to a KQ7 mesh.
Kq7Description ConvertLightWaveFile(const std::string& path, const LightWaveOptions& options,
                                    std::vector<std::string>& warnings);

}  // namespace stagwerk::kq7::lightwave
