#pragma once
// What capture tests share: a tiny demo's capture options at 10 fps, and
// the name of frame k in a folder.
#include <cstdio>
#include <string>

#include "TinyDemo.h"
#include "app/capture/Capture.h"

namespace stagwerk::testing {

inline std::string Frame(const std::string& folder, int k) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame-%06d.png", k);
  return folder + name;
}

inline CaptureOptions CaptureOf(const TinyDemo& demo, const std::string& out) {
  CaptureOptions options;
  options.configPath = demo.config();
  options.settingsPath = demo.dir / "settings.conf";
  options.out = out;
  options.fps = {10, 1};
  return options;
}

}  // namespace stagwerk::testing
