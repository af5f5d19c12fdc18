#include "app/SceneHint.h"

namespace stagwerk {

std::string SceneHint(const std::string& text) {
  // "Not KQ7 File" refuses a mesh, not a scene.
  if (text.rfind("Not ", 0) != 0 || text == "Not KQ7 File") return "";
  return "stagwerk: 'kq7 scene' converts scenes from other LightWave versions and from other tools (glTF) "
         "into the layout the player reads";
}

}  // namespace stagwerk
