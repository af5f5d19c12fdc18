#include "app/loading/SettingsStore.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/LoadError.h"
#include "script/DemoConfig.h"

namespace stagwerk {

namespace {

const char kCannotUse[] = "Cannot use registry";

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// "Name=value" split; false for lines of another shape.
bool SplitLine(std::string_view line, std::string_view* name, std::string_view* value) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  *name = Trim(line.substr(0, eq));
  *value = Trim(line.substr(eq + 1));
  return true;
}

// A 32-bit value written in decimal, signed or unsigned.
std::optional<uint32_t> ParseValue(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data() + (text.front() == '+' ? 1 : 0), end, value);
  if (ec != std::errc() || ptr != end || value < INT32_MIN || value > int64_t{UINT32_MAX}) return std::nullopt;
  return static_cast<uint32_t>(value);
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

SettingsStore::SettingsStore(std::string path) : path_(std::move(path)) {}

std::string SettingsStore::DefaultPath() {
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (xdg != nullptr && *xdg != '\0') {
    base = xdg;
  } else if (home != nullptr && *home != '\0') {
    base = std::string(home) + "/.config";
  } else {
    throw LoadError(kCannotUse);
  }
  return base + "/Brelinth/Stagwerk/Ombrisalte.conf";
}

void SettingsStore::Open() {
  lines_.clear();
  dirty_ = false;
  std::error_code ec;
  const auto status = std::filesystem::status(path_, ec);
  if (status.type() == std::filesystem::file_type::not_found) return;
  if (status.type() != std::filesystem::file_type::regular) throw LoadError(kCannotUse);
  std::ifstream in(path_, std::ios::binary);
  if (!in) throw LoadError(kCannotUse);
  std::string line;
  while (std::getline(in, line)) lines_.push_back(line);
  if (in.bad()) throw LoadError(kCannotUse);
}

std::optional<uint32_t> SettingsStore::Query(const std::string& name) const {
  // The last line of a name counts, as a later write would.
  std::optional<uint32_t> result;
  bool seen = false;
  for (const std::string& line : lines_) {
    std::string_view key, value;
    if (SplitLine(line, &key, &value) && key == name) {
      result = ParseValue(value);
      seen = true;
    }
  }
  return seen ? result : std::nullopt;
}

void SettingsStore::Set(const std::string& name, uint32_t value) {
  const std::string line = name + "=" + std::to_string(static_cast<int32_t>(value));
  // Replace every line of that name so no stale duplicate survives.
  bool replaced = false;
  std::vector<std::string> kept;
  for (const std::string& existing : lines_) {
    std::string_view key, text;
    if (SplitLine(existing, &key, &text) && key == name) {
      if (!replaced) kept.push_back(line);
      replaced = true;
    } else {
      kept.push_back(existing);
    }
  }
  if (!replaced) kept.push_back(line);
  lines_ = std::move(kept);
  dirty_ = true;
}

void SettingsStore::Close() {
  if (!dirty_) return;
  std::error_code ec;
  const std::filesystem::path target(path_);
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
  if (ec) throw LoadError(kCannotUse);

  std::string data;
  for (const std::string& line : lines_) data += line + "\n";
  const std::string temporary = path_ + ".tmp." + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw LoadError(kCannotUse);
  const bool written = WriteAll(fd, data) && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), path_.c_str()) != 0) {
    ::unlink(temporary.c_str());
    throw LoadError(kCannotUse);
  }
  dirty_ = false;
}

DisplaySettings ResolveDisplaySettings(const DemoConfig& config, SettingsStore& store, bool write) {
  DisplaySettings settings;
  settings.FullscreenMode = config.FullscreenMode();
  store.Open();
  auto resolve = [&store, write](const char* name, uint32_t configured) {
    if (std::optional<uint32_t> stored = store.Query(name)) return *stored;
    if (write) store.Set(name, configured);
    return configured;
  };
  settings.FullscreenMode = resolve("Fullscreen", settings.FullscreenMode ? 1u : 0u) != 0;
  settings.depth = static_cast<int32_t>(resolve("Depth", static_cast<uint32_t>(config.depth)));
  settings.height = static_cast<int32_t>(resolve("Height", static_cast<uint32_t>(config.height)));
  settings.width = static_cast<int32_t>(resolve("Width", static_cast<uint32_t>(config.width)));
  store.Close();
  return settings;
}

}  // namespace stagwerk
