#include "platform/MusicPlayer.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <ostream>

#include "platform/Clock.h"
#include "platform/ModuleMusic.h"
#include "platform/ModuleRenderer.h"

namespace stagwerk {

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kChunkFrames = 1024;

// One music file on SDL2_mixer. The position is counted from the sample
// frames the mixer has handed to the device while the music played: every
// format SDL_mixer plays then has a position in the same units, and it
// stops advancing when the music ends or is paused.
class SdlMusicPlayer final : public MusicPlayer {
 public:
  SdlMusicPlayer(std::string file, Clock& clock, std::ostream& warnings)
      : file_(std::move(file)), clock_(clock), warnings_(warnings) {
    std::string reason;
    if (!Open(reason)) GoSilent(reason, 0, false);
  }
  ~SdlMusicPlayer() override { Release(); }
  SdlMusicPlayer(const SdlMusicPlayer&) = delete;
  SdlMusicPlayer& operator=(const SdlMusicPlayer&) = delete;

  void Seek(int64_t position) override {
    if (silent_) return silent_->Seek(position);
    if (started_) {
      if (Mix_SetMusicPosition(static_cast<double>(position) / kMusicUnitsPerSecond) == 0) {
        base_ = position;
        frames_ = 0;
      }
      return;
    }
    base_ = position;
  }

  void Run() override {
    if (silent_) return silent_->Run();
    if (started_) {
      Mix_ResumeMusic();
      paused_ = false;
      return;
    }
    frames_ = 0;
    const double seconds = static_cast<double>(base_) / kMusicUnitsPerSecond;
    const int result = base_ > 0 ? Mix_FadeInMusicPos(music_, 1, 0, seconds) : Mix_PlayMusic(music_, 1);
    if (result != 0) {
      const std::string reason = base_ > 0 ? "cannot start at " + std::to_string(seconds) + " s: " + Mix_GetError()
                                           : std::string("cannot play: ") + Mix_GetError();
      GoSilent(reason, base_, true);
      return;
    }
    started_ = true;
  }

  int64_t Position() override {
    if (silent_) return silent_->Position();
    const int64_t frames = frames_.load(std::memory_order_relaxed);
    return base_ + frames * static_cast<int64_t>(kMusicUnitsPerSecond) / rate_;
  }

  void Pause() override {
    if (silent_) return silent_->Pause();
    if (started_) Mix_PauseMusic();
    paused_ = started_;
  }

  void Release() override {
    if (silent_) return silent_->Release();
    base_ = Position();
    frames_ = 0;
    Close();
  }

  void FallBackToSilence(const std::string& reason) override {
    if (silent_) return;
    const int64_t position = Position();
    GoSilent(reason, position, started_ && !paused_);
  }

 private:
  bool Open(std::string& reason) {
    // Say plainly when the file itself is the problem.
    if (std::FILE* probe = std::fopen(file_.c_str(), "rb")) {
      std::fclose(probe);
    } else {
      reason = std::strerror(errno);
      return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      reason = std::string("no audio device: ") + SDL_GetError();
      return false;
    }
    audioInit_ = true;
    Mix_Init(MIX_INIT_OGG | MIX_INIT_MP3 | MIX_INIT_FLAC | MIX_INIT_MOD | MIX_INIT_OPUS | MIX_INIT_MID);
    mixInit_ = true;
    if (Mix_OpenAudio(kRate, MIX_DEFAULT_FORMAT, kChannels, kChunkFrames) != 0) {
      reason = std::string("no audio device: ") + Mix_GetError();
      Close();
      return false;
    }
    mixerOpen_ = true;
    int rate = 0;
    Uint16 format = 0;
    int channels = 0;
    Mix_QuerySpec(&rate, &format, &channels);
    rate_ = rate > 0 ? rate : kRate;
    frameBytes_ = (SDL_AUDIO_BITSIZE(format) / 8) * (channels > 0 ? channels : 1);
    if (frameBytes_ <= 0) frameBytes_ = 4;
    music_ = Mix_LoadMUS(file_.c_str());
    if (music_ == nullptr) {
      reason = Mix_GetError();
      if (reason.empty()) reason = "not a music file SDL_mixer can play";
      Close();
      return false;
    }
    Mix_SetPostMix(&SdlMusicPlayer::CountFrames, this);
    return true;
  }

  // Called on the audio thread after each buffer is mixed.
  static void SDLCALL CountFrames(void* self, Uint8*, int length) {
    auto& player = *static_cast<SdlMusicPlayer*>(self);
    if (Mix_PlayingMusic() && !Mix_PausedMusic()) {
      player.frames_.fetch_add(length / player.frameBytes_, std::memory_order_relaxed);
    }
  }

  void Close() {
    if (mixerOpen_) {
      Mix_HaltMusic();
      Mix_SetPostMix(nullptr, nullptr);
      if (music_ != nullptr) Mix_FreeMusic(music_);
      music_ = nullptr;
      Mix_CloseAudio();
      mixerOpen_ = false;
    }
    if (mixInit_) {
      Mix_Quit();
      mixInit_ = false;
    }
    if (audioInit_) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      audioInit_ = false;
    }
    started_ = false;
    paused_ = false;
  }

  void GoSilent(const std::string& reason, int64_t position, bool running) {
    Close();
    warnings_ << "stagwerk: music " << file_ << ": " << reason << "; playing without sound\n";
    warnings_.flush();
    silent_.emplace(clock_);
    silent_->Seek(position);
    if (running) silent_->Run();
  }

  std::string file_;
  Clock& clock_;
  std::ostream& warnings_;
  bool audioInit_ = false;
  bool mixInit_ = false;
  bool mixerOpen_ = false;
  bool started_ = false;
  bool paused_ = false;
  Mix_Music* music_ = nullptr;
  int rate_ = kRate;
  int frameBytes_ = 4;
  int64_t base_ = 0;
  std::atomic<int64_t> frames_{0};
  std::optional<SilentMusic> silent_;
};

}  // namespace

std::unique_ptr<MusicPlayer> OpenMusic(const std::string& file, Clock& clock, std::ostream& warnings) {
  if (IsTrackerModule(file)) return OpenModuleMusic(file, clock, warnings);
  return std::make_unique<SdlMusicPlayer>(file, clock, warnings);
}

}  // namespace stagwerk
