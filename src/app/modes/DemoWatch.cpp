#include "app/modes/DemoWatch.h"

#include <filesystem>
#include <utility>

#include "app/loading/Demo.h"

namespace stagwerk {

namespace {

std::string FolderOf(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

std::string Canonical(const std::string& path) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::weakly_canonical(path, error);
  return error ? path : full.string();
}

}  // namespace

DemoWatch::DemoWatch(const std::string& configPath, const Demo& demo)
    : watcher_({demo.directories.rootDir}, {FolderOf(configPath)}), music_(Canonical(demo.config.musicFile.str())) {}

bool DemoWatch::Due() {
  const auto now = std::chrono::steady_clock::now();
  for (const std::string& path : watcher_.Changed()) {
    pending_ = true;
    last_ = now;
    saved_ = path;
    if (Canonical(path) == music_) musicChanged_ = true;
  }
  if (!pending_ || now - last_ < kQuiet) return false;
  pending_ = false;
  return true;
}

bool DemoWatch::TakeMusicChanged() { return std::exchange(musicChanged_, false); }

}  // namespace stagwerk
