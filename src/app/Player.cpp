#include "app/Player.h"

#include <SDL2/SDL.h>

#include <iostream>
#include <memory>

#include "anim/LoadError.h"
#include "app/Demo.h"
#include "app/FrameDrawer.h"
#include "app/PlaybackClock.h"
#include "app/PlaybackStats.h"
#include "gl/FixedFunctionRenderer.h"
#include "platform/Clock.h"
#include "platform/GlContext.h"
#include "platform/MessageBox.h"
#include "platform/MusicPlayer.h"

namespace stagwerk {

namespace {

constexpr const char* kFullscreenQuestion =
    "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?";

// Everything a run owns, released in the order the members are listed from
// the bottom up: music first, then the demo's contents, the renderer, the
// window.
struct Session {
  std::unique_ptr<GlContext> gl;
  std::unique_ptr<FixedFunctionRenderer> renderer;
  std::unique_ptr<Demo> demo;
  std::unique_ptr<MusicPlayer> music;

  ~Session() {
    music.reset();
    demo.reset();
    renderer.reset();
    gl.reset();
  }

  void Present() {
    renderer->PresentToWindow();
    gl->Swap();
  }
};

void ExplainWindowFailure(const GlContextError& error) {
  ShowMessage("Error", error.what(), MessageKind::Error);
  std::cerr << "stagwerk: " << error.reason << "\n";
  if (!HaveDisplay()) {
    std::cerr << "stagwerk: there is no display to play on; record the demo instead with\n"
                 "  stagwerk --capture demo.mp4 [CONFIG]   (or --capture DIR for PNG frames)\n";
  }
}

struct LoopState {
  bool active = true;
  bool escape = false;
  bool quit = false;
};

// One event: the window's messages as the player knows them.
void Handle(const SDL_Event& event, LoopState& state, Renderer& renderer) {
  switch (event.type) {
    case SDL_QUIT: state.quit = true; break;
    case SDL_KEYDOWN:
      if (event.key.keysym.scancode == SDL_SCANCODE_ESCAPE) state.escape = true;
      break;
    case SDL_KEYUP:
      if (event.key.keysym.scancode == SDL_SCANCODE_ESCAPE) state.escape = false;
      break;
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          renderer.Resize(event.window.data1, event.window.data2);
          break;
        case SDL_WINDOWEVENT_MINIMIZED: state.active = false; break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED: state.active = true; break;
        case SDL_WINDOWEVENT_CLOSE: state.quit = true; break;
        default: break;
      }
      break;
    default: break;
  }
}

}  // namespace

int RunPlayer(const PlayerOptions& options) {
  SdlClock clock;
  Session session;
  DemoOptions demoOptions;
  demoOptions.settingsPath = options.settingsPath;
  demoOptions.jobs = options.jobs;
  demoOptions.onLoadingPicture = [&session](const Texture& picture) {
    session.renderer->DrawLoadingPicture(picture);
    session.Present();
  };
  try {
    session.demo = Demo::Create(options.configPath, demoOptions);
    Demo& demo = *session.demo;
    session.music = OpenMusic(demo.config.musicFile.str(), clock, std::cerr);
    GlContextOptions window;
    window.title = kWindowTitle;
    window.width = static_cast<int>(demo.display.width);
    window.height = static_cast<int>(demo.display.height);
    window.depth = static_cast<int>(demo.display.depth);
    window.fullscreen = demo.display.FullscreenMode;
    window.acceptWindowed = [] { return AskYesNo(kWindowTitle, kFullscreenQuestion); };
    window.requireDisplay = true;
    try {
      session.gl = GlContext::Open(window);
    } catch (const WindowDeclined& declined) {
      ShowMessage("Error", declined.what(), MessageKind::Error);
      return 1;
    } catch (const GlContextError& error) {
      ExplainWindowFailure(error);
      return 1;
    }
    session.renderer =
        std::make_unique<FixedFunctionRenderer>(session.gl->procLookup(), window.width, window.height, demo.aspect);
    demo.AttachRenderer(*session.renderer);
    demo.LoadContent();
  } catch (const LoadError& error) {
    ShowMessage("Loading Error", error.what(), MessageKind::Error, session.gl ? session.gl->window() : nullptr);
    return 1;
  } catch (const std::bad_alloc&) {
    ShowMessage("Loading Error", "Out of memory", MessageKind::Error);
    return 1;
  }

  Demo& demo = *session.demo;
  FrameDrawer target(*session.renderer, demo.aspect);
  PlaybackClock playback(demo.script, clock, *session.music, target);
  if (options.start) {
    const PlaybackPosition from = FindPlaybackPosition(demo.script, *options.start);
    if (from.ended) std::cerr << "stagwerk: the demo is over before " << *options.start << " s\n";
    playback.StartPlayback(from);
  } else {
    playback.StartPlayback();
  }
  PlaybackStats stats(clock.Frequency());
  stats.Start(clock.Now());
  if (options.onPlaying) options.onPlaying();

  LoopState state;
  for (;;) {
    SDL_Event event;
    // Minimised, nothing is drawn: wait for the window's news instead of
    // spinning through empty passes.
    const bool got = state.active ? SDL_PollEvent(&event) != 0 : SDL_WaitEventTimeout(&event, 10) != 0;
    if (got) {
      Handle(event, state, *session.renderer);
      if (state.quit) break;
      continue;  // one event per pass, and no frame in a pass that had one
    }
    if (state.active) {
      const int64_t drawnBefore = target.framesDrawn();
      if (!playback.AdvanceFrame()) break;
      if (target.framesDrawn() != drawnBefore) stats.FrameShown(clock.Now());
    }
    if (state.escape) break;
    session.Present();
  }
  stats.Stop(clock.Now());
  if (options.stats) stats.Write(std::cerr);
  return 0;
}

}  // namespace stagwerk
