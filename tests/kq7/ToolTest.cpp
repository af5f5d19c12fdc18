// kq7 info and export, and how the program meets bad input and a bad
// command line, run as a user runs it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>

#include "Kq7TestFiles.h"
#include "objects/Kq7Writer.h"

namespace stagwerk::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using Point = std::array<float, 3>;

// The quad and triangle every round trip starts from, with a texture.
std::string WriteObj(const TempDir& dir) {
  dir.Write("shape.mtl", "newmtl m\nmap_Kd wood.png\n");
  return dir.Write("shape.obj",
                   "mtllib shape.mtl\n"
                   "v 0 0 0\nv 1 0 0.25\nv 1 1 0.5\nv 0 1 0\nv 2 0 -1\n"
                   "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                   "usemtl m\nf 1/1 2/2 3/3 4/4\nf 2/1 5/2 3/3\n");
}

std::set<Point> Places(const Mesh& mesh) {
  std::set<Point> places;
  for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
    places.insert({mesh.positions()[3 * v], mesh.positions()[3 * v + 1], mesh.positions()[3 * v + 2]});
  }
  return places;
}

// Twice the area of each polygon times its facing, summed: the same for a
// polygon and its triangles, and flips when the winding does.
Point AreaVector(const Mesh& mesh) {
  Point sum{0, 0, 0};
  for (const auto& polygon : CornerPositions(mesh)) {
    for (std::size_t i = 0; i < polygon.size(); ++i) {
      const Point& a = polygon[i];
      const Point& b = polygon[(i + 1) % polygon.size()];
      sum[0] += (a[1] - b[1]) * (a[2] + b[2]);
      sum[1] += (a[2] - b[2]) * (a[0] + b[0]);
      sum[2] += (a[0] - b[0]) * (a[1] + b[1]);
    }
  }
  return sum;
}

// export, then convert again: the same mesh in every format; OBJ and PLY
// keep the polygons as they were, glTF and STL as triangles of the same faces.
TEST(Kq7Export, ExportedFilesConvertBackToTheSameGeometry) {
  TempDir dir;
  ASSERT_EQ(RunTool({"convert", WriteObj(dir), "--no-pictures"}).status, 0);
  const auto original = LoadKq7(dir / "shape.kq7");
  ASSERT_EQ(original->polygonCount(), 2);

  for (const std::string ext : {"obj", "ply", "gltf", "glb", "stl"}) {
    SCOPED_TRACE(ext);
    const std::string out = dir / ("back." + ext);
    const ToolRun exported = RunTool({"export", dir / "shape.kq7", out});
    ASSERT_EQ(exported.status, 0) << exported.err;
    const ToolRun again = RunTool({"convert", out, dir / ("back-" + ext + ".kq7")});
    ASSERT_EQ(again.status, 0) << again.err;
    const auto back = LoadKq7(dir / ("back-" + ext + ".kq7"));
    EXPECT_EQ(Places(*back), Places(*original));
    const Point a = AreaVector(*original), b = AreaVector(*back);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(a[k], b[k], 1e-5) << "axis " << k;
    if (ext == "obj" || ext == "ply") {
      EXPECT_EQ(CornerPositions(*back), CornerPositions(*original));
    } else {
      EXPECT_EQ(back->polygonCount(), 3);
    }
  }
  // The material names the texture the player would load, so it comes back.
  ASSERT_EQ(RunTool({"convert", dir / "back.obj", dir / "named.kq7", "--no-pictures"}).status, 0);
  EXPECT_EQ(LoadKq7(dir / "named.kq7")->textureName(), "wood");
}

TEST(Kq7Export, MorphTargetsGoToGltfAndComeBack) {
  TempDir dir;
  GltfPrimitive g;
  g.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  g.indices = {0, 1, 2};
  g.targets = {{{0, 0, 0}, {0, 0, 0.5f}, {0, 0, 0}}, {{0, 2, 0}, {0, 0, 0}, {0, 0, 0}}};
  ASSERT_EQ(RunTool({"convert", dir.Write("m.gltf", GltfText(g))}).status, 0);
  const ToolRun exported = RunTool({"export", dir / "m.kq7", dir / "back.gltf"});
  ASSERT_EQ(exported.status, 0) << exported.err;
  ASSERT_EQ(RunTool({"convert", dir / "back.gltf", dir / "back.kq7"}).status, 0);
  const auto original = LoadKq7(dir / "m.kq7");
  const auto back = LoadKq7(dir / "back.kq7");
  ASSERT_THAT(back->deltaCounts(), ElementsAre(1, 1));
  for (std::size_t i = 0; i < 2; ++i) {
    const MorphDelta a = original->morphDeltas()[i], b = back->morphDeltas()[i];
    EXPECT_EQ((Point{a.dx, a.dy, a.dz}), (Point{b.dx, b.dy, b.dz}));
    EXPECT_THAT(back->positions().subspan(3 * b.vertex, 3),
                ::testing::ElementsAreArray(original->positions().subspan(3 * a.vertex, 3)));
  }
}

TEST(Kq7Info, ShowsWhatThePlayerWouldLoad) {
  TempDir dir;
  GltfPrimitive g;
  g.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 2}};
  g.indices = {0, 1, 2};
  g.uv0 = g.uv1 = {{0, 0}, {1, 0}, {0, 1}};
  g.targets = {{{0, 0, 0}, {0, 0, 0}, {1, 0, 0}}};
  const ToolRun made = RunTool({"convert", dir.Write("i.gltf", GltfText(g)), "--texture2", "dirt", "--env", "chrome"});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_THAT(made.err, HasSubstr("the UVs are dropped: no material names a texture"));

  const ToolRun text = RunTool({"info", dir / "i.kq7"});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_THAT(text.out, HasSubstr("HasPolygons HasEnvironmentMap HasSecondTexture HasMorphTargets AllTriangles"));
  EXPECT_THAT(text.out, HasSubstr("texture 2  dirt (3 UVs)"));
  EXPECT_THAT(text.out, HasSubstr("env map    chrome (named, but the player shows texture 2 instead)"));
  EXPECT_THAT(text.out, HasSubstr("bounds     (0, 0, -2) to (1, 1, 0)"));
  EXPECT_THAT(text.out, HasSubstr("0: 1 vertices move"));

  const ToolRun json = RunTool({"info", "--json", dir / "i.kq7"});
  ASSERT_EQ(json.status, 0) << json.err;
  const auto j = nlohmann::json::parse(json.out);
  EXPECT_EQ(j["vertices"], 3);
  EXPECT_EQ(j["environmentMap"], "chrome");
  EXPECT_EQ(j["secondTexture"], "dirt");
  EXPECT_EQ(j["texture"], nullptr);
  EXPECT_EQ(j["morphTargets"], nlohmann::json::array({1}));
  EXPECT_EQ(j["bounds"]["min"], nlohmann::json::array({0.0, 0.0, -2.0}));

  // Bones, written by the player's own test writer.
  Kq7Description boned;
  boned.flags = HasPolygons | AllTriangles | HasBones;
  boned.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  boned.polygons = {{0, 1, 2}};
  boned.boneVertexData = {0, 0, 0};
  boned.polygonBones = {3};
  WriteKq7File(dir / "boned.kq7", boned);
  const ToolRun both = RunTool({"info", "--json", dir / "boned.kq7", dir / "i.kq7"});
  ASSERT_EQ(both.status, 0) << both.err;
  const auto list = nlohmann::json::parse(both.out);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]["bones"], 4);

  // Broken files get the player's own words, the file named, status 1.
  const std::string notKq7 = dir.Write("bad.kq7", "KQ8\x01");
  const ToolRun bad = RunTool({"info", notKq7});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "kq7: " + notKq7 + ": Not KQ7 File\n");
  const std::string cut = ReadFile(dir / "i.kq7");
  const std::string shortFile = dir.Write("short.kq7", cut.substr(0, cut.size() - 5));
  const ToolRun truncated = RunTool({"info", shortFile, dir / "i.kq7"});
  EXPECT_EQ(truncated.status, 1);
  EXPECT_THAT(truncated.err, HasSubstr("kq7: Bad KQ7 file " + shortFile + ": the file ends inside"));
  EXPECT_THAT(truncated.out, HasSubstr("HasMorphTargets"));  // the good one is still shown
  const ToolRun missing = RunTool({"export", dir / "none.kq7", dir / "x.obj"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.err, HasSubstr(dir / "none.kq7"));
}

// The program itself: status and message of a run, never a crash.
struct Process {
  int status;
  std::string output;
};
Process RunBinary(const std::string& arguments) {
  const std::string command = std::string(KQ7_BINARY) + " " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string output;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int status = ::pclose(pipe);
  EXPECT_TRUE(WIFEXITED(status)) << arguments << " ended by a signal\n" << output;
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST(Kq7Program, BadInputIsStatusOneWithTheFileNamed) {
  TempDir dir;
  Lwo2Writer lwo;
  lwo.Layer();
  lwo.Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  lwo.Faces({{0, 1, 2}});
  const std::string whole = lwo.Bytes();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {dir / "missing.obj", "cannot open it"},
      {dir.Write("empty.obj", ""), "the file is empty"},
      {dir.Write("notes.xyz", "hello, this is no 3D file\n"), "cannot read it as a 3D file"},
      {dir.Write("cut.lwo", whole.substr(0, whole.size() - 7)), "cut.lwo"},
      {dir.Write("junk.glb", "glTF\x02\0\0\0\xff\xff\xff\x7f" + std::string(40, '\xee')), "junk.glb"},
      {dir.path().string(), "is a directory"},
  };
  for (const auto& [file, words] : cases) {
    const Process p = RunBinary("convert '" + file + "'");
    EXPECT_EQ(p.status, 1) << file << "\n" << p.output;
    EXPECT_THAT(p.output, HasSubstr(words));
    EXPECT_THAT(p.output, HasSubstr(file));
  }

  // Several inputs: each converted beside itself; one failure fails the run
  // but not the others.
  const std::string good = dir.Write("good.lwo", whole);
  const Process batch = RunBinary("convert '" + good + "' '" + dir / "missing.obj" + "'");
  EXPECT_EQ(batch.status, 1);
  EXPECT_TRUE(std::filesystem::exists(dir / "good.kq7"));
  EXPECT_EQ(LoadKq7(dir / "good.kq7")->flags(), HasPolygons | AllTriangles);
}

TEST(Kq7Program, CommandLine) {
  const Process help = RunBinary("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_THAT(help.output, HasSubstr("kq7 convert [OPTIONS] IN [OUT.kq7]"));
  EXPECT_EQ(RunBinary("convert --help").status, 0);
  for (const std::string args : {"", "frobnicate", "convert", "convert a.obj --bogus", "convert a.obj --texture",
                                 "convert a.obj b.obj -o c.kq7", "info", "export a.kq7", "export a.kq7 out.xyz"}) {
    const Process p = RunBinary(args);
    EXPECT_EQ(p.status, 2) << args;
    EXPECT_THAT(p.output, HasSubstr("Try 'kq7 --help'")) << args;
    EXPECT_THAT(p.output, Not(HasSubstr("SYNOPSIS"))) << args;
  }
}

}  // namespace
}  // namespace stagwerk::testing
