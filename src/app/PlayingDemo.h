#pragma once
// What plays one loaded demo: its frames drawn through the renderer, the
// playback clock deciding entries and scene times, and the author's
// controls. Made anew when a demo loads again; the window's and the page's
// players share it.
#include "app/Demo.h"
#include "app/FrameDrawer.h"
#include "app/PacedMusic.h"
#include "app/PlaybackClock.h"
#include "app/PlaybackControls.h"
#include "app/ScaledClock.h"
#include "frame/Renderer.h"

namespace stagwerk {

struct Playing {
  Playing(Demo& demo, Renderer& renderer, ScaledClock& counter, PacedMusic& music)
      : target(renderer, demo.aspect),
        playback(demo.script, counter, music, target),
        controls(demo.script, playback, counter, music) {}
  FrameDrawer target;
  PlaybackClock playback;
  PlaybackControls controls;
};

}  // namespace stagwerk
