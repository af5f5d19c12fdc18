#pragma once
// The demo's scenes were authored, and their stills committed, with six
// significant figures in every number. Rounded so before the exact writer
// writes them, they draw the same pictures.
#include "kq7/formats/demoscene/DemoScene.h"

namespace demo_assets {

void RoundToSixFigures(stagwerk::kq7::DemoScene& scene);

}  // namespace demo_assets
