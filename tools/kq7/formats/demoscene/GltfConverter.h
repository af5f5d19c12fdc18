#pragma once
// What the glTF scene conversion shares between its files: the file's nodes
// and animations as read, and the converter whose steps the files hold.
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "anim/ItemRef.h"
#include "base/SceneReader.h"
#include "kq7/formats/ToolError.h"
#include "kq7/formats/demoscene/GltfScene.h"
#include "kq7/formats/demoscene/Rotation.h"

namespace stagwerk::kq7::gltf {


using nlohmann::json;
using Vec3 = std::array<double, 3>;
constexpr double kPi = 3.14159265358979323846;
// What the fitted rotations may stray from glTF's at a frame.
constexpr double kToleranceDegrees = 0.01;
constexpr double kStillSeconds = 5;
constexpr double kMaxFrames = 1e6;

std::string OneWord(const std::string& name, const std::string& fallback);

enum class Interpolation { Step, Linear, Cubic };

// An animation sampler: key times and, per key, width numbers (three times
// that for CUBICSPLINE: in-tangent, value, out-tangent).
struct Sampler {
  std::vector<float> times;
  std::vector<float> values;
  std::size_t width = 0;
  Interpolation interpolation = Interpolation::Linear;

  const float* Value(std::size_t key) const {
    return &values[(interpolation == Interpolation::Cubic ? 3 * key + 1 : key) * width];
  }
  const float* InTangent(std::size_t key) const { return &values[3 * key * width]; }
  const float* OutTangent(std::size_t key) const { return &values[(3 * key + 2) * width]; }

  // glTF's rule at time t; rotations (width 4) slerp and normalise.
  std::vector<double> At(double t) const;
};

struct Node {
  std::string name;
  int parent = -1;
  std::vector<int> children;
  Vec3 translation{0, 0, 0};
  Quaternion rotation;
  Vec3 scale{1, 1, 1};
  int mesh = -1, camera = -1, light = -1, skin = -1;
  std::vector<float> weights;
};

// The samplers one animation points at one node.
struct NodeChannels {
  const Sampler* translation = nullptr;
  const Sampler* rotation = nullptr;
  const Sampler* scale = nullptr;
  const Sampler* weights = nullptr;
};

struct Animation {
  std::string name;
  std::vector<Sampler> samplers;
  std::map<int, NodeChannels> nodes;
  double end = 0;
};

// A local transform: translation, rotation, scale, in glTF's own space.
struct Local {
  Vec3 t;
  Quaternion r;
  Vec3 s;
};

using Matrix4d = std::array<double, 16>;  // column-major

Matrix4d Compose(const Local& l);

Matrix4d Multiply(const Matrix4d& a, const Matrix4d& b);

// A joint's share of a vertex.
struct Influence {
  std::size_t joint;  // in the skin's list
  double weight;
};

// One glTF mesh as one skin moves it, and how its frames were baked.
struct SkinnedMesh {
  int node = -1, mesh = -1, skin = -1;  // node: the first that shows it
  std::string objectName;
  std::vector<int> joints;
  std::vector<Matrix4d> inverseBind;
  std::vector<Vec3> bind;                          // primitive after primitive
  std::vector<std::vector<Vec3>> targets;          // morph targets' moves, per vertex
  std::vector<std::vector<Influence>> influences;  // per vertex, summing to 1
  std::vector<std::vector<double>> times;          // per animation, the baked frames' times
  std::vector<std::size_t> firstTarget;            // per animation
  std::size_t targetCount = 0;
};

class Converter {
 public:
  Converter(const GltfFile& file, const GltfSceneOptions& options, std::vector<std::string>& warnings)
      : file_(file), options_(options), warnings_(warnings), json_(file.document()) {}

  GltfScenes Convert();

 private:
  const json& Get(const json& j, const char* name) const { return GltfFile::Member(j, name); }
  void Warn(const std::string& text);
  [[noreturn]] void Fail(const std::string& text) const { throw InputError(file_.path() + ": " + text); }

  std::string NodeLabel(int n) const;

  static int Index(const json& j) { return j.is_number_unsigned() ? GltfFile::IntOf(j, -1) : -1; }

  std::vector<double> Numbers(const json& j, std::size_t n, const std::string& what) const;

  void ReadNodes();

  void Decompose(const std::vector<double>& m, Node& n, const std::string& label);

  std::size_t TargetCount(int mesh) const;

  void ReadAnimations();

  void ReadSampler(const json& j, std::size_t width, Sampler& s, const std::string& label);

  double DetectRate() const;

  void NameMeshes(GltfScenes& out);

  // --- one scene -----------------------------------------------------------

  Local LocalAt(int n, const Animation* anim, double t) const;

  Matrix4d WorldAt(int n, const Animation* anim, double t) const;

  const NodeChannels* ChannelsOf(int n, const Animation* anim) const;

  static bool Uniform(const float* s);

  bool UniformScale(int n, const Animation* anim) const;

  bool UnitScale(int n, const Animation* anim) const;

  static Curve SamplerCurve(const Sampler& s, std::size_t component, double factor);

  std::vector<double> FrameTimes(double end) const;

  static Matrix3 Mirrored(const Quaternion& q) { return RotationMatrix(Quaternion{-q.x, -q.y, q.z, q.w}); }

  std::array<Curve, 3> RotationCurves(int n, const Animation* anim, const std::vector<double>& frames) const;

  Motion NodeMotion(int n, const Animation* anim, const std::vector<double>& frames, bool withScale, bool withPlace) const;

  void AddMorph(DemoObject& object, int n, const Animation* anim);

  // --- skins (GltfSkins.cpp, GltfSkinPose.cpp) ------------------------------

  void ReadSkins();

  void ReadSkin(SkinnedMesh& s) const;

  void ReadSkinPrimitive(SkinnedMesh& s, const json& primitive) const;

  std::vector<double> MorphWeightsAt(int n, const Animation* anim, double t) const;

  std::vector<Vec3> Pose(const SkinnedMesh& s, const Animation* anim, double t) const;

  void BakeSkins(GltfScenes& out);

  std::size_t ChooseFrames(SkinnedMesh& s, const std::vector<Vec3>& rest, double still);

  const SkinnedMesh* SkinOf(int n) const;

  DemoObject SkinnedObject(int n, const Animation* anim) const;

  DemoScene Scene(const Animation* anim);

  void AddCamera(DemoScene& scene, int n, const Animation* anim, const std::vector<double>& frames, uint16_t item);

  void Orthographic(DemoScene& scene, DemoCamera& camera, int n, const Animation* anim, const json& ortho);

  void AddLight(DemoScene& scene, int n, uint16_t item, const Animation* anim);

  float PlayerIntensity(int type, double intensity, int n, const Animation* anim) const;

  bool LuminousMesh(int mesh) const;

  bool Bounds(const Animation* anim, Vec3& lo, Vec3& hi) const;

  double SceneSize(const Animation* anim) const;

  void AddFramingCamera(DemoScene& scene, const Animation* anim);

  const GltfFile& file_;
  const GltfSceneOptions& options_;
  std::vector<std::string>& warnings_;
  std::vector<std::string> once_;
  const json& json_;
  std::vector<Node> nodes_;
  std::vector<int> roots_, order_;
  std::vector<Animation> animations_;
  std::map<std::pair<int, int>, std::string> meshObjects_;  // mesh, skin (-1 none)
  std::vector<SkinnedMesh> skins_;
  std::map<std::pair<int, int>, std::size_t> skinIndex_;
  double fps_ = 30;
};

}  // namespace stagwerk::kq7::gltf
