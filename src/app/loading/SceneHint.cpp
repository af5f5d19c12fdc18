#include "app/loading/SceneHint.h"

namespace stagwerk {

std::string SceneHint(const std::string& text) {
  // "Not KQ7 File" refuses a mesh, and "Not LW Scene File" a file that is no
  // scene at all: neither is a matter of the scene's layout.
  if (text.rfind("Not ", 0) != 0 || text == "Not KQ7 File" || text == "Not LW Scene File") return "";
  return "stagwerk: 'kq7 scene' converts scenes from other LightWave versions and from other tools (glTF) "
         "into the layout the player reads";
}

}  // namespace stagwerk
