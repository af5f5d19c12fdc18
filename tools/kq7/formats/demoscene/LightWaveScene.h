#pragma once
// LightWave scene files of every version (header 1 and 2 of LightWave 5,
// 3 of LightWave 6, 4 and 5 of the versions after it), read tolerantly into
// what the player can show.
#include <string>
#include <string_view>
#include <vector>

#include "kq7/formats/demoscene/DemoScene.h"

namespace stagwerk::kq7 {

struct LightWaveScene {
  DemoScene scene;
  unsigned version = 0;
};

// Every statement starts at a line's first word; lines and Plugin blocks it
// does not use are passed over. Object meshes keep the path as written.
// What the player cannot carry is dropped with one warning per thing and
// item. Throws InputError naming file and line for text it cannot read.
LightWaveScene ReadLightWaveScene(std::string_view text, const std::string& file,
                                  std::vector<std::string>& warnings);

}  // namespace stagwerk::kq7
