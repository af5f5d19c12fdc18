#pragma once
// Tracker modules (every format libopenmpt reads) rendered to float stereo.
// No SDL here: the music player feeds a device with it, the tests and the
// fuzzer call it directly.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace openmpt {
class module;
}

namespace stagwerk {

// True when the file's first bytes look like a module to libopenmpt, or its
// name ends in an extension libopenmpt reads (such a file that does not
// load is a broken module, not something for another player).
bool IsTrackerModule(const std::string& file);

class ModuleRenderer {
 public:
  // Throws std::runtime_error with the reason when libopenmpt refuses the bytes.
  explicit ModuleRenderer(const std::vector<uint8_t>& bytes);
  ~ModuleRenderer();
  ModuleRenderer(const ModuleRenderer&) = delete;
  ModuleRenderer& operator=(const ModuleRenderer&) = delete;

  // Plays on from exactly `seconds` of music time, through pattern loops and
  // jumps as the song plays them. Returns the time reached, which is
  // `seconds` unless the song ends first (then its length, and nothing
  // more is rendered until the next seek).
  double Seek(double seconds, int rate);
  // Interleaved stereo frames at `rate`; fewer than asked once the song ends.
  // Allocates nothing.
  std::size_t Render(float* stereo, std::size_t frames, int rate);

 private:
  std::unique_ptr<openmpt::module> module_;
  bool ended_ = false;
};

}  // namespace stagwerk
