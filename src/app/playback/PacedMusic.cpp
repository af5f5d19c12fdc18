#include "app/playback/PacedMusic.h"

namespace stagwerk {

void PacedMusic::Seek(int64_t position) { current().Seek(position); }

void PacedMusic::Run() {
  current().Run();
  running_ = true;
}

int64_t PacedMusic::Position() { return current().Position(); }

void PacedMusic::Pause() {
  current().Pause();
  running_ = false;
}

void PacedMusic::Release() {
  standIn_.Release();
  soundtrack_->Release();
}

void PacedMusic::FallBackToSilence(const std::string& reason) { current().FallBackToSilence(reason); }

void PacedMusic::SpeedChanged(double speed) {
  const bool mute = speed != 1.0;
  if (mute == muted_) return;
  const int64_t position = Position();
  current().Pause();
  muted_ = mute;
  current().Seek(position);
  if (running_) current().Run();
}

}  // namespace stagwerk
