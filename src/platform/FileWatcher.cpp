#include "platform/FileWatcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

namespace stagwerk {

namespace {

constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE;

bool EditorScratch(const std::string& name) {
  const auto endsWith = [&](const char* tail) {
    const std::size_t n = std::strlen(tail);
    return name.size() >= n && name.compare(name.size() - n, n, tail) == 0;
  };
  return name.empty() || name[0] == '.' || name[0] == '#' || endsWith("~") || endsWith(".swp") ||
         endsWith(".tmp");
}

}  // namespace

FileWatcher::FileWatcher(const std::vector<std::string>& trees, const std::vector<std::string>& flat) {
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) {
    std::cerr << "stagwerk: cannot watch files: " << std::strerror(errno) << "\n";
    return;
  }
  const auto add = [this](const std::string& folder) {
    for (const auto& [wd, known] : watches_) {
      if (known == folder) return;
    }
    const int wd = inotify_add_watch(fd_, folder.c_str(), kEvents);
    if (wd < 0) {
      std::cerr << "stagwerk: cannot watch " << folder << ": " << std::strerror(errno) << "\n";
      return;
    }
    watches_.emplace_back(wd, folder);
  };
  for (const std::string& folder : flat) add(folder);
  for (const std::string& folder : trees) {
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) continue;
    add(folder);
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      if (it->is_directory(error)) add(it->path().string());
    }
  }
}

FileWatcher::~FileWatcher() {
  if (fd_ >= 0) close(fd_);
}

std::vector<std::string> FileWatcher::Changed() {
  std::vector<std::string> changed;
  if (fd_ < 0) return changed;
  alignas(inotify_event) char buffer[8192];
  for (;;) {
    const ssize_t got = read(fd_, buffer, sizeof buffer);
    if (got <= 0) break;
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->len == 0 || (event->mask & IN_ISDIR) != 0) continue;
      const std::string name = event->name;
      if (EditorScratch(name)) continue;
      for (const auto& [wd, folder] : watches_) {
        if (wd == event->wd) changed.push_back((std::filesystem::path(folder) / name).string());
      }
    }
  }
  return changed;
}

}  // namespace stagwerk
