#include "app/modes/Player.h"

#include <SDL2/SDL.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <utility>

#include "base/LoadError.h"
#include "app/loading/Demo.h"
#include "app/modes/DemoWatch.h"
#include "app/playback/FrameDrawer.h"
#include "app/playback/PacedMusic.h"
#include "app/playback/PlaybackClock.h"
#include "app/playback/PlaybackControls.h"
#include "app/playback/PlayingDemo.h"
#include "app/playback/PlaybackStats.h"
#include "app/playback/PlaybackOverlay.h"
#include "app/modes/PlayerKeys.h"
#include "app/modes/OpenAndLoad.h"
#include "app/modes/SyncEditor.h"
#include "app/loading/SceneHint.h"
#include "app/playback/ScaledClock.h"
#include "frame/Overlay.h"
#include "gl/FixedFunction.h"
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
  std::unique_ptr<Renderer> renderer;
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
  bool overlay = false;
  bool dragging = false;  // the seek bar, with the left button held
  bool keyCamera = false;  // K, for the sync editor
  std::string message;    // the last warning, for the overlay
};

// A click or drag on the overlay's seek bar: the music time under the mouse.
void SeekFromBar(int x, GlContext& gl, PlaybackControls& controls) {
  int width = 0, height = 0;
  SDL_GetWindowSize(gl.window(), &width, &height);
  if (width > 0 && controls.demoEnd()) {
    controls.SeekToMusicTime(*controls.demoEnd() * static_cast<double>(x) / static_cast<double>(width));
  }
}

void HandleMouse(const SDL_Event& event, LoopState& state, PlaybackControls& controls, GlContext& gl) {
  if (event.type == SDL_MOUSEBUTTONUP && event.button.button == SDL_BUTTON_LEFT) state.dragging = false;
  if (!state.overlay) return;
  if (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_LEFT) {
    int width = 0, height = 0;
    SDL_GetWindowSize(gl.window(), &width, &height);
    if (event.button.y >= height - kSeekBarHeight) {
      state.dragging = true;
      SeekFromBar(event.button.x, gl, controls);
    }
  } else if (event.type == SDL_MOUSEMOTION && state.dragging) {
    SeekFromBar(event.motion.x, gl, controls);
  }
}

void Tell(const std::string& message, std::string& shown) {
  shown = message;
  std::cerr << "stagwerk: " << message << "\n";
}

// The markers beside the demo's script; lines it cannot read are said and
// skipped.
void UseMarkers(const Demo& demo, PlaybackControls& controls, std::string& message) {
  const std::string folder = demo.ScriptFolder();
  for (const std::string& problem : controls.UseMarkersFile(folder + "/" + kMarkersFile)) Tell(problem, message);
}

void HandleKey(const SDL_KeyboardEvent& key, LoopState& state, PlaybackControls& controls, GlContext& gl) {
  const KeyAction action = ActionFor(key);
  if (action.playback) {
    controls.Apply(*action.playback);
    if (const std::string said = controls.TakeMessage(); !said.empty()) Tell(said, state.message);
  }
  if (action.window == WindowCommand::ToggleOverlay) state.overlay = !state.overlay;
  if (action.window == WindowCommand::KeyCamera) state.keyCamera = true;
  if (action.window == WindowCommand::ToggleFullscreen && !gl.SetFullscreen(!gl.fullscreen())) {
    state.message = std::string("cannot switch to ") + (gl.fullscreen() ? "a window" : "full screen") + ": " +
                    SDL_GetError();
    std::cerr << "stagwerk: " << state.message << "\n";
  }
}

// One event: the window's messages as the player knows them.
void Handle(const SDL_Event& event, LoopState& state, Renderer& renderer, PlaybackControls& controls,
            GlContext& gl) {
  switch (event.type) {
    case SDL_QUIT: state.quit = true; break;
    case SDL_KEYDOWN:
      if (event.key.keysym.scancode == SDL_SCANCODE_ESCAPE) state.escape = true;
      else HandleKey(event.key, state, controls, gl);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEMOTION: HandleMouse(event, state, controls, gl); break;
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

// Loads the demo again beside the one playing; only once it loaded
// completely does it take over, at the same music time, held or looping as
// before. Textures whose files are unchanged are taken over as they are, so
// only a saved texture is decoded and uploaded again; one that fails keeps
// its old picture and is reported. Script, scenes and meshes are read anew:
// they are quick to read, and objects, parents, morph targets and the frame
// builder's copies all point into one another. Any other file that fails
// keeps the old demo on screen and says why.
bool Reload(const PlayerOptions& options, Session& session, std::unique_ptr<Playing>& playing,
            ScaledClock& counter, PacedMusic& music, Clock& clock, bool musicChanged, const std::string& saved,
            SyncEditor* editor, std::string& message) {
  const auto begin = std::chrono::steady_clock::now();
  std::unique_ptr<Demo> fresh;
  try {
    DemoOptions demoOptions;
    demoOptions.validationRun = true;  // the settings were written at the start
    demoOptions.settingsPath = options.settingsPath;
    demoOptions.jobs = options.jobs;
    fresh = Demo::Create(options.configPath, demoOptions);
    fresh->AttachRenderer(*session.renderer);
    fresh->textures.TakeOverFrom(session.demo->textures);
    fresh->LoadContent();
    fresh->sync.rowsPerSecond = options.syncRows;
  } catch (const LoadError& error) {
    message = "reload after saving " + saved + " failed, still playing the old: " + error.what();
    std::cerr << "stagwerk: " << message << "\n";
    return false;
  } catch (const std::bad_alloc&) {
    message = "reload after saving " + saved + " failed, still playing the old: Out of memory";
    std::cerr << "stagwerk: " << message << "\n";
    return false;
  }
  fresh->textures.Adopt();
  const double at = playing->playback.MusicTime();
  const PlaybackControls& before = playing->controls;
  const bool paused = before.paused();
  const std::optional<double> loopIn = before.loopIn(), loopOut = before.loopOut();
  playing.reset();
  if (musicChanged || fresh->config.musicFile.str() != session.demo->config.musicFile.str()) {
    // One music stream at a time: the old goes before the new opens.
    session.music->Release();
    session.music.reset();
    session.music = OpenMusic(fresh->config.musicFile.str(), clock, std::cerr);
    music.SetSoundtrack(*session.music);
  }
  session.demo = std::move(fresh);
  playing = std::make_unique<Playing>(*session.demo, *session.renderer, counter, music);
  if (editor != nullptr) {
    editor->Rebind(session.demo->sync);
    playing->target.UseSync(editor->feed());
  }
  playing->controls.Restore(paused, loopIn, loopOut);
  std::string markersSaid;
  UseMarkers(*session.demo, playing->controls, markersSaid);
  playing->controls.SeekToMusicTime(at);
  char line[96];
  std::snprintf(line, sizeof line, " in %.2f s, at %.3f s",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count(), at);
  message = "reloaded after saving " + saved + line;
  for (const std::string& failure : session.demo->textures.keptOld()) {
    message += "; " + failure + ", still showing the old picture";
  }
  if (!markersSaid.empty()) message += "; " + markersSaid;
  std::cerr << "stagwerk: " << message << "\n";
  return true;
}

// The window from the display settings, then the renderer in it.
Renderer& OpenWindow(const PlayerOptions& options, Session& session) {
  const Demo& demo = *session.demo;
  GlContextOptions window;
  window.title = kWindowTitle;
  window.width = static_cast<int>(demo.display.width);
  window.height = static_cast<int>(demo.display.height);
  window.depth = static_cast<int>(demo.display.depth);
  window.fullscreen = demo.display.FullscreenMode;
  window.acceptWindowed = [] { return AskYesNo(kWindowTitle, kFullscreenQuestion); };
  window.requireDisplay = true;
  window.coreProfile = options.renderer == RendererKind::Shader;
  session.gl = GlContext::Open(window);
  session.renderer =
      MakeRenderer(options.renderer, session.gl->procLookup(), window.width, window.height, demo.aspect);
  return *session.renderer;
}

// Configuration, music, window and content, with every failure shown as
// the player shows it. True once the demo is ready to play.
bool Load(const PlayerOptions& options, Clock& clock, Session& session) {
  DemoOptions demoOptions;
  demoOptions.settingsPath = options.settingsPath;
  demoOptions.jobs = options.jobs;
  demoOptions.onLoadingPicture = [&session](const Texture& picture) {
    session.renderer->DrawLoadingPicture(picture);
    session.Present();
  };
  try {
    session.demo = Demo::Create(options.configPath, demoOptions);
    session.music = OpenMusic(session.demo->config.musicFile.str(), clock, std::cerr);
    OpenAndLoad(*session.demo, options.renderer, [&]() -> Renderer& { return OpenWindow(options, session); });
    session.demo->sync.rowsPerSecond = options.syncRows;
    return true;
  } catch (const WindowDeclined& declined) {
    ShowMessage("Error", declined.what(), MessageKind::Error);
  } catch (const GlContextError& error) {
    ExplainWindowFailure(error);
  } catch (const LoadError& error) {
    ShowMessage("Loading Error", error.what(), MessageKind::Error, session.gl ? session.gl->window() : nullptr);
    if (const std::string hint = SceneHint(error.what()); !hint.empty()) std::cerr << hint << "\n";
  } catch (const std::bad_alloc&) {
    ShowMessage("Loading Error", "Out of memory", MessageKind::Error);
  }
  return false;
}

void StartPlaying(const PlayerOptions& options, const DemoScript& script, PlaybackClock& playback) {
  if (!options.start) {
    playback.StartPlayback();
    return;
  }
  const PlaybackPosition from = FindPlaybackPosition(script, *options.start);
  if (from.ended) std::cerr << "stagwerk: the demo is over before " << *options.start << " s\n";
  playback.StartPlayback(from);
}

// The main loop, from the first frame to Escape, closing the window or the
// demo's end (with --hold, the end is held instead).
class MainLoop {
 public:
  MainLoop(const PlayerOptions& options, Clock& clock, Session& session, std::unique_ptr<SyncEditor> editor)
      : options_(options),
        clock_(clock),
        session_(session),
        counter_(clock),
        music_(*session.music, counter_),
        playing_(std::make_unique<Playing>(*session.demo, *session.renderer, counter_, music_)),
        stats_(clock.Frequency()),
        meter_(clock.Frequency()),
        editor_(std::move(editor)) {
    if (editor_) playing_->target.UseSync(editor_->feed());
  }

  void Run() {
    UseMarkers(*session_.demo, playing_->controls, state_.message);
    StartPlaying(options_, session_.demo->script, playing_->playback);
    stats_.Start(clock_.Now());
    if (options_.onPlaying) options_.onPlaying();
    if (options_.watch) watch_ = std::make_unique<DemoWatch>(options_.configPath, *session_.demo);
    while (Pass()) {
    }
    // Leaving with the editor there keeps what was edited.
    if (editor_ && editor_->connected()) Tell(editor_->Save(), state_.message);
    stats_.Stop(clock_.Now());
    if (options_.stats) stats_.Write(std::cerr);
  }

 private:
  // One pass: an event, a reload or a frame. False once the loop is over.
  bool Pass() {
    PlaybackControls& controls = playing_->controls;
    // The editor first: a pause it sends holds this very pass.
    if (editor_) {
      if (const std::string said = editor_->Poll(playing_->playback, controls); !said.empty()) Tell(said, state_.message);
    }
    SDL_Event event;
    // Minimised or held, nothing new is drawn: wait for the window's news
    // instead of spinning through empty passes.
    const bool active = state_.active && !controls.paused();
    const bool got = active ? SDL_PollEvent(&event) != 0 : SDL_WaitEventTimeout(&event, 10) != 0;
    if (got) {
      Handle(event, state_, *session_.renderer, controls, *session_.gl);
      if (state_.quit) return false;
      if (std::exchange(state_.keyCamera, false)) KeyCamera();
      TellTest(true);
      return true;  // one event per pass, and no frame in a pass that had one
    }
    if (watch_ && watch_->Due()) {
      if (Reload(options_, session_, playing_, counter_, music_, clock_, watch_->TakeMusicChanged(), watch_->saved(),
                 editor_.get(), state_.message)) {
        ++reloads_;
      }
      return true;
    }
    if (active && !DrawFrame()) return false;
    if (state_.escape) return false;
    Show();
    return true;
  }

  // False when the demo has ended, unless it is held there.
  bool DrawFrame() {
    const int64_t drawnBefore = playing_->target.framesDrawn();
    if (!playing_->playback.AdvanceFrame()) {
      if (!options_.hold) return false;
      playing_->controls.HoldAtEnd();
      return true;
    }
    if (playing_->target.framesDrawn() != drawnBefore) {
      stats_.FrameShown(clock_.Now());
      meter_.FrameShown(clock_.Now());
      if (editor_ && !playing_->controls.paused()) editor_->FrameShown(playing_->target.lastMusicTime());
    }
    playing_->controls.KeepLoop();
    return true;
  }

  void KeyCamera() {
    if (!editor_) {
      Tell("K keys the camera into a sync editor: play with --sync", state_.message);
      return;
    }
    Tell(editor_->KeyCamera(playing_->playback, playing_->target.lastMusicTime()), state_.message);
  }

  void Show() {
    session_.renderer->PresentToWindow();
    if (state_.overlay) {
      const int64_t now = clock_.Now();
      session_.renderer->DrawOverlay(DescribePlayback(playing_->playback, ShownControls(playing_->controls),
                                                      meter_.Fps(now), meter_.MeanFrameSeconds(now), state_.message));
    }
    TellTest(false);
    session_.gl->Swap();
  }

  void TellTest(bool handledEvent) {
    if (!options_.onPass) return;
    PlayerPass pass{session_.demo->script, playing_->playback, playing_->controls, *session_.renderer,
                    state_.overlay,        handledEvent,       state_.message,     reloads_,
                    playing_->target.lastFrame()};
    options_.onPass(pass);
  }

  const PlayerOptions& options_;
  Clock& clock_;
  Session& session_;
  // Playback runs on a counter and music the author's keys can hold, seek
  // and speed up; untouched, both are the real ones.
  ScaledClock counter_;
  PacedMusic music_;
  std::unique_ptr<Playing> playing_;
  PlaybackStats stats_;
  FrameRateMeter meter_;
  std::unique_ptr<DemoWatch> watch_;
  std::unique_ptr<SyncEditor> editor_;
  int reloads_ = 0;
  LoopState state_;
};

}  // namespace

int RunPlayer(const PlayerOptions& options) {
  SdlClock sdlClock;
  Clock& clock = options.clock != nullptr ? *options.clock : sdlClock;
  Session session;
  if (!Load(options, clock, session)) return 1;
  std::unique_ptr<SyncEditor> editor;
  if (options.sync) {
    try {
      editor = std::make_unique<SyncEditor>(*options.sync, session.demo->sync);
    } catch (const LoadError& error) {
      std::cerr << "stagwerk: " << error.what() << "\n";
      return 1;
    }
  }
  MainLoop(options, clock, session, std::move(editor)).Run();
  return 0;
}

}  // namespace stagwerk
