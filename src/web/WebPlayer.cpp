// The player in a browser page. The page (page.js) fetches the demo's files
// into the module's file system and then calls, in turn:
//   stagwerk_open(config, width, height)  configuration, canvas, loading picture
//   stagwerk_load()                       script, scenes, meshes, textures
//   stagwerk_play()                       after a click: music and frame loop
// or, instead of playing, stagwerk_still(scene, at, camera) for one still as
// --render draws it. Each returns 0, or 1 once a loading error is shown.
// Splitting the load lets the page show the loading picture in between.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <iostream>
#include <memory>
#include <new>
#include <string>

#include "base/LoadError.h"
#include "app/loading/Demo.h"
#include "app/playback/FrameDrawer.h"
#include "app/playback/PacedMusic.h"
#include "app/playback/PlaybackClock.h"
#include "app/playback/PlaybackControls.h"
#include "app/playback/PlayingDemo.h"
#include "app/playback/ScaledClock.h"
#include "app/loading/SceneHint.h"
#include "app/playback/StillFrames.h"
#include "frame/FrameBuilder.h"
#include "frame/Renderer.h"
#include "gl/Shader.h"
#include "platform/web/PageMessage.h"
#include "platform/web/WebCanvas.h"
#include "platform/web/WebClock.h"
#include "platform/web/WebMusic.h"
#include "web/PageKeys.h"

namespace stagwerk {

namespace {

// The page has no per-user settings file: the display settings come from
// the configuration and are never written.
constexpr const char* kNoSettings = "/nonexistent/stagwerk.conf";

// clang-format off
EM_JS(void, JsPlaybackEnded, (int escaped), {
  const page = Module['stagwerkPage'];
  if (page && page.ended) page.ended(escaped !== 0);
});
EM_JS(void, JsFirstFrame, (), {
  const page = Module['stagwerkPage'];
  if (page && page.firstFrame) page.firstFrame();
});
EM_JS(void, JsStillReady, (const unsigned char* rgb, int size, int width, int height), {
  Module['stillPicture'] = {width : width, height : height, rgb : HEAPU8.slice(rgb, rgb + size)};
  document.title = 'STILL READY';
});
// clang-format on

// Everything the page's player owns, released from the bottom up: playback
// and music first, then the demo's contents, the renderer, the context.
struct WebPlayer {
  WebClock clock;
  std::unique_ptr<WebCanvas> canvas;
  std::unique_ptr<Renderer> renderer;
  std::unique_ptr<Demo> demo;
  std::unique_ptr<MusicPlayer> music;
  std::unique_ptr<ScaledClock> counter;
  std::unique_ptr<PacedMusic> paced;
  std::unique_ptr<Playing> playing;
  bool still = false;
  bool looping = false;
  bool firstFrameTold = false;
};

std::unique_ptr<WebPlayer> gPlayer;

int ShowLoadingError(const std::string& text) {
  if (const std::string hint = SceneHint(text); !hint.empty()) std::cerr << hint << "\n";
  ShowPageMessage("Loading Error", text, PageMessageKind::Error);
  return 1;
}

// Runs one step of loading; a failure is shown, never thrown to the page.
template <typename Step>
int Guarded(Step step) {
  try {
    step();
    return 0;
  } catch (const LoadError& error) {
    return ShowLoadingError(error.what());
  } catch (const WebGlUnavailable& error) {
    return ShowLoadingError(error.what());
  } catch (const std::bad_alloc&) {
    return ShowLoadingError("Out of memory");
  }
}

void StopLoop(bool escaped) {
  WebPlayer& p = *gPlayer;
  if (!p.looping) return;
  emscripten_cancel_main_loop();
  p.looping = false;
  p.paced->Pause();
  JsPlaybackEnded(escaped ? 1 : 0);
}

// One animation frame. The pacing wait of the pass before may not have run
// out yet: then the frame goes by with the picture as it is.
void Tick() {
  WebPlayer& p = *gPlayer;
  Playing& playing = *p.playing;
  if (!playing.controls.paused()) {
    if (!p.clock.Due()) return;
    const int64_t drawnBefore = playing.target.framesDrawn();
    if (!playing.playback.AdvanceFrame()) {
      StopLoop(false);
      return;
    }
    playing.controls.KeepLoop();
    if (!p.firstFrameTold && playing.target.framesDrawn() != drawnBefore) {
      p.firstFrameTold = true;
      JsFirstFrame();
    }
  }
  p.renderer->PresentToWindow();
}

EM_BOOL OnKey(int, const EmscriptenKeyboardEvent* key, void*) {
  WebPlayer* p = gPlayer.get();
  if (p == nullptr || !p->looping) return EM_FALSE;
  if (std::string(key->code) == "Escape") {
    StopLoop(true);
    return EM_TRUE;
  }
  const std::optional<PlaybackCommand> command = PageKeyCommand(key->code, key->shiftKey, key->repeat);
  if (!command) return EM_FALSE;
  p->playing->controls.Apply(*command);
  return EM_TRUE;
}

EM_BOOL OnResize(int, const EmscriptenUiEvent*, void*) {
  WebPlayer* p = gPlayer.get();
  if (p == nullptr || p->still || !p->renderer) return EM_FALSE;
  int width = 0, height = 0;
  WindowSize(width, height);
  p->canvas->SetSize(width, height);
  p->renderer->Resize(width, height);
  // Before the first click the loading picture stays up; once playing, the
  // next frame fills the picture again.
  if (!p->music && p->demo && p->demo->loadingPicture != nullptr) {
    p->renderer->DrawLoadingPicture(*p->demo->loadingPicture);
    p->renderer->PresentToWindow();
  }
  return EM_FALSE;
}

}  // namespace

}  // namespace stagwerk

using namespace stagwerk;

extern "C" {

// width and height 0: the window's size when playing, the display
// settings' for a still.
EMSCRIPTEN_KEEPALIVE int stagwerk_open(const char* config, int still, int width, int height) {
  if (gPlayer) StopLoop(false);
  gPlayer.reset();
  gPlayer = std::make_unique<WebPlayer>();
  WebPlayer& p = *gPlayer;
  p.still = still != 0;
  return Guarded([&] {
    DemoOptions options;
    options.validationRun = true;
    options.settingsPath = kNoSettings;
    options.jobs = 1;  // no worker threads in a page
    options.onLoadingPicture = [&p](const Texture& picture) {
      p.renderer->DrawLoadingPicture(picture);
      p.renderer->PresentToWindow();
    };
    p.demo = Demo::Create(config, options);
    if (p.still) {
      if (width <= 0 || height <= 0) {
        width = static_cast<int>(p.demo->display.width);
        height = static_cast<int>(p.demo->display.height);
      }
    } else {
      WindowSize(width, height);
    }
    p.canvas = std::make_unique<WebCanvas>("#canvas", p.still);
    p.canvas->SetSize(width, height);
    p.renderer = MakeShaderRenderer(WebGlProcAddress, width, height, p.demo->aspect);
    p.demo->AttachRenderer(*p.renderer);
    // The loading picture now, so that the page shows it while the rest
    // loads in the next step; the load finds it already there.
    const Texture& picture = p.demo->textures.FindOrLoad(kLoadingPicture);
    p.renderer->DrawLoadingPicture(picture);
    p.renderer->PresentToWindow();
    if (!p.still) {
      DecodeWebMusic(p.demo->config.musicFile.str());
      emscripten_set_resize_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnResize);
      emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnKey);
    }
  });
}

// rowsPerSecond: ?sync-rows, as --sync-rows; 0 keeps the default.
EMSCRIPTEN_KEEPALIVE int stagwerk_load(double rowsPerSecond) {
  if (!gPlayer || !gPlayer->demo) return 1;
  return Guarded([rowsPerSecond] {
    gPlayer->demo->LoadContent();
    if (rowsPerSecond > 0) gPlayer->demo->sync.rowsPerSecond = rowsPerSecond;
  });
}

// Call from a click (or later): sound starts only after a gesture.
EMSCRIPTEN_KEEPALIVE void stagwerk_play() {
  if (!gPlayer || !gPlayer->demo || gPlayer->still) return;
  WebPlayer& p = *gPlayer;
  if (p.looping) return;
  if (!p.music) p.music = OpenWebMusic(p.demo->config.musicFile.str(), p.clock);
  // Played before: from the start again, at normal speed and not held,
  // whatever the keys had left.
  p.playing.reset();
  p.paced.reset();
  p.counter = std::make_unique<ScaledClock>(p.clock);
  p.paced = std::make_unique<PacedMusic>(*p.music, *p.counter);
  p.music->Pause();
  p.music->Seek(0);
  p.playing = std::make_unique<Playing>(*p.demo, *p.renderer, *p.counter, *p.paced);
  p.playing->playback.StartPlayback();
  p.looping = true;
  emscripten_set_main_loop(Tick, 0, EM_FALSE);
}

EMSCRIPTEN_KEEPALIVE int stagwerk_still(const char* scene, double seconds, int camera) {
  if (!gPlayer || !gPlayer->demo || !gPlayer->still) return 1;
  WebPlayer& p = *gPlayer;
  return Guarded([&] {
    Scene& shown = p.demo->scenes.FindOrLoad(scene);
    Camera& through = StillCamera(shown, camera);
    FrameBuilder frames(p.demo->aspect);
    const auto at = static_cast<float>(seconds);
    DrawStill(*p.renderer, frames, shown, through, at, SyncFeed::Saved(p.demo->sync),
              StillMusicOffset(p.demo->script, shown, through, at));
    const std::vector<unsigned char> rgb = p.renderer->ReadPicture();
    p.renderer->PresentToWindow();
    JsStillReady(rgb.data(), static_cast<int>(rgb.size()), p.canvas->width(), p.canvas->height());
  });
}

// What the page and its tests read while the demo plays.
EMSCRIPTEN_KEEPALIVE double stagwerk_music_time() {
  return gPlayer && gPlayer->playing ? gPlayer->playing->playback.MusicTime() : -1.0;
}
EMSCRIPTEN_KEEPALIVE int stagwerk_entry() {
  return gPlayer && gPlayer->playing ? gPlayer->playing->playback.currentIndex() : -1;
}
EMSCRIPTEN_KEEPALIVE double stagwerk_frames() {
  return gPlayer && gPlayer->playing ? static_cast<double>(gPlayer->playing->target.framesDrawn()) : 0.0;
}

}  // extern "C"
