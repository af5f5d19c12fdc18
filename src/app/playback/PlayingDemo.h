#pragma once
// What plays one loaded demo: its frames drawn through the renderer, the
// playback clock deciding entries and scene times, and the author's
// controls. Made anew when a demo loads again; the window's and the page's
// players share it.
#include "app/loading/Demo.h"
#include "app/playback/FrameDrawer.h"
#include "app/playback/PacedMusic.h"
#include "app/playback/PlaybackClock.h"
#include "app/playback/PlaybackControls.h"
#include "app/playback/ScaledClock.h"
#include "frame/Renderer.h"

namespace stagwerk {

struct Playing {
  Playing(Demo& demo, Renderer& renderer, ScaledClock& counter, PacedMusic& music)
      : target(renderer, demo.aspect),
        playback(demo.script, counter, music, target),
        controls(demo.script, playback, counter, music) {
    target.UseSync(SyncFeed::Saved(demo.sync));
  }
  FrameDrawer target;
  PlaybackClock playback;
  PlaybackControls controls;
};

}  // namespace stagwerk
