#pragma once
// A DemoScene as scene text in the one layout the player reads: version 3,
// every block's keywords in the order its reader expects them.
#include <string>

#include "kq7/formats/demoscene/DemoScene.h"

namespace stagwerk::kq7 {

std::string WriteDemoScene(const DemoScene& scene);

// The shortest decimal text that the player's "%f" reads back as exactly v.
std::string FloatText(float v);

}  // namespace stagwerk::kq7
