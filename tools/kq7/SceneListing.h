#pragma once
// What a scene file holds, for kq7 scene --list, and choosing among it by
// name for --animation and --camera.
#include <cstddef>
#include <ostream>
#include <string>

#include "kq7/formats/demoscene/DemoScene.h"
#include "kq7/formats/demoscene/GltfFile.h"
#include "kq7/formats/demoscene/LightWaveScene.h"
#include "kq7/formats/demoscene/SourceFiles.h"

namespace stagwerk::kq7 {

// Animations (name, length, channels), cameras, lights, skins (joints and
// the mesh nodes they bend) and meshes.
void ListGltf(const GltfFile& file, std::ostream& out);

// Frame range, objects (and where each source is, or that it is missing),
// lights and cameras.
void ListLightWave(const LightWaveScene& scene, const std::string& in, SourceFinder& finder, std::ostream& out);

// The animation named name (as written or as one word) or numbered so from
// 1; a UsageError listing the file's animations otherwise.
std::size_t ChooseAnimation(const GltfFile& file, const std::string& name);

// Makes the camera so named camera 1; a UsageError listing the scene's
// cameras when none is.
void ChooseCamera(DemoScene& scene, const std::string& name, const std::string& in);

}  // namespace stagwerk::kq7
