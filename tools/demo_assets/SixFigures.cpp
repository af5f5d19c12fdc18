#include "SixFigures.h"

#include <cstdio>

#include "base/SceneReader.h"

namespace demo_assets {

namespace {

using namespace stagwerk::kq7;

// As the player reads the number's six-figure text.
void Round(float& v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
  stagwerk::ConvertFloat(text, &v);
}

void Round(std::array<float, 3>& v) {
  for (float& x : v) Round(x);
}
void Round(std::optional<std::array<float, 3>>& v) {
  if (v) Round(*v);
}
void Round(Curve& c) {
  for (CurveKey& k : c.keys) {
    Round(k.value);
    Round(k.time);
    for (float& p : k.params) Round(p);
  }
}
void Round(Scalar& s) {
  Round(s.value);
  if (s.curve) Round(*s.curve);
}
void Round(std::optional<Scalar>& s) {
  if (s) Round(*s);
}
void Round(Motion& m) {
  for (Curve& c : m.channels) Round(c);
}

void Round(DemoObject& o) {
  Round(o.motion);
  Round(o.morphAmount);
  for (Curve& c : o.mixer) Round(c);
  Round(o.dissolve);
  Round(o.polygonSize);
}

void Round(DemoLight& l) {
  Round(l.motion);
  Round(l.color);
  Round(l.intensity);
  Round(l.coneAngle);
  Round(l.flareIntensity);
  Round(l.flareNominalDistance);
  Round(l.flareDissolve);
}

void Round(DemoCamera& c) {
  Round(c.motion);
  Round(c.zoom);
  Round(c.blurLength);
  Round(c.focalDistance);
}

}  // namespace

void RoundToSixFigures(DemoScene& s) {
  if (s.nearClip) Round(*s.nearClip);
  Round(s.fogMin);
  Round(s.fogMax);
  Round(s.fogColor);
  Round(s.backdropColor);
  Round(s.ambientColor);
  Round(s.ambientIntensity);
  Round(s.fgDissolve);
  for (DemoObject& o : s.objects) Round(o);
  for (DemoLight& l : s.lights) Round(l);
  for (DemoCamera& c : s.cameras) Round(c);
}

}  // namespace demo_assets
