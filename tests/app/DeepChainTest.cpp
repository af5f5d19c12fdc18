// 100,000 items chained as deep as the scene format lets each kind go load,
// dump and draw in time linear in the items: a walk from every item up its
// chain would take minutes here.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

#include "SceneFixtures.h"
#include "TinyDemo.h"


namespace stagwerk {
namespace {

constexpr int kItems = 100000;
// An object's parent reference holds 16 bits of index, so objects alone
// chain at most 65,536 deep; a mesh has at most 255 bones.
constexpr int kDeepestObjectChain = 65536;
constexpr int kBonesPerMesh = 255;

std::string ObjectLine(const char* mesh, int parent, int morphTarget) {
  std::string text = std::string("LoadObjectLayer 1 Objects/") + mesh + ".lwo\nShowObject 6 3\nObjectMotion\n" +
                     "NumChannels 1\nChannel 0\n{ Envelope\n 1\n Key 0.001 0 0 0 0 0 0 0 0\n Behaviors 1 1\n}\n";
  char line[96];
  if (parent >= 0) {
    std::snprintf(line, sizeof line, "ParentItem 1%07x\n", parent);
    text += line;
  }
  if (morphTarget > 0) {
    std::snprintf(line, sizeof line, "MorphAmount 1\nMorphTarget %d\nMorphSurfaces 0\n", morphTarget);
    text += line;
  }
  return text + "ShadowOptions 7\n";
}

// Each kind of chain, kItems items in all.
std::string ChainScene(const std::string& kind) {
  std::string text = testing::SceneHeader(0, 10, 10) + testing::CameraBlock("", "ZoomFactor 1\n");
  if (kind == "parents") {
    for (int i = 0; i < kDeepestObjectChain; ++i) text += ObjectLine("Square", i - 1, 0);
    for (int i = 0; kDeepestObjectChain + i < kItems; ++i) text += ObjectLine("Square", i, 0);  // chains of 2
  } else if (kind == "morphs") {
    for (int i = 0; i < kItems; ++i) text += ObjectLine(i + 1 < kItems ? "Base" : "Square", -1, i + 1 < kItems ? i + 2 : 0);
  } else if (kind == "bones") {
    const std::string bone = "AddBone 1 2 3 4 5 6 7 BoneRestPosition 0 0 0 BoneRestDirection 0 0 0 "
                             "a b c d e f g h i j k l BoneMotion " + testing::Motion9(0, 0, 0.01f);
    for (int placed = 0; placed < kItems; placed += kBonesPerMesh) {
      text += "LoadObjectLayer 1 Objects/Boned.lwo\nShowObject 6 3\nObjectMotion\n" + testing::Motion9() +
              "BoneFalloffType 5\n";
      char line[40];
      for (int b = 0; b < kBonesPerMesh; ++b) {
        std::snprintf(line, sizeof line, "ParentItem 4%03x0000\n", b - 1);
        text += bone + (b == 0 ? std::string("ParentItem 10000000\n") : std::string(line));
      }
      text += "ShadowOptions 7\n";
    }
  } else {  // mixed: objects parented and morphing down one chain, lights going on from its end
    for (int i = 0; i < kDeepestObjectChain; ++i) {
      const bool last = i + 1 == kDeepestObjectChain;
      text += ObjectLine(last ? "Square" : "Base", i - 1, last ? 0 : i + 2);
    }
    char line[40];
    for (int i = 0; kDeepestObjectChain + i < kItems; ++i) {
      std::snprintf(line, sizeof line, "ParentItem %s%07x\n", i == 0 ? "1" : "2", i == 0 ? kDeepestObjectChain - 1 : i - 1);
      text += testing::LightBlock("L", "LightIntensity 0.5\n", "LightType 1\n", "ShadowType 1\n", line);
    }
  }
  return text;
}

double ChildSeconds() {
  rusage use{};
  getrusage(RUSAGE_CHILDREN, &use);
  return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec);
}

// The processor time the player took: other builds on the machine slow the
// clock on the wall, not this. Leak checks stay off in the child, as for the
// other child players: the GL driver it loads leaks on its own.
double TimedRun(const std::string& args, const std::string& where) {
  const std::string command = "cd '" + where + "' && ASAN_OPTIONS=detect_leaks=0 SDL_VIDEODRIVER=offscreen " +
                              "SDL_AUDIODRIVER=dummy " +
                              STAGWERK_BINARY + " " + args + " > out.txt 2> err.txt";
  const double start = ChildSeconds();
  const int status = std::system(command.c_str());
  const double seconds = ChildSeconds() - start;
  EXPECT_EQ(status, 0) << command << "\n" << testing::ReadFile(where + "/err.txt");
  return seconds;
}

TEST(DeepChains, HundredThousandItemsLoadDumpAndDrawInLinearTime) {
  for (const std::string kind : {"parents", "morphs", "bones", "mixed"}) {
    testing::TinyDemo demo(64, 64);
    Kq7Description base = testing::Square(1, 5);
    base.flags |= HasMorphTargets;
    base.morphTargets = {{{0, 0, 0, 0}}};
    WriteKq7File(demo.dir / "data/Objects/Base.kq7", base);
    Kq7Description boned;  // bones need triangles
    boned.flags = HasPolygons | AllTriangles | HasBones;
    boned.positions = {{-1, -1, 5}, {0, 1, 5}, {1, -1, 5}};
    boned.polygons = {{0, 1, 2}};
    boned.boneVertexData = {0, 0, 0};
    boned.polygonBones = {kBonesPerMesh - 1};
    WriteKq7File(demo.dir / "data/Objects/Boned.kq7", boned);
    demo.dir.Write("data/scenes/chain.lws", ChainScene(kind));
    demo.SetScript("chain 1 00:00:00:000\n");
    const std::string where = demo.dir.path().string();
    // Each run starts a player and loads the demo: about 0.1 s of it is not
    // the chain. Drawing 100,000 overlapping squares in software takes most
    // of --render's time, in proportion to the squares.
    const double dump = TimedRun("--dump --at 0.5", where);
    EXPECT_NE(testing::ReadFile(where + "/out.txt").find("\"scenes\""), std::string::npos) << kind;
    const double draw = TimedRun("--render chain --at 0.5 --out chain.png", where);
    std::printf("%s: --dump %.2f s, --render %.2f s of processor time\n", kind.c_str(), dump, draw);
    const double bound = 15.0 * STAGWERK_SLOW_BUILD_FACTOR;
    EXPECT_LT(dump, bound) << kind;
    EXPECT_LT(draw, bound) << kind;
  }
}

}  // namespace
}  // namespace stagwerk
