#pragma once
// Changes to a converted scene that keep every item's number and link true.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "kq7/formats/demoscene/DemoScene.h"

namespace stagwerk::kq7 {

// Object index becomes a null named name, in its place, so its motion,
// parent and children's links stay as they were. What only a mesh carries
// goes: its bones, morph and mixer; objects morphing towards it stop.
// Returns a note per such loss.
std::vector<std::string> MakeNull(DemoScene& scene, std::size_t index, const std::string& name);

// The camera named name (as written, or as the one word the scene holds),
// else the camera whose parent object is so named; the first such.
std::optional<std::size_t> FindCamera(const DemoScene& scene, const std::string& name);

// Camera index becomes camera 1, the others keeping their order; links to
// cameras follow.
void MoveCameraFirst(DemoScene& scene, std::size_t index);

}  // namespace stagwerk::kq7
