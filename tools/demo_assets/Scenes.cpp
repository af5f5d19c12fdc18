#include "Scenes.h"

#include <cmath>
#include <fstream>
#include <string>

#include "Lws.h"

namespace demo_assets {

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kBeat = 0.5f;  // 120 beats a minute

// A channel turning a full circle every `period` seconds, for ever.
Envelope Spin(float period, float turns = 1.0f) {
  return Keys({{0, 0}, {2 * kPi * turns, period}}, kLinear, kOffsetRepeat);
}

// A channel swinging between two values and back every `period` seconds.
Envelope Swing(float from, float to, float period, float phase = 0) {
  Envelope e = Keys({{from, phase}, {to, phase + period / 2}, {from, phase + period}}, kTcb, kRepeat);
  e.pre = kRepeat;
  return e;
}

// A kick on every beat: `peak` on the beat, falling to `rest` by half a beat.
Envelope Pulse(float peak, float rest) {
  Envelope e = Keys({{peak, 0}, {rest, kBeat * 0.6f}, {rest, kBeat}}, kLinear, kRepeat);
  e.keys[1].shape = kTcb;
  return e;
}

// Dawn, the intro (0 to 8 s, cut by the music before its 10 s end): a dolly
// over rocky ground towards standing stones at dusk, the sky a background
// picture, the title a foreground picture that fades away, the sun a
// distant light with a lens flare, fog towards the horizon.
SceneSpec Dawn() {
  SceneSpec s;
  s.lastFrame = 300;
  s.fps = 30;
  ObjectSpec ground;
  ground.mesh = "Terrain";
  s.objects.push_back(ground);
  const float stones[][4] = {{-5, 6, 0.3f, 1.0f}, {5.5f, 12, -0.4f, 1.1f}, {-6.5f, 22, 0.2f, 1.3f},
                             {6, 30, 0.5f, 0.9f},  {-3, 40, -0.2f, 1.4f}, {2.5f, 48, 0.1f, 1.2f}};
  for (const auto& st : stones) {
    ObjectSpec stone;
    stone.mesh = "Monolith";
    stone.motion.At(st[0], 2.5f * st[3], st[1]).Turn(st[2], 0, st[2] * 0.1f).Scale(st[3]);
    s.objects.push_back(stone);
  }
  s.ambientColour = {0.8f, 0.6f, 0.7f};
  s.ambient = Const(0.3f);
  LightSpec sun;
  sun.name = "Sun";
  sun.type = 0;
  // Low in the sky ahead and to the left, shining back towards the camera.
  sun.motion.At(-55, 9, 95).Turn(kPi * 0.82f, 0.08f, 0);
  sun.colour = {1.0f, 0.7f, 0.45f};
  sun.intensity = Const(1.2f);
  sun.flare = Keys({{0.0f, 0}, {0.9f, 2.0f}}, kTcb);
  sun.flareSize = 55;
  s.lights.push_back(sun);
  LightSpec fill;
  fill.name = "Sky";
  fill.type = 0;
  fill.motion.Turn(0.3f, 0.5f, 0);
  fill.colour = {0.45f, 0.5f, 0.9f};
  fill.intensity = Const(0.7f);
  s.lights.push_back(fill);
  CameraSpec camera;
  camera.motion.channels[0] = Keys({{-1.5f, 0}, {1.0f, 10}}, kTcb);
  camera.motion.channels[1] = Keys({{6, 0}, {3.2f, 10}}, kTcb);
  camera.motion.channels[2] = Keys({{-42, 0}, {-8, 10}}, kTcb);
  camera.motion.channels[3] = Keys({{0.05f, 0}, {-0.08f, 10}}, kTcb);
  camera.motion.channels[4] = Keys({{0.12f, 0}, {0.02f, 10}}, kTcb);
  camera.zoom = Const(2.2f);
  s.cameras.push_back(camera);
  s.fog = true;
  s.fogMin = 25;
  s.fogMax = Const(130);
  s.fogColour = {0.55f, 0.32f, 0.33f};
  s.backdrop = s.fogColour;
  s.bgImage = "textures/Sky.tga";
  s.fgImage = "textures/Title.tga";
  s.fgDissolve = Keys({{0, 0}, {0, 2.5f}, {1, 6}}, kTcb);
  return s;
}

// Three coloured point lights circling a centre at radius r, parented to a
// spinning null at `null`.
void CirclingLights(SceneSpec& s, int null, float r, float y) {
  const float colours[3][3] = {{1.0f, 0.25f, 0.2f}, {0.2f, 1.0f, 0.4f}, {0.3f, 0.4f, 1.0f}};
  for (int i = 0; i < 3; ++i) {
    LightSpec light;
    light.name = std::string("Lamp") + static_cast<char>('A' + i);
    const float a = static_cast<float>(i) * 2 * kPi / 3;
    light.motion.At(r * std::cos(a), y, r * std::sin(a));
    light.parent = ObjectId(null);
    light.colour = {colours[i][0], colours[i][1], colours[i][2]};
    light.intensity = Const(0.9f);
    s.lights.push_back(light);
  }
}

// The shapes' forge, the build (8 to 16 s, ends by its own last frame): a
// living colour blob shaped by the morph mixer, metal cubes rounding into
// spheres by a morph target, three point lights circling, a spot from above
// narrowing as the music builds.
SceneSpec Forge() {
  SceneSpec s;
  s.lastFrame = 240;
  s.fps = 30;
  ObjectSpec orbit;  // 0: carries the lamps
  orbit.nullName = "Orbit";
  orbit.motion.channels[3] = Spin(4);
  s.objects.push_back(orbit);
  ObjectSpec pivot;  // 1: carries the camera
  pivot.nullName = "Pivot";
  pivot.motion.channels[3] = Keys({{-0.6f, 0}, {0.6f, 8}}, kTcb);
  s.objects.push_back(pivot);
  ObjectSpec floor;
  floor.mesh = "Floor";
  floor.motion.At(0, -2, 0);
  s.objects.push_back(floor);
  ObjectSpec blob;
  blob.mesh = "Blob";
  blob.motion.At(0, 0.6f, 0).Scale(1.6f);
  blob.motion.channels[3] = Spin(6);
  // Lumps grow with the build; the disc shape breathes over two bars.
  blob.mixer = {Keys({{0, 0}, {0.3f, 4}, {1.0f, 8}}, kTcb), Swing(0, 0.8f, 4, 0)};
  s.objects.push_back(blob);
  ObjectSpec sphere;  // 4 (number 5): the cubes' target, never drawn itself
  sphere.mesh = "Sphere";
  sphere.dissolve = Const(1);
  s.objects.push_back(sphere);
  for (int side : {-1, 1}) {
    ObjectSpec cube;
    cube.mesh = "Cube";
    cube.motion.At(4.2f * static_cast<float>(side), -0.6f, 1.5f).Scale(0.9f);
    cube.motion.channels[3] = Spin(5.0f * static_cast<float>(side));
    cube.motion.channels[4] = Spin(7);
    cube.morphAmount = Swing(0, 1, 4, side > 0 ? 0 : 2);
    cube.morphTarget = 5;
    cube.brightness = 2;
    s.objects.push_back(cube);
  }
  s.ambient = Const(0.12f);
  CirclingLights(s, 0, 3.2f, 1.2f);
  LightSpec spot;
  spot.name = "Spot";
  spot.type = 2;
  spot.motion.At(0, 12, 0).Turn(0, kPi / 2, 0);
  spot.colour = {1.0f, 0.95f, 0.85f};
  spot.intensity = Const(1.0f);
  spot.coneAngle = Keys({{35, 0}, {14, 8}}, kTcb);
  s.lights.push_back(spot);
  CameraSpec camera;
  camera.parent = ObjectId(1);
  camera.motion.channels[1] = Keys({{2.0f, 0}, {3.2f, 8}}, kTcb);
  camera.motion.channels[2] = Keys({{-13, 0}, {-10, 8}}, kTcb);
  camera.motion.channels[4] = Keys({{0.12f, 0}, {0.22f, 8}}, kTcb);
  camera.zoom = Const(2.2f);
  s.cameras.push_back(camera);
  s.backdrop = {0.03f, 0.03f, 0.06f};
  s.fogMax = Const(100);
  return s;
}

// The tunnel, the drop (16 to 32 s, two entries cut by the music): a flight
// through glowing rings, one every beat, among sparks. Camera 1 trails a
// motion blur over a nebula that rides ahead; camera 2 shakes on the beat.
SceneSpec Tunnel() {
  SceneSpec s;
  s.lastFrame = 400;
  s.fps = 25;
  ObjectSpec rider;  // 0: both cameras, the nebula and the light ride it
  rider.nullName = "Rider";
  rider.motion.channels[2] = Keys({{0, 0}, {160, 16}});
  rider.motion.channels[5] = Keys({{0, 0}, {kPi, 16}});
  s.objects.push_back(rider);
  ObjectSpec veil;  // drawn first: with no clear it also fades the trails
  veil.mesh = "Veil";
  veil.parent = ObjectId(0);
  veil.motion.At(0, 0, 110).Scale(150);  // wide enough to cover the corners as it spins
  veil.motion.channels[5] = Spin(-20);
  veil.unlit = true;
  s.objects.push_back(veil);
  for (int i = 1; i <= 56; ++i) {
    ObjectSpec ring;
    ring.mesh = "Ring";
    const float z = 5.0f * static_cast<float>(i);
    ring.motion.At(0.4f * std::sin(z * 0.05f), 0.4f * std::cos(z * 0.07f), z);
    ring.motion.channels[5] = Spin(i % 2 ? 3.0f : -3.0f);
    ring.motion.channels[5].keys[0].value = static_cast<float>(i) * 0.4f;
    ring.motion.channels[5].keys[1].value += static_cast<float>(i) * 0.4f;
    const Envelope pulse = Pulse(1.18f, 1.0f);
    for (std::size_t c = 6; c < 9; ++c) ring.motion.channels[c] = pulse;
    ring.unlit = true;
    ring.additive = true;
    s.objects.push_back(ring);
  }
  ObjectSpec sparks;
  sparks.mesh = "Sparks";
  sparks.polygonSize = Const(0.22f);
  sparks.unlit = true;
  sparks.additive = true;
  s.objects.push_back(sparks);
  s.ambient = Const(0.2f);
  LightSpec core;
  core.name = "Core";
  core.parent = ObjectId(0);
  core.motion.At(0, 0, 95);
  core.colour = {0.6f, 0.85f, 1.0f};
  core.flare = Pulse(0.9f, 0.45f);
  core.flareSize = 70;
  s.lights.push_back(core);
  CameraSpec blur;
  blur.parent = ObjectId(0);
  blur.zoom = Const(1.8f);
  blur.blurLength = Const(0.6f);
  s.cameras.push_back(blur);
  CameraSpec shake;
  shake.parent = ObjectId(0);
  shake.motion.At(1.0f, 0.6f, 0).Turn(-0.06f, 0.04f, 0.3f);
  shake.zoom = Const(1.5f);
  shake.shake = Pulse(0.35f, 0.0f);
  s.cameras.push_back(shake);
  s.fog = true;
  s.fogMin = 30;
  s.fogMax = Const(115);
  s.fogColour = {0.02f, 0.0f, 0.05f};
  s.backdrop = s.fogColour;
  return s;
}

// The mirror, the break (32 to 40 s, cut by the music): a chrome knot turning
// slowly, its environment map shining, crystals circling it, a spot light
// and a cool distant light, fog in the dark.
SceneSpec Mirror() {
  SceneSpec s;
  s.lastFrame = 300;
  s.fps = 30;
  ObjectSpec carousel;  // 0: carries the crystals
  carousel.nullName = "Carousel";
  carousel.motion.channels[3] = Spin(12);
  s.objects.push_back(carousel);
  ObjectSpec pivot;  // 1: carries the camera
  pivot.nullName = "Pivot";
  pivot.motion.channels[3] = Keys({{0.4f, 0}, {-0.5f, 10}}, kTcb);
  s.objects.push_back(pivot);
  ObjectSpec floor;
  floor.mesh = "Floor";
  floor.motion.At(0, -3.5f, 0);
  s.objects.push_back(floor);
  ObjectSpec knot;
  knot.mesh = "Knot";
  knot.motion.At(0, 0.4f, 0).Scale(1.1f);
  knot.motion.channels[3] = Spin(10);
  knot.motion.channels[4] = Swing(-0.3f, 0.3f, 8);
  s.objects.push_back(knot);
  for (int i = 0; i < 6; ++i) {
    ObjectSpec crystal;
    crystal.mesh = "Crystal";
    crystal.parent = ObjectId(0);
    const float a = static_cast<float>(i) * 2 * kPi / 6;
    crystal.motion.At(5.5f * std::cos(a), 0, 5.5f * std::sin(a)).Scale(0.45f);
    crystal.motion.channels[1] = Swing(-0.6f, 0.9f, 4, static_cast<float>(i) * 0.67f);
    crystal.motion.channels[3] = Spin(3);
    crystal.unlit = true;
    crystal.additive = true;
    s.objects.push_back(crystal);
  }
  ObjectSpec swarm;
  swarm.mesh = "Swarm";
  swarm.motion.At(0, 1, 0).Scale(1.6f);
  swarm.motion.channels[3] = Spin(-30);
  swarm.polygonSize = Const(0.12f);
  swarm.unlit = true;
  swarm.additive = true;
  s.objects.push_back(swarm);
  s.ambientColour = {0.6f, 0.7f, 1.0f};
  s.ambient = Const(0.15f);
  LightSpec spot;
  spot.name = "Spot";
  spot.type = 2;
  spot.motion.At(0, 14, -4).Turn(0, 1.3f, 0);
  spot.colour = {1.0f, 0.9f, 0.8f};
  spot.intensity = Const(1.1f);
  spot.coneAngle = Swing(18, 26, 4);
  s.lights.push_back(spot);
  LightSpec rim;
  rim.name = "Rim";
  rim.type = 0;
  rim.motion.Turn(kPi * 0.8f, 0.4f, 0);
  rim.colour = {0.4f, 0.6f, 1.0f};
  rim.intensity = Const(0.8f);
  s.lights.push_back(rim);
  CameraSpec camera;
  camera.parent = ObjectId(1);
  camera.motion.At(0, 3, -14).Turn(0, 0.18f, 0);
  camera.motion.channels[2] = Keys({{-15, 0}, {-11, 10}}, kTcb);
  camera.zoom = Const(2.4f);
  s.cameras.push_back(camera);
  s.fog = true;
  s.fogMin = 12;
  s.fogMax = Const(45);
  s.fogColour = {0.02f, 0.03f, 0.08f};
  s.backdrop = s.fogColour;
  return s;
}

// The finale and outro (40 s to the end at 57.5 s, its last frame ends the
// demo): the blob thrown about by the mixer on every beat inside spinning
// rings, sparks and crystals, a flaring nova behind, and the title fading
// back in over the last bars.
SceneSpec Finale() {
  SceneSpec s;
  s.lastFrame = 525;
  s.fps = 30;
  ObjectSpec orbit;  // 0
  orbit.nullName = "Orbit";
  orbit.motion.channels[3] = Spin(3);
  s.objects.push_back(orbit);
  ObjectSpec pivot;  // 1
  pivot.nullName = "Pivot";
  pivot.motion.channels[3] = Spin(24);
  s.objects.push_back(pivot);
  ObjectSpec floor;
  floor.mesh = "Floor";
  floor.motion.At(0, -4, 0).Scale(1.5f);
  s.objects.push_back(floor);
  ObjectSpec blob;
  blob.mesh = "Blob";
  blob.motion.At(0, 0.5f, 0).Scale(1.8f);
  blob.motion.channels[3] = Spin(5);
  blob.mixer = {Pulse(1.0f, 0.15f), Swing(0, 1, 2)};
  s.objects.push_back(blob);
  const float tilt[3][2] = {{0.0f, 1.2f}, {1.5f, 0.4f}, {0.7f, 2.2f}};
  for (int i = 0; i < 3; ++i) {
    ObjectSpec ring;
    ring.mesh = "Ring";
    ring.motion.At(0, 0.5f, 0).Scale(1.25f + 0.3f * static_cast<float>(i));
    ring.motion.channels[3] = Spin(4.0f + static_cast<float>(i) * 1.5f);
    ring.motion.channels[4] = Spin(6.0f - static_cast<float>(i), tilt[i][0] + 1);
    ring.motion.channels[5] = Const(tilt[i][1]);
    ring.unlit = true;
    ring.additive = true;
    s.objects.push_back(ring);
  }
  for (int i = 0; i < 8; ++i) {
    ObjectSpec crystal;
    crystal.mesh = "Crystal";
    crystal.parent = ObjectId(1);
    const float a = static_cast<float>(i) * 2 * kPi / 8;
    crystal.motion.At(9 * std::cos(a), 0, 9 * std::sin(a)).Scale(0.5f);
    crystal.motion.channels[1] = Swing(-1, 2, 2, static_cast<float>(i) * 0.25f);
    crystal.motion.channels[3] = Spin(2);
    crystal.unlit = true;
    crystal.additive = true;
    s.objects.push_back(crystal);
  }
  ObjectSpec swarm;
  swarm.mesh = "Swarm";
  swarm.motion.At(0, 1, 0).Scale(2.2f);
  swarm.motion.channels[3] = Spin(-12);
  swarm.polygonSize = Pulse(0.3f, 0.14f);
  swarm.unlit = true;
  swarm.additive = true;
  s.objects.push_back(swarm);
  s.ambient = Keys({{0.15f, 0}, {0.15f, 14}, {0.0f, 17.5f}});
  CirclingLights(s, 0, 4.0f, 1.5f);
  LightSpec nova;
  nova.name = "Nova";
  nova.motion.At(0, 5, 30);
  nova.colour = {1.0f, 0.6f, 0.9f};
  nova.intensity = Const(0.5f);
  nova.flare = Pulse(1.0f, 0.5f);
  nova.flareSize = 90;
  s.lights.push_back(nova);
  LightSpec spot;
  spot.name = "Spot";
  spot.type = 2;
  spot.motion.At(0, 14, 0).Turn(0, kPi / 2, 0);
  spot.intensity = Const(0.9f);
  spot.coneAngle = Swing(12, 30, 2);
  s.lights.push_back(spot);
  CameraSpec camera;
  camera.parent = ObjectId(1);
  camera.motion.channels[1] = Keys({{1.5f, 0}, {4, 12}, {7, 17.5f}}, kTcb);
  camera.motion.channels[2] = Keys({{-12, 0}, {-16, 12}, {-24, 17.5f}}, kTcb);
  camera.motion.channels[4] = Keys({{0.08f, 0}, {0.2f, 12}, {0.25f, 17.5f}}, kTcb);
  camera.zoom = Const(2.0f);
  s.cameras.push_back(camera);
  s.fog = true;
  s.fogMin = 15;
  s.fogMax = Const(60);
  s.fogColour = {0.05f, 0.0f, 0.06f};
  s.backdrop = s.fogColour;
  s.fgImage = "textures/Title.tga";
  s.fgDissolve = Keys({{1, 0}, {1, 12}, {0, 15}}, kTcb);
  return s;
}

void Write(const std::filesystem::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

}  // namespace

void WriteScenes(const std::filesystem::path& data) {
  std::filesystem::create_directories(data / "scenes");
  Write(data / "scenes/dawn.lws", SceneText(Dawn()));
  Write(data / "scenes/forge.lws", SceneText(Forge()));
  Write(data / "scenes/tunnel.lws", SceneText(Tunnel()));
  Write(data / "scenes/mirror.lws", SceneText(Mirror()));
  Write(data / "scenes/finale.lws", SceneText(Finale()));
  // Dawn is cut by the music at 8 s. Forge ends by its last frame at 16 s,
  // which starts the first tunnel entry before its 17 s. The tunnel entries
  // and the mirror are cut by the music; the finale's last frame ends it all.
  Write(data / "demo.txt",
        "dawn 1 00:00:00:000\n"
        "forge 1 00:00:08:000\n"
        "tunnel 1 00:00:17:000\n"
        "tunnel 2 00:00:24:000\n"
        "mirror 1 00:00:32:000\n"
        "finale 1 00:00:40:000\n");
}

}  // namespace demo_assets
