#include "app/loading/InstalledDemo.h"

#include <cstdlib>
#include <system_error>
#include <vector>

#include "app/loading/Demo.h"

namespace stagwerk {

namespace {

bool Set(const char* value) { return value != nullptr && value[0] != '\0'; }

std::vector<std::filesystem::path> XdgDataDirectories(const char* dataHome, const char* dataDirs, const char* home) {
  std::vector<std::filesystem::path> dirs;
  if (Set(dataHome)) {
    dirs.emplace_back(dataHome);
  } else if (Set(home)) {
    dirs.push_back(std::filesystem::path(home) / ".local/share");
  }
  const std::string list = Set(dataDirs) ? dataDirs : "/usr/local/share:/usr/share";
  std::size_t from = 0;
  while (from <= list.size()) {
    const std::size_t colon = std::min(list.find(':', from), list.size());
    if (colon > from) dirs.emplace_back(list.substr(from, colon - from));
    from = colon + 1;
  }
  return dirs;
}

}  // namespace

std::optional<std::filesystem::path> FindInstalledDemo(const char* dataHome, const char* dataDirs, const char* home) {
  for (const std::filesystem::path& dir : XdgDataDirectories(dataHome, dataDirs, home)) {
    if (!dir.is_absolute()) continue;
    const std::filesystem::path config = dir / "stagwerk/demo" / kDefaultConfigFile;
    std::error_code error;
    if (std::filesystem::is_regular_file(config, error)) return config;
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> FindInstalledDemo() {
  return FindInstalledDemo(std::getenv("XDG_DATA_HOME"), std::getenv("XDG_DATA_DIRS"), std::getenv("HOME"));
}

}  // namespace stagwerk
