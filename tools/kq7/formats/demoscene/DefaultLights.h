#pragma once
// The light a viewer gives a file that brings none: without it a converted
// model is a dark shape on black.
#include "kq7/formats/demoscene/DemoScene.h"

namespace stagwerk::kq7 {

// The rig as a physically based viewer would light it, as shares of white on
// a facing white Lambert surface: key 0.8, fill 0.25, ambient 0.1, in linear
// terms. The player adds light in display space, where dim light shows
// brighter, so its intensities are fitted to show the same on the facing,
// the side and the unlit faces: 0.6, 0.35 and 0.35 (0.1 linear is 0.35 on
// screen).
constexpr float kDefaultKey = 0.6f, kDefaultFill = 0.35f, kDefaultAmbient = 0.35f;

// For a scene without lights: a key light from above and to the left of the
// first camera, a fill light from below right, both riding on the camera so
// they follow the view, and white ambient light (raised to kDefaultAmbient
// where the scene has less). A scene with lights is left as it is; returns
// whether the rig was added.
bool AddDefaultLights(DemoScene& scene);

}  // namespace stagwerk::kq7
