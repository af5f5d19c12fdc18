#pragma once
// The light a viewer gives a file that brings none: without it a converted
// model is a dark shape on black.
#include "kq7/formats/demoscene/DemoScene.h"

namespace stagwerk::kq7 {

// Intensities as the player applies them (its display space).
constexpr float kDefaultKey = 0.7f, kDefaultFill = 0.25f, kDefaultAmbient = 0.25f;

// For a scene without lights: a key light from above and to the left of the
// first camera, a fill light from below right, both riding on the camera so
// they follow the view, and white ambient light (raised to kDefaultAmbient
// where the scene has less). A scene with lights is left as it is; returns
// whether the rig was added.
bool AddDefaultLights(DemoScene& scene);

}  // namespace stagwerk::kq7
