#pragma once
// The per-user display settings: Width, Height, Depth and Fullscreen as
// 32-bit values in a small "Name=value" file. Values stored there win over
// the configuration; missing or unreadable values are written from it.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace stagwerk {

struct DemoConfig;

struct DisplaySettings {
  int32_t width = 0;
  int32_t height = 0;
  int32_t depth = 0;
  bool FullscreenMode = true;
};

class SettingsStore {
 public:
  explicit SettingsStore(std::string path);

  // ${XDG_CONFIG_HOME:-$HOME/.config}/Brelinth/Stagwerk/Ombrisalte.conf.
  // Throws LoadError("Cannot use registry") when neither variable is set.
  static std::string DefaultPath();

  // Reads the file; a missing file is an empty store. Throws
  // LoadError("Cannot use registry") when it exists but cannot be read.
  void Open();
  // The stored 32-bit value, or nothing when absent or not a 32-bit decimal.
  std::optional<uint32_t> Query(const std::string& name) const;
  void Set(const std::string& name, uint32_t value);
  // Writes the file atomically (temporary file, then rename) when something
  // changed. Throws LoadError("Cannot use registry") on failure.
  void Close();

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  // Lines in file order; lines other than our values are kept as they were.
  std::vector<std::string> lines_;
  bool dirty_ = false;
};

// Resolves the four settings: for Fullscreen, Depth, Height, Width in this
// order, a stored value wins, else the configuration's is stored and used.
// With write false (a validation run) nothing is stored: missing values are
// taken from the configuration and the file is left as it is.
DisplaySettings ResolveDisplaySettings(const DemoConfig& config, SettingsStore& store, bool write = true);

}  // namespace stagwerk
