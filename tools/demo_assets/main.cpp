// Writes the bundled demo's data from code: KQ7 meshes, pictures (TGA, and
// PPM/PGM for scripts/make-demo-assets.sh to turn into JPEG), scenes and
// the script.
//   make_demo_assets DATA_DIR
#include <cstdio>
#include <exception>
#include <filesystem>

#include "Meshes.h"
#include "Pictures.h"
#include "Scenes.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: make_demo_assets DATA_DIR\n");
    return 2;
  }
  try {
    const std::filesystem::path data = argv[1];
    demo_assets::WriteMeshes(data / "Objects");
    demo_assets::WritePictures(data / "textures");
    demo_assets::WriteScenes(data);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_demo_assets: %s\n", e.what());
    return 1;
  }
  return 0;
}
