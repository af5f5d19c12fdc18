#include "Scenes.h"

#include <cmath>
#include <fstream>
#include <string>

#include "kq7/formats/demoscene/DemoScene.h"
#include "kq7/formats/demoscene/DemoSceneWriter.h"
#include "SixFigures.h"

namespace demo_assets {

namespace {

using stagwerk::kq7::Curve;
using stagwerk::kq7::DemoCamera;
using stagwerk::kq7::DemoLight;
using stagwerk::kq7::DemoObject;
using stagwerk::kq7::DemoScene;
using stagwerk::kq7::ItemLink;
using stagwerk::kq7::Motion;
using stagwerk::kq7::Scalar;

constexpr float kPi = 3.14159265f;
constexpr float kBeat = 0.5f;  // 120 beats a minute

// Keys (value, time), all of one shape.
Curve Keys(const std::vector<std::pair<float, float>>& keys, int shape = stagwerk::kShapeLinear,
           int post = stagwerk::kBehaviorConstant) {
  Curve curve;
  for (const auto& [value, time] : keys) curve.keys.push_back({value, time, shape, {}});
  curve.post = post;
  return curve;
}
Curve Const(float value) { return Curve::Constant(value); }
Scalar Animated(const Curve& curve) { return {curve.keys.front().value, curve}; }
Scalar Fixed(float value) { return Scalar::Of(value); }

Motion& At(Motion& m, float x, float y, float z) {
  m.channels[0] = Const(x), m.channels[1] = Const(y), m.channels[2] = Const(z);
  return m;
}
// Heading, pitch and bank in radians.
Motion& Turn(Motion& m, float heading, float pitch, float bank) {
  m.channels[3] = Const(heading), m.channels[4] = Const(pitch), m.channels[5] = Const(bank);
  return m;
}
Motion& Scale(Motion& m, float s) {
  for (std::size_t i = 6; i < 9; ++i) m.channels[i] = Const(s);
  return m;
}

ItemLink Object(int index) { return {1, static_cast<uint16_t>(index), 0}; }

DemoObject Mesh(const std::string& name) {
  DemoObject o;
  o.mesh = "Objects/" + name + ".lwo";
  return o;
}
DemoObject Null(const std::string& name) {
  DemoObject o;
  o.nullName = name;
  return o;
}
// Unlit (the player's reading of UnaffectedByFog) and added onto what is
// behind (of UnseenByRays).
void Glowing(DemoObject& o) { o.unaffectedByFog = o.unseenByRays = true; }

// Lights and cameras move in six channels, no scale.
DemoLight Light(const std::string& name, int type) {
  DemoLight l;
  l.name = name;
  l.type = type;
  l.motion = Motion::Still(6);
  return l;
}
void Flare(DemoLight& l, const Curve& intensity, float size) {
  l.flareIntensity = Animated(intensity);
  l.flareNominalDistance = Fixed(size);
}
DemoCamera Camera(float zoom) {
  DemoCamera c;
  c.motion = Motion::Still(6);
  c.zoom = Fixed(zoom);
  return c;
}

// A scene of `lastFrame` frames from 0; with the fog's distances and colour
// written even where it is off, as LightWave writes them.
DemoScene Scene(uint32_t lastFrame, uint32_t fps) {
  DemoScene s;
  s.firstFrame = 0;
  s.lastFrame = lastFrame;
  s.framesPerSecond = fps;
  s.ambientColor = {1, 1, 1};
  s.ambientIntensity = Fixed(0.1f);
  s.backdropColor = {0, 0, 0};
  s.fogMin = Fixed(10);
  s.fogMax = Fixed(200);
  s.fogColor = {0, 0, 0};
  return s;
}
void Fog(DemoScene& s, float near, float far, const std::array<float, 3>& colour) {
  s.fogType = 1;
  s.fogMin = Fixed(near);
  s.fogMax = Fixed(far);
  s.fogColor = colour;
  s.backdropColor = colour;
}

// A channel turning a full circle every `period` seconds, for ever.
Curve Spin(float period, float turns = 1.0f) {
  return Keys({{0, 0}, {2 * kPi * turns, period}}, stagwerk::kShapeLinear, stagwerk::kBehaviorOffsetRepeat);
}

// A channel swinging between two values and back every `period` seconds.
Curve Swing(float from, float to, float period, float phase = 0) {
  Curve c = Keys({{from, phase}, {to, phase + period / 2}, {from, phase + period}}, stagwerk::kShapeTcb,
                 stagwerk::kBehaviorRepeat);
  c.pre = stagwerk::kBehaviorRepeat;
  return c;
}

// A kick on every beat: `peak` on the beat, falling to `rest` by half a beat.
Curve Pulse(float peak, float rest) {
  Curve c = Keys({{peak, 0}, {rest, kBeat * 0.6f}, {rest, kBeat}}, stagwerk::kShapeLinear, stagwerk::kBehaviorRepeat);
  c.keys[1].shape = stagwerk::kShapeTcb;
  return c;
}

// Dawn, the intro (0 to 8 s, cut by the music before its 10 s end): a dolly
// over rocky ground towards standing stones at dusk, the sky a background
// picture, the title a foreground picture that fades away, the sun a
// distant light with a lens flare, fog towards the horizon.
DemoScene Dawn() {
  DemoScene s = Scene(300, 30);
  s.objects.push_back(Mesh("Terrain"));
  const float stones[][4] = {{-5, 6, 0.3f, 1.0f}, {5.5f, 12, -0.4f, 1.1f}, {-6.5f, 22, 0.2f, 1.3f},
                             {6, 30, 0.5f, 0.9f},  {-3, 40, -0.2f, 1.4f}, {2.5f, 48, 0.1f, 1.2f}};
  for (const auto& st : stones) {
    DemoObject stone = Mesh("Monolith");
    Scale(Turn(At(stone.motion, st[0], 2.5f * st[3], st[1]), st[2], 0, st[2] * 0.1f), st[3]);
    s.objects.push_back(stone);
  }
  s.ambientColor = {0.8f, 0.6f, 0.7f};
  s.ambientIntensity = Fixed(0.3f);
  DemoLight sun = Light("Sun", 0);
  // Low in the sky ahead and to the left, shining back towards the camera.
  Turn(At(sun.motion, -55, 9, 95), kPi * 0.82f, 0.08f, 0);
  sun.color = {1.0f, 0.7f, 0.45f};
  sun.intensity = Fixed(1.2f);
  Flare(sun, Keys({{0.0f, 0}, {0.9f, 2.0f}}, stagwerk::kShapeTcb), 55);
  s.lights.push_back(sun);
  DemoLight fill = Light("Sky", 0);
  Turn(fill.motion, 0.3f, 0.5f, 0);
  fill.color = {0.45f, 0.5f, 0.9f};
  fill.intensity = Fixed(0.7f);
  s.lights.push_back(fill);
  DemoCamera camera = Camera(2.2f);
  camera.motion.channels[0] = Keys({{-1.5f, 0}, {1.0f, 10}}, stagwerk::kShapeTcb);
  camera.motion.channels[1] = Keys({{6, 0}, {3.2f, 10}}, stagwerk::kShapeTcb);
  camera.motion.channels[2] = Keys({{-42, 0}, {-8, 10}}, stagwerk::kShapeTcb);
  camera.motion.channels[3] = Keys({{0.05f, 0}, {-0.08f, 10}}, stagwerk::kShapeTcb);
  camera.motion.channels[4] = Keys({{0.12f, 0}, {0.02f, 10}}, stagwerk::kShapeTcb);
  s.cameras.push_back(camera);
  Fog(s, 25, 130, {0.55f, 0.32f, 0.33f});
  s.bgImage = "textures/Sky.tga";
  s.fgImage = "textures/Title.tga";
  s.fgDissolve = Animated(Keys({{0, 0}, {0, 2.5f}, {1, 6}}, stagwerk::kShapeTcb));
  return s;
}

// Three coloured point lights circling a centre at radius r, parented to a
// spinning null at `null`.
void CirclingLights(DemoScene& s, int null, float r, float y) {
  const float colours[3][3] = {{1.0f, 0.25f, 0.2f}, {0.2f, 1.0f, 0.4f}, {0.3f, 0.4f, 1.0f}};
  for (int i = 0; i < 3; ++i) {
    DemoLight light = Light(std::string("Lamp") + static_cast<char>('A' + i), 1);
    const float a = static_cast<float>(i) * 2 * kPi / 3;
    At(light.motion, r * std::cos(a), y, r * std::sin(a));
    light.parent = Object(null);
    light.color = {colours[i][0], colours[i][1], colours[i][2]};
    light.intensity = Fixed(0.9f);
    s.lights.push_back(light);
  }
}

// The shapes' forge, the build (8 to 16 s, ends by its own last frame): a
// living colour blob shaped by the morph mixer, metal cubes rounding into
// spheres by a morph target, three point lights circling, a spot from above
// narrowing as the music builds.
DemoScene Forge() {
  DemoScene s = Scene(240, 30);
  DemoObject orbit = Null("Orbit");  // 0: carries the lamps
  orbit.motion.channels[3] = Spin(4);
  s.objects.push_back(orbit);
  DemoObject pivot = Null("Pivot");  // 1: carries the camera
  pivot.motion.channels[3] = Keys({{-0.6f, 0}, {0.6f, 8}}, stagwerk::kShapeTcb);
  s.objects.push_back(pivot);
  DemoObject floor = Mesh("Floor");
  At(floor.motion, 0, -2, 0);
  s.objects.push_back(floor);
  DemoObject blob = Mesh("Blob");
  Scale(At(blob.motion, 0, 0.6f, 0), 1.6f);
  blob.motion.channels[3] = Spin(6);
  // Lumps grow with the build; the disc shape breathes over two bars.
  blob.mixer = {Keys({{0, 0}, {0.3f, 4}, {1.0f, 8}}, stagwerk::kShapeTcb), Swing(0, 0.8f, 4, 0)};
  s.objects.push_back(blob);
  DemoObject sphere = Mesh("Sphere");  // 4 (number 5): the cubes' target, never drawn itself
  sphere.dissolve = Fixed(1);
  s.objects.push_back(sphere);
  for (int side : {-1, 1}) {
    DemoObject cube = Mesh("Cube");
    Scale(At(cube.motion, 4.2f * static_cast<float>(side), -0.6f, 1.5f), 0.9f);
    cube.motion.channels[3] = Spin(5.0f * static_cast<float>(side));
    cube.motion.channels[4] = Spin(7);
    cube.morphAmount = Animated(Swing(0, 1, 4, side > 0 ? 0 : 2));
    cube.morphTarget = 5;
    cube.lineThickness = "2";  // drawn twice as bright
    s.objects.push_back(cube);
  }
  s.ambientIntensity = Fixed(0.12f);
  CirclingLights(s, 0, 3.2f, 1.2f);
  DemoLight spot = Light("Spot", 2);
  Turn(At(spot.motion, 0, 12, 0), 0, kPi / 2, 0);
  spot.color = {1.0f, 0.95f, 0.85f};
  spot.intensity = Fixed(1.0f);
  spot.coneAngle = Animated(Keys({{35, 0}, {14, 8}}, stagwerk::kShapeTcb));
  s.lights.push_back(spot);
  DemoCamera camera = Camera(2.2f);
  camera.parent = Object(1);
  camera.motion.channels[1] = Keys({{2.0f, 0}, {3.2f, 8}}, stagwerk::kShapeTcb);
  camera.motion.channels[2] = Keys({{-13, 0}, {-10, 8}}, stagwerk::kShapeTcb);
  camera.motion.channels[4] = Keys({{0.12f, 0}, {0.22f, 8}}, stagwerk::kShapeTcb);
  s.cameras.push_back(camera);
  s.backdropColor = {0.03f, 0.03f, 0.06f};
  s.fogMax = Fixed(100);
  return s;
}

// The tunnel, the drop (16 to 32 s, two entries cut by the music): a flight
// through glowing rings, one every beat, among sparks. Camera 1 trails a
// motion blur over a nebula that rides ahead; camera 2 shakes on the beat.
DemoScene Tunnel() {
  DemoScene s = Scene(400, 25);
  DemoObject rider = Null("Rider");  // 0: both cameras, the nebula and the light ride it
  rider.motion.channels[2] = Keys({{0, 0}, {160, 16}});
  rider.motion.channels[5] = Keys({{0, 0}, {kPi, 16}});
  s.objects.push_back(rider);
  DemoObject veil = Mesh("Veil");  // drawn first: with no clear it also fades the trails
  veil.parent = Object(0);
  Scale(At(veil.motion, 0, 0, 110), 150);  // wide enough to cover the corners as it spins
  veil.motion.channels[5] = Spin(-20);
  veil.unaffectedByFog = true;  // unlit
  s.objects.push_back(veil);
  for (int i = 1; i <= 56; ++i) {
    DemoObject ring = Mesh("Ring");
    const float z = 5.0f * static_cast<float>(i);
    At(ring.motion, 0.4f * std::sin(z * 0.05f), 0.4f * std::cos(z * 0.07f), z);
    ring.motion.channels[5] = Spin(i % 2 ? 3.0f : -3.0f);
    ring.motion.channels[5].keys[0].value = static_cast<float>(i) * 0.4f;
    ring.motion.channels[5].keys[1].value += static_cast<float>(i) * 0.4f;
    const Curve pulse = Pulse(1.18f, 1.0f);
    for (std::size_t c = 6; c < 9; ++c) ring.motion.channels[c] = pulse;
    Glowing(ring);
    s.objects.push_back(ring);
  }
  DemoObject sparks = Mesh("Sparks");
  sparks.polygonSize = Fixed(0.22f);
  Glowing(sparks);
  s.objects.push_back(sparks);
  s.ambientIntensity = Fixed(0.2f);
  DemoLight core = Light("Core", 1);
  core.parent = Object(0);
  At(core.motion, 0, 0, 95);
  core.color = {0.6f, 0.85f, 1.0f};
  Flare(core, Pulse(0.9f, 0.45f), 70);
  s.lights.push_back(core);
  DemoCamera blur = Camera(1.8f);
  blur.parent = Object(0);
  blur.motionBlur = 2;
  blur.blurLength = Fixed(0.6f);
  s.cameras.push_back(blur);
  // Depth of field with the shake as its focal distance.
  DemoCamera shake = Camera(1.5f);
  shake.parent = Object(0);
  Turn(At(shake.motion, 1.0f, 0.6f, 0), -0.06f, 0.04f, 0.3f);
  shake.depthOfField = 1;
  shake.focalDistance = Animated(Pulse(0.35f, 0.0f));
  s.cameras.push_back(shake);
  Fog(s, 30, 115, {0.02f, 0.0f, 0.05f});
  return s;
}

// The mirror, the break (32 to 40 s, cut by the music): a chrome knot turning
// slowly, its environment map shining, crystals circling it, a spot light
// and a cool distant light, fog in the dark.
DemoScene Mirror() {
  DemoScene s = Scene(300, 30);
  DemoObject carousel = Null("Carousel");  // 0: carries the crystals
  carousel.motion.channels[3] = Spin(12);
  s.objects.push_back(carousel);
  DemoObject pivot = Null("Pivot");  // 1: carries the camera
  pivot.motion.channels[3] = Keys({{0.4f, 0}, {-0.5f, 10}}, stagwerk::kShapeTcb);
  s.objects.push_back(pivot);
  DemoObject floor = Mesh("Floor");
  At(floor.motion, 0, -3.5f, 0);
  s.objects.push_back(floor);
  DemoObject knot = Mesh("Knot");
  Scale(At(knot.motion, 0, 0.4f, 0), 1.1f);
  knot.motion.channels[3] = Spin(10);
  knot.motion.channels[4] = Swing(-0.3f, 0.3f, 8);
  s.objects.push_back(knot);
  for (int i = 0; i < 6; ++i) {
    DemoObject crystal = Mesh("Crystal");
    crystal.parent = Object(0);
    const float a = static_cast<float>(i) * 2 * kPi / 6;
    Scale(At(crystal.motion, 5.5f * std::cos(a), 0, 5.5f * std::sin(a)), 0.45f);
    crystal.motion.channels[1] = Swing(-0.6f, 0.9f, 4, static_cast<float>(i) * 0.67f);
    crystal.motion.channels[3] = Spin(3);
    Glowing(crystal);
    s.objects.push_back(crystal);
  }
  DemoObject swarm = Mesh("Swarm");
  Scale(At(swarm.motion, 0, 1, 0), 1.6f);
  swarm.motion.channels[3] = Spin(-30);
  swarm.polygonSize = Fixed(0.12f);
  Glowing(swarm);
  s.objects.push_back(swarm);
  s.ambientColor = {0.6f, 0.7f, 1.0f};
  s.ambientIntensity = Fixed(0.15f);
  DemoLight spot = Light("Spot", 2);
  Turn(At(spot.motion, 0, 14, -4), 0, 1.3f, 0);
  spot.color = {1.0f, 0.9f, 0.8f};
  spot.intensity = Fixed(1.1f);
  spot.coneAngle = Animated(Swing(18, 26, 4));
  s.lights.push_back(spot);
  DemoLight rim = Light("Rim", 0);
  Turn(rim.motion, kPi * 0.8f, 0.4f, 0);
  rim.color = {0.4f, 0.6f, 1.0f};
  rim.intensity = Fixed(0.8f);
  s.lights.push_back(rim);
  DemoCamera camera = Camera(2.4f);
  camera.parent = Object(1);
  Turn(At(camera.motion, 0, 3, -14), 0, 0.18f, 0);
  camera.motion.channels[2] = Keys({{-15, 0}, {-11, 10}}, stagwerk::kShapeTcb);
  s.cameras.push_back(camera);
  Fog(s, 12, 45, {0.02f, 0.03f, 0.08f});
  return s;
}

// The finale and outro (40 s to the end at 57.5 s, its last frame ends the
// demo): the blob thrown about by the mixer on every beat inside spinning
// rings, sparks and crystals, a flaring nova behind, and the title fading
// back in over the last bars.
DemoScene Finale() {
  DemoScene s = Scene(525, 30);
  DemoObject orbit = Null("Orbit");  // 0
  orbit.motion.channels[3] = Spin(3);
  s.objects.push_back(orbit);
  DemoObject pivot = Null("Pivot");  // 1
  pivot.motion.channels[3] = Spin(24);
  s.objects.push_back(pivot);
  DemoObject floor = Mesh("Floor");
  Scale(At(floor.motion, 0, -4, 0), 1.5f);
  s.objects.push_back(floor);
  DemoObject blob = Mesh("Blob");
  Scale(At(blob.motion, 0, 0.5f, 0), 1.8f);
  blob.motion.channels[3] = Spin(5);
  blob.mixer = {Pulse(1.0f, 0.15f), Swing(0, 1, 2)};
  s.objects.push_back(blob);
  const float tilt[3][2] = {{0.0f, 1.2f}, {1.5f, 0.4f}, {0.7f, 2.2f}};
  for (int i = 0; i < 3; ++i) {
    DemoObject ring = Mesh("Ring");
    Scale(At(ring.motion, 0, 0.5f, 0), 1.25f + 0.3f * static_cast<float>(i));
    ring.motion.channels[3] = Spin(4.0f + static_cast<float>(i) * 1.5f);
    ring.motion.channels[4] = Spin(6.0f - static_cast<float>(i), tilt[i][0] + 1);
    ring.motion.channels[5] = Const(tilt[i][1]);
    Glowing(ring);
    s.objects.push_back(ring);
  }
  for (int i = 0; i < 8; ++i) {
    DemoObject crystal = Mesh("Crystal");
    crystal.parent = Object(1);
    const float a = static_cast<float>(i) * 2 * kPi / 8;
    Scale(At(crystal.motion, 9 * std::cos(a), 0, 9 * std::sin(a)), 0.5f);
    crystal.motion.channels[1] = Swing(-1, 2, 2, static_cast<float>(i) * 0.25f);
    crystal.motion.channels[3] = Spin(2);
    Glowing(crystal);
    s.objects.push_back(crystal);
  }
  DemoObject swarm = Mesh("Swarm");
  Scale(At(swarm.motion, 0, 1, 0), 2.2f);
  swarm.motion.channels[3] = Spin(-12);
  swarm.polygonSize = Animated(Pulse(0.3f, 0.14f));
  Glowing(swarm);
  s.objects.push_back(swarm);
  s.ambientIntensity = Animated(Keys({{0.15f, 0}, {0.15f, 14}, {0.0f, 17.5f}}));
  CirclingLights(s, 0, 4.0f, 1.5f);
  DemoLight nova = Light("Nova", 1);
  At(nova.motion, 0, 5, 30);
  nova.color = {1.0f, 0.6f, 0.9f};
  nova.intensity = Fixed(0.5f);
  Flare(nova, Pulse(1.0f, 0.5f), 90);
  s.lights.push_back(nova);
  DemoLight spot = Light("Spot", 2);
  Turn(At(spot.motion, 0, 14, 0), 0, kPi / 2, 0);
  spot.intensity = Fixed(0.9f);
  spot.coneAngle = Animated(Swing(12, 30, 2));
  s.lights.push_back(spot);
  DemoCamera camera = Camera(2.0f);
  camera.parent = Object(1);
  camera.motion.channels[1] = Keys({{1.5f, 0}, {4, 12}, {7, 17.5f}}, stagwerk::kShapeTcb);
  camera.motion.channels[2] = Keys({{-12, 0}, {-16, 12}, {-24, 17.5f}}, stagwerk::kShapeTcb);
  camera.motion.channels[4] = Keys({{0.08f, 0}, {0.2f, 12}, {0.25f, 17.5f}}, stagwerk::kShapeTcb);
  s.cameras.push_back(camera);
  Fog(s, 15, 60, {0.05f, 0.0f, 0.06f});
  s.fgImage = "textures/Title.tga";
  s.fgDissolve = Animated(Keys({{1, 0}, {1, 12}, {0, 15}}, stagwerk::kShapeTcb));
  return s;
}

void Write(const std::filesystem::path& path, DemoScene scene) {
  RoundToSixFigures(scene);
  std::ofstream(path, std::ios::binary) << stagwerk::kq7::WriteDemoScene(scene);
}

}  // namespace

void WriteScenes(const std::filesystem::path& data) {
  std::filesystem::create_directories(data / "scenes");
  Write(data / "scenes/dawn.lws", Dawn());
  Write(data / "scenes/forge.lws", Forge());
  Write(data / "scenes/tunnel.lws", Tunnel());
  Write(data / "scenes/mirror.lws", Mirror());
  Write(data / "scenes/finale.lws", Finale());
  // Dawn is cut by the music at 8 s. Forge ends by its last frame at 16 s,
  // which starts the first tunnel entry before its 17 s. The tunnel entries
  // and the mirror are cut by the music; the finale's last frame ends it all.
  std::ofstream(data / "demo.txt", std::ios::binary) << "dawn 1 00:00:00:000\n"
                                                        "forge 1 00:00:08:000\n"
                                                        "tunnel 1 00:00:17:000\n"
                                                        "tunnel 2 00:00:24:000\n"
                                                        "mirror 1 00:00:32:000\n"
                                                        "finale 1 00:00:40:000\n";
}

}  // namespace demo_assets
