#include "platform/web/WebMusic.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "platform/Clock.h"

namespace stagwerk {

namespace {

// clang-format off
EM_JS(void, JsAudioDecode, (const char* path), {
  const audio = Module['stagwerkAudio'];
  let bytes;
  try {
    bytes = FS.readFile(UTF8ToString(path));
  } catch (e) {
    audio.fail('cannot read the file');
    return;
  }
  audio.decode(bytes, UTF8ToString(path));
});
EM_JS(int, JsAudioPlayable, (), { return Module['stagwerkAudio'].playable() ? 1 : 0; });
EM_JS(char*, JsAudioFailure, (), {
  const text = Module['stagwerkAudio'].failure || 'no sound';
  const size = lengthBytesUTF8(text) + 1;
  const out = _malloc(size);
  stringToUTF8(text, out, size);
  return out;
});
EM_JS(void, JsAudioSeek, (double seconds), { Module['stagwerkAudio'].seek(seconds); });
EM_JS(void, JsAudioRun, (), { Module['stagwerkAudio'].run(); });
EM_JS(double, JsAudioPosition, (), { return Module['stagwerkAudio'].position(); });
EM_JS(double, JsAudioDuration, (), { return Module['stagwerkAudio'].duration(); });
EM_JS(void, JsAudioPause, (), { Module['stagwerkAudio'].pause(); });
EM_JS(int, JsAudioStopped, (), { return Module['stagwerkAudio'].stopped ? 1 : 0; });
// clang-format on

// A twentieth of a second: more than the gap between two animation frames.
constexpr int64_t kMaxCarry = static_cast<int64_t>(kMusicUnitsPerSecond) / 20;

}  // namespace

void WebMusic::Seek(int64_t position) {
  if (silence_) return silent_.Seek(position);
  JsAudioSeek(static_cast<double>(position) / kMusicUnitsPerSecond);
  lastAudio_ = -1;
  lastReported_ = position;
}

void WebMusic::Run() {
  if (silence_) return silent_.Run();
  JsAudioRun();
  running_ = true;
  lastAudio_ = -1;
}

int64_t WebMusic::Position() {
  if (silence_) return silent_.Position();
  if (JsAudioStopped()) {
    // The module player failed while playing: silence from where it was.
    char* failure = JsAudioFailure();
    const std::string reason = failure;
    std::free(failure);
    GoSilent(reason, lastReported_, running_);
    return silent_.Position();
  }
  const int64_t audio = MusicUnits(JsAudioPosition());
  if (!running_) return audio;  // held: exactly where the audio stopped
  const int64_t now = clock_.Now();
  if (audio != lastAudio_) {
    lastAudio_ = audio;
    lastAudioTick_ = now;
  }
  const double carried = static_cast<double>(now - lastAudioTick_) * kMusicUnitsPerSecond /
                         static_cast<double>(clock_.Frequency());
  int64_t position = lastAudio_ + std::min(kMaxCarry, static_cast<int64_t>(carried));
  position = std::min(position, std::max(lastAudio_, MusicUnits(JsAudioDuration())));
  lastReported_ = std::max(lastReported_, position);
  return lastReported_;
}

void WebMusic::Pause() {
  if (silence_) return silent_.Pause();
  JsAudioPause();
  running_ = false;
  lastAudio_ = -1;
  lastReported_ = MusicUnits(JsAudioPosition());
}

void WebMusic::Release() {
  if (silence_) return silent_.Release();
  JsAudioPause();
  running_ = false;
}

void WebMusic::FallBackToSilence(const std::string& reason) {
  if (silence_) return;
  GoSilent(reason, Position(), true);
}

void WebMusic::GoSilent(const std::string& reason, int64_t at, bool running) {
  if (silence_) return;
  JsAudioPause();
  running_ = false;
  std::cerr << "stagwerk: music " << file_ << ": " << reason << "; playing without sound\n";
  silence_ = true;
  silent_.Seek(at);
  if (running) silent_.Run();
}

void DecodeWebMusic(const std::string& file) { JsAudioDecode(file.c_str()); }

std::unique_ptr<MusicPlayer> OpenWebMusic(const std::string& file, Clock& clock) {
  if (JsAudioPlayable()) return std::make_unique<WebMusic>(file, clock);
  char* failure = JsAudioFailure();
  std::cerr << "stagwerk: music " << file << ": " << failure << "; playing without sound\n";
  std::free(failure);
  return std::make_unique<SilentMusic>(clock);
}

}  // namespace stagwerk
