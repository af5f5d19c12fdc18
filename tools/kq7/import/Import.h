#pragma once
// Reading a 3D file of any format assimp knows.
#include <memory>
#include <string>

struct aiScene;
namespace Assimp {
class Importer;
}

namespace stagwerk::kq7 {

class ImportedScene {
 public:
  ImportedScene(std::unique_ptr<Assimp::Importer> importer, bool lightWave);
  ImportedScene(ImportedScene&&) noexcept;
  ImportedScene& operator=(ImportedScene&&) noexcept;
  ~ImportedScene();

  const aiScene& scene() const;
  // A LightWave object: it carries no normals of its own, assimp makes them.
  bool lightWave() const { return lightWave_; }

 private:
  std::unique_ptr<Assimp::Importer> importer_;  // owns the scene
  bool lightWave_ = false;
};

// Throws InputError naming path when the file cannot be opened, is empty,
// is in no format assimp reads, or holds no mesh.
ImportedScene ImportScene(const std::string& path, bool triangulate);

}  // namespace stagwerk::kq7
