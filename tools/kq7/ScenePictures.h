#pragma once
// The pictures a scene itself names, made ready before the scene is
// written: each light's lens flare (textures/LIGHT.jpg) and the BGImage and
// FGImage. What cannot be had is dropped from the scene with a warning, so
// the player never stops at a picture that is not there.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "kq7/formats/demoscene/DemoScene.h"

namespace stagwerk::kq7 {

// notes gets what happened to each, by its path under data ("textures/sky.jpg").
void PrepareScenePictures(DemoScene& scene, const std::filesystem::path& data,
                          const std::vector<std::filesystem::path>& folders, const std::string& in,
                          std::map<std::string, std::string>& notes, std::vector<std::string>& warnings);

// kq7 convert's lines "  DIR/NAME.jpg (what happened)" as notes by "textures/NAME.jpg".
// Returns a line for each picture name two different sources were made into.
std::vector<std::string> NotePictureLines(const std::string& printed, std::map<std::string, std::string>& notes);

}  // namespace stagwerk::kq7
