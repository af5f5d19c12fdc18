#include "platform/ModuleMusic.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "platform/ModuleRenderer.h"

namespace stagwerk {

namespace {

constexpr int kRate = 48000;  // libopenmpt's own choice; the device may give another
constexpr int kBufferFrames = 1024;

class ModuleMusic final : public MusicPlayer {
 public:
  ModuleMusic(std::string file, Clock& clock, std::ostream& warnings)
      : file_(std::move(file)), clock_(clock), warnings_(warnings) {
    std::string reason;
    if (!Open(reason)) GoSilent(reason, 0, false);
  }
  ~ModuleMusic() override { Release(); }
  ModuleMusic(const ModuleMusic&) = delete;
  ModuleMusic& operator=(const ModuleMusic&) = delete;

  void Seek(int64_t position) override {
    if (silent_) return silent_->Seek(position);
    if (device_ == 0) return;
    SDL_LockAudioDevice(device_);
    module_->Seek(static_cast<double>(position) / kMusicUnitsPerSecond, rate_);
    base_ = position;
    frames_ = 0;
    tail_ = 0;
    ended_ = false;
    SDL_UnlockAudioDevice(device_);
  }

  void Run() override {
    if (silent_) return silent_->Run();
    if (device_ == 0) return;
    SDL_LockAudioDevice(device_);
    playing_ = true;
    SDL_UnlockAudioDevice(device_);
    SDL_PauseAudioDevice(device_, 0);
  }

  int64_t Position() override {
    if (silent_) return silent_->Position();
    const int64_t heard = std::max<int64_t>(0, frames_.load(std::memory_order_relaxed) - latency_);
    return base_ + heard * static_cast<int64_t>(kMusicUnitsPerSecond) / rate_;
  }

  void Pause() override {
    if (silent_) return silent_->Pause();
    if (device_ == 0) return;
    // Under the device's lock: no buffer is counted after this returns.
    SDL_LockAudioDevice(device_);
    playing_ = false;
    SDL_UnlockAudioDevice(device_);
  }

  void Release() override {
    if (silent_) return silent_->Release();
    base_ = Position();
    frames_ = 0;
    Close();
  }

  void FallBackToSilence(const std::string& reason) override {
    if (silent_) return;
    const bool running = device_ != 0 && playing_;
    GoSilent(reason, Position(), running);
  }

 private:
  bool Open(std::string& reason) {
    std::ifstream in(file_, std::ios::binary | std::ios::ate);
    std::vector<uint8_t> bytes(in ? static_cast<std::size_t>(in.tellg()) : 0);
    in.seekg(0);
    if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
      reason = "cannot be read";
      return false;
    }
    try {
      module_.emplace(bytes);
    } catch (const std::runtime_error& error) {
      reason = error.what();
      return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      reason = std::string("no audio device: ") + SDL_GetError();
      Close();
      return false;
    }
    audioInit_ = true;
    SDL_AudioSpec want{};
    want.freq = kRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kBufferFrames;
    want.callback = &ModuleMusic::Fill;
    want.userdata = this;
    SDL_AudioSpec have{};
    // SDL converts the format and channels; the rate and buffer are the
    // device's, and the module is rendered at that rate.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have,
                                  SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (device_ == 0) {
      reason = std::string("no audio device: ") + SDL_GetError();
      Close();
      return false;
    }
    rate_ = std::clamp(have.freq, 8000, 192000);  // libopenmpt's range
    latency_ = have.samples > 0 ? have.samples : kBufferFrames;
    return true;
  }

  // On the audio thread, under the device's lock.
  static void SDLCALL Fill(void* self, Uint8* stream, int length) {
    auto& music = *static_cast<ModuleMusic*>(self);
    auto* out = reinterpret_cast<float*>(stream);
    const auto frames = static_cast<std::size_t>(length) / (2 * sizeof(float));
    std::size_t done = 0;
    if (music.playing_ && !music.ended_) {
      try {
        done = music.module_->Render(out, frames, music.rate_);
      } catch (...) {
        done = 0;
      }
      if (done < frames) music.ended_ = true;
    }
    std::memset(out + 2 * done, 0, (frames - done) * 2 * sizeof(float));
    if (!music.playing_) return;
    // After the end, count the silence until the last buffer has been heard,
    // so the position comes to rest at the song's end.
    int64_t counted = static_cast<int64_t>(done);
    if (music.ended_) {
      const int64_t pad = std::min<int64_t>(static_cast<int64_t>(frames - done), music.latency_ - music.tail_);
      music.tail_ += pad;
      counted += pad;
    }
    music.frames_.fetch_add(counted, std::memory_order_relaxed);
  }

  void Close() {
    if (device_ != 0) {
      SDL_CloseAudioDevice(device_);  // waits for the callback to return
      device_ = 0;
    }
    if (audioInit_) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      audioInit_ = false;
    }
    module_.reset();
    playing_ = false;
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
  std::optional<ModuleRenderer> module_;
  bool audioInit_ = false;
  SDL_AudioDeviceID device_ = 0;
  int rate_ = kRate;
  int64_t latency_ = kBufferFrames;  // frames handed to the device but not yet heard
  int64_t base_ = 0;                 // position of the frame counting's start
  std::atomic<int64_t> frames_{0};   // frames handed since, and silence after the end
  // Shared with the callback under the device's lock.
  bool playing_ = false;
  bool ended_ = false;
  int64_t tail_ = 0;
  std::optional<SilentMusic> silent_;
};

}  // namespace

std::unique_ptr<MusicPlayer> OpenModuleMusic(const std::string& file, Clock& clock, std::ostream& warnings) {
  return std::make_unique<ModuleMusic>(file, clock, warnings);
}

}  // namespace stagwerk
