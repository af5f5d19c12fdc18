#include "platform/ModuleRenderer.h"

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <map>
#include <ostream>
#include <stdexcept>

namespace stagwerk {

namespace {

std::string LowerExtension(const std::string& file) {
  const std::size_t slash = file.find_last_of('/');
  const std::size_t dot = file.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = file.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

// libopenmpt's load messages are not ours to print: the reason a module
// fails comes with the exception.
std::ostream& Quiet() {
  static std::ostream discard(nullptr);
  return discard;
}

}  // namespace

bool IsTrackerModule(const std::string& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in) return false;  // the other player names the file's problem
  const auto size = static_cast<std::uint64_t>(in.tellg());
  std::vector<uint8_t> head(std::min<std::uint64_t>(size, openmpt::probe_file_header_get_recommended_size()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  try {
    if (!head.empty() &&
        openmpt::probe_file_header(openmpt::probe_file_header_flags_default2, head.data(), head.size(), size) ==
            openmpt::probe_file_header_result_success) {
      return true;
    }
  } catch (const std::exception&) {  // a file it cannot probe may still be one by name
  }
  const std::string extension = LowerExtension(file);
  if (extension.empty()) return false;
  const std::vector<std::string> known = openmpt::get_supported_extensions();
  return std::find(known.begin(), known.end(), extension) != known.end();
}

ModuleRenderer::ModuleRenderer(const std::vector<uint8_t>& bytes) {
  // Samples already ringing at a seek target are heard from where they got to.
  const std::map<std::string, std::string> ctls = {{"seek.sync_samples", "1"}};
  try {
    module_ = std::make_unique<openmpt::module>(bytes, Quiet(), ctls);
  } catch (const std::exception& error) {
    // Its usual word is only "error loading file"; anything more is worth passing on.
    const std::string detail = error.what();
    throw std::runtime_error(bytes.empty() ? "empty file, not a module"
                             : detail.empty() || detail == "error loading file"
                                 ? "not a module libopenmpt can read"
                                 : "not a module libopenmpt can read (" + detail + ")");
  }
  module_->set_repeat_count(0);  // the music is never looped
}

ModuleRenderer::~ModuleRenderer() = default;

double ModuleRenderer::Seek(double seconds, int rate) {
  seconds = std::max(0.0, seconds);
  // Past the end libopenmpt would land in whatever the order list holds
  // beyond it; the song is over there.
  const double length = module_->get_duration_seconds();
  ended_ = seconds >= length;
  if (ended_) return length;
  // libopenmpt lands on the start of a row, which may lie after the time
  // asked for: step back until a row starts at or before it, then play the
  // rest of the way without a sound.
  double reached = module_->set_position_seconds(seconds);
  for (double back = 0.01; reached > seconds; back *= 2.0) {
    reached = module_->set_position_seconds(std::max(0.0, seconds - back));
    if (seconds - back <= 0.0) break;
  }
  auto rest = static_cast<std::size_t>(std::llround(std::max(0.0, seconds - reached) * rate));
  std::vector<float> scratch(2 * 4096);
  while (rest > 0) {
    const std::size_t done = Render(scratch.data(), std::min<std::size_t>(rest, 4096), rate);
    if (done == 0) break;
    reached += static_cast<double>(done) / rate;
    rest -= done;
  }
  return rest == 0 ? seconds : reached;
}

std::size_t ModuleRenderer::Render(float* stereo, std::size_t frames, int rate) {
  return ended_ ? 0 : module_->read_interleaved_stereo(rate, frames, stereo);
}

}  // namespace stagwerk
