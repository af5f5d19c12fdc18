#include "scene/SceneLoader.h"

#include "base/LoadError.h"
#include "base/SceneReader.h"
#include "base/WholeFile.h"
#include "objects/MeshCache.h"
#include "textures/TextureCache.h"

namespace stagwerk {

namespace {

Color4 ReadColor(SceneReader& reader) {
  Color4 color;
  reader.ReadFloat(&color.red);
  reader.ReadFloat(&color.green);
  reader.ReadFloat(&color.blue);
  color.alpha = 1.0f;
  return color;
}

// Right after "BGImage" or "FGImage": 4 tokens, then the file name in quotes,
// relative to rootDir.
Texture& ReadPicture(SceneReader& reader, TextureCache& textures) {
  reader.SkipTokens(4);
  PathString token;
  reader.ReadToken(token);
  // A token too short to hold the quotes and a name would leave nothing to load.
  if (token.size() < 2) throw LoadError("Picture name \"" + token.str() + "\" is too short to name a file");
  return textures.FindOrLoadPath(textures.ScenePath(token.str().substr(1, token.size() - 2)));
}

std::string ObjectLabel(const Scene& scene, const std::string& name) {
  return "Scene " + scene.name + ": object " + std::to_string(scene.objects.count() + 1) + " (" + name + ")";
}

}  // namespace

std::unique_ptr<Scene> LoadScene(const std::string& name, const DataDirectories& directories, MeshCache& meshes,
                                 TextureCache& textures) {
  PathString path(directories.rootDir);
  path.Append("/").Append(directories.sceneDir).Append("/").Append(name).Append(".lws");
  WholeFile file = MapWholeFile(path.str());
  return ReadScene(name, file.reader(), meshes, textures);
}

std::unique_ptr<Scene> ReadScene(const std::string& name, SceneReader& reader, MeshCache& meshes,
                                 TextureCache& textures) {
  auto scene = std::make_unique<Scene>();
  scene->name = name;
  PathString token;
  auto next = [&] { reader.ReadToken(token); };

  next();
  if (!(token == "LWSC")) throw LoadError("Not LW Scene File");
  uint32_t version = 0;
  reader.ReadUnsigned(&version);
  if (version != 3) throw LoadError("Not LW ver. 6.x");

  // Every row is tested against the token; only AmbientColor replaces it
  // before the rows after it are tested.
  next();
  while (!reader.AtEnd()) {
    if (token == "FGDissolve") scene->fgDissolve = std::make_unique<ScalarOrEnvelope>(ReadScalarOrEnvelope(reader));
    if (token == "NearClipDistance") reader.ReadFloat(&scene->nearClip);
    if (token == "FirstFrame") reader.ReadUnsigned(&scene->firstFrame);
    if (token == "LastFrame") reader.ReadUnsigned(&scene->lastFrame);
    if (token == "FramesPerSecond") reader.ReadUnsigned(&scene->framesPerSecond);
    if (token == "FogType") reader.ReadInt(&scene->fogType);
    if (token == "FogMaxDistance") scene->fogMaxDistance = ReadScalarOrEnvelope(reader);
    if (token == "FogMinDistance" && scene->fogType == 1) scene->fogMinDistance = ReadScalarOrEnvelope(reader);
    if (token == "FogColor" && scene->fogType == 1) scene->fogColor = ReadColor(reader);
    if (token == "BackdropColor") scene->backdropColor = ReadColor(reader);
    if (token == "LightName") {
      scene->lights.Append(Light::Read(scene->shiningLightCount, scene->flareCount, reader, textures));
    }
    if (token == "LoadObjectLayer") {
      reader.SkipToken();
      PathString file;
      reader.ReadToken(file);
      Mesh& mesh = meshes.FindOrLoad(file.str());
      scene->objects.Append(SceneObject::Read(reader, &mesh, file.str(), ObjectLabel(*scene, file.str())));
    }
    if (token == "AddNullObject") {
      PathString nullName;
      reader.ReadToken(nullName);
      scene->objects.Append(SceneObject::Read(reader, nullptr, nullName.str(), ObjectLabel(*scene, nullName.str())));
    }
    if (token == "BGImage") scene->bgImage = &ReadPicture(reader, textures);
    if (token == "FGImage") scene->fgImage = &ReadPicture(reader, textures);
    if (token == "AmbientColor") {
      scene->ambientColor = ReadColor(reader);
      next();
      if (token == "AmbientIntensity") scene->ambientIntensity = ReadScalarOrEnvelope(reader);
    }
    if (token == "CameraMotion") scene->cameras.Append(Camera::Read(reader));
    next();
  }

  scene->ComputeFrameTimes();
  scene->ResolveLinks();
  return scene;
}

}  // namespace stagwerk
