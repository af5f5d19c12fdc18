// kq7 scene from a glTF file: its scenes, then each mesh in its own space
// through kq7 convert's conversion, skinned ones baked.
#include <assimp/scene.h>

#include <filesystem>
#include <sstream>

#include "kq7/MeshPictures.h"
#include "kq7/SceneListing.h"
#include "kq7/ScenePictures.h"
#include "kq7/SceneRun.h"
#include "kq7/formats/ToolError.h"
#include "kq7/formats/demoscene/DemoSceneWriter.h"
#include "kq7/formats/demoscene/GltfScene.h"
#include "kq7/formats/demoscene/SourceFiles.h"
#include "kq7/import/Convert.h"
#include "kq7/import/Import.h"
#include "kq7/import/SkinBake.h"
#include "objects/Kq7Writer.h"

namespace stagwerk::kq7::scene {

namespace fs = std::filesystem;

namespace {

// Each glTF mesh on its own, in its own space, through kq7 convert's
// conversion; assimp makes one mesh per primitive, mesh by mesh in file order.
void GltfMeshes(Run& run, const GltfFile& file, const GltfScenes& converted) {
  if (converted.meshes.empty()) return;
  const ImportedScene imported = ImportScene(run.options.in, false);
  const nlohmann::json& meshes = GltfFile::Member(file.document(), "meshes");
  std::vector<unsigned> first;
  unsigned total = 0;
  for (const nlohmann::json& mesh : meshes) {
    first.push_back(total);
    total += static_cast<unsigned>(GltfFile::Member(mesh, "primitives").size());
  }
  first.push_back(total);
  GltfTextures textures(file);
  if (total != imported.scene().mNumMeshes) {
    throw InputError(run.options.in + ": assimp read " + std::to_string(imported.scene().mNumMeshes) +
                     " meshes from the file's " + std::to_string(total) + " primitives; they cannot be told apart");
  }
  for (const GltfMeshObject& m : converted.meshes) {
    const fs::path target = run.options.data / Kq7PathFor(m.objectName);
    ConvertOptions options;
    for (unsigned i = first[m.mesh]; i < first[m.mesh + 1]; ++i) options.onlyMeshes.push_back(i);
    try {
      if (options.onlyMeshes.empty()) throw InputError(run.options.in + ": mesh " + std::to_string(m.mesh) + " has no primitives");
      const std::string what = run.options.in + " mesh " + std::to_string(m.mesh);
      const GltfTexture picture = GltfMeshTexture(textures, m.mesh, m.mesh + 1);
      options.texture = picture.name;
      Kq7Description mesh =
          m.bake >= 0 ? BakeSkinnedMesh(imported.scene(), options, converted.skins[static_cast<std::size_t>(m.bake)], what, run.warnings)
                      : ConvertScene(imported.scene(), what, options, run.warnings);
      std::ostringstream said;
      said << PlaceTexture(mesh, picture, {run.options.data / "textures", false, &run.meshPictures}, what,
                           run.warnings);
      NotePictureLines(said.str(), run.pictureNotes);
      std::error_code ec;
      fs::create_directories(target.parent_path(), ec);
      const std::vector<unsigned char> bytes = WriteKq7(mesh);
      WriteText(target, std::string(bytes.begin(), bytes.end()), run.options.in);
      run.Flush();
      run.out << run.options.in << " mesh " << m.mesh << " -> " << target.string() << ": " << mesh.positions.size()
              << " vertices, " << mesh.polygons.size() << " polygons\n";
      if (m.bake >= 0) {
        run.out << target.string() << ": " << DescribeBake(converted.skins[static_cast<std::size_t>(m.bake)], mesh) << "\n";
      }
    } catch (const InputError& e) {
      run.Flush();
      run.err << "kq7: " << e.what() << "\n";
      run.status = 1;
    }
  }
}

}  // namespace

void Gltf(Run& run) {
  const GltfFile file = GltfFile::Load(run.options.in);
  if (run.options.list) {
    ListGltf(file, run.out);
    return;
  }
  GltfSceneOptions options;
  options.name = run.options.name;
  options.fps = run.options.fps;
  if (!run.options.animation.empty()) options.animation = ChooseAnimation(file, run.options.animation);
  GltfScenes converted = ConvertGltfScenes(file, options, run.warnings);
  run.Flush();
  for (auto& [name, scene] : converted.scenes) {
    if (!run.options.camera.empty()) ChooseCamera(scene, run.options.camera, run.options.in);
  }
  // Meshes first, so a scene never names one that did not convert.
  if (!run.options.noMeshes) GltfMeshes(run, file, converted);
  std::vector<std::string> names;
  for (auto& [name, scene] : converted.scenes) {
    NullUnconverted(run, scene, name);
    LightIfDark(run, scene, name);
    const fs::path scenePath = run.options.data / "scenes" / (name + ".lws");
    WriteText(scenePath, WriteDemoScene(scene), run.options.in);
    run.out << run.options.in << " (glTF) -> " << scenePath.string() << ": " << scene.objects.size() << " objects, "
            << scene.lights.size() << " lights, " << scene.cameras.size() << " cameras, frames " << scene.firstFrame
            << " to " << scene.lastFrame << " at " << scene.framesPerSecond << " per second\n";
    names.push_back(name);
  }
  ListTextures(run, converted.scenes.front().second, {fs::path(run.options.in).parent_path()});
  run.Flush();
  ScriptLines(run, names);
}

}  // namespace stagwerk::kq7::scene
