#include "kq7/import/Import.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include <unistd.h>

#include "kq7/formats/ToolError.h"
#include "kq7/import/GltfForAssimp.h"

namespace stagwerk::kq7 {

ImportedScene::ImportedScene(std::unique_ptr<Assimp::Importer> importer, bool lightWave)
    : importer_(std::move(importer)), lightWave_(lightWave) {}
ImportedScene::ImportedScene(ImportedScene&&) noexcept = default;
ImportedScene& ImportedScene::operator=(ImportedScene&&) noexcept = default;
ImportedScene::~ImportedScene() = default;

const aiScene& ImportedScene::scene() const { return *importer_->GetScene(); }

namespace {

// Opens the file ourselves first: assimp's own messages for a missing or
// empty file are vague, and a user needs to know which it was.
std::string FirstBytes(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw InputError(path + ": is a directory, not a 3D file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError(path + ": cannot open it: " + std::strerror(errno));
  std::string head(12, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  if (head.empty()) throw InputError(path + ": the file is empty");
  return head;
}

}  // namespace

ImportedScene ImportScene(const std::string& path, bool triangulate) {
  const std::string head = FirstBytes(path);
  const bool lightWave = head.size() >= 12 && head.compare(0, 4, "FORM") == 0 &&
                         (head.compare(8, 4, "LWO2") == 0 || head.compare(8, 4, "LWOB") == 0 ||
                          head.compare(8, 4, "LWLO") == 0);

  auto importer = std::make_unique<Assimp::Importer>();
  // Keep the file's own polygons; everything else about the mesh we do ourselves.
  const unsigned flags = triangulate ? aiProcess_Triangulate : 0u;
  const aiScene* scene = nullptr;
  if (const std::optional<std::string> copy = GltfForAssimp(path)) {
    // Beside the file, so the buffers and pictures it names are found.
    const std::filesystem::path p(path);
    const std::filesystem::path spelled =
        p.parent_path() / (".kq7-" + std::to_string(::getpid()) + "-" + p.filename().string());
    {
      std::ofstream out(spelled, std::ios::binary | std::ios::trunc);
      out << *copy;
      if (!out) throw InputError(path + ": a skin has no inverseBindMatrices, which assimp cannot read, and its "
                                 "folder cannot hold a copy that spells them out");
    }
    scene = importer->ReadFile(spelled.string(), flags);
    std::error_code ec;
    std::filesystem::remove(spelled, ec);
  } else {
    scene = importer->ReadFile(path, flags);
  }
  if (scene == nullptr) {
    std::string why = importer->GetErrorString();
    if (why.empty()) why = "no reader for this format";
    throw InputError(path + ": cannot read it as a 3D file: " + why);
  }
  if (scene->mRootNode == nullptr || scene->mNumMeshes == 0) throw InputError(path + ": holds no mesh");
  return ImportedScene(std::move(importer), lightWave);
}

}  // namespace stagwerk::kq7
