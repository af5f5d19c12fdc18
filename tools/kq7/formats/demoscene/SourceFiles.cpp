#include "kq7/formats/demoscene/SourceFiles.h"

#include "base/SceneReader.h"

namespace stagwerk::kq7 {

namespace fs = std::filesystem;

namespace {

std::string Slashes(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

}  // namespace

std::vector<fs::path> SearchFolders(const fs::path& sceneFile, const std::optional<fs::path>& content) {
  std::vector<fs::path> folders;
  if (content) folders.push_back(*content);
  const fs::path here = sceneFile.has_parent_path() ? sceneFile.parent_path() : fs::path(".");
  folders.push_back(here);
  folders.push_back(here / "..");
  return folders;
}

std::optional<fs::path> FindSourceFile(const std::string& written, const std::vector<fs::path>& folders) {
  std::string path = Slashes(written);
  if (!path.empty() && path.front() == '"' && path.back() == '"' && path.size() >= 2) {
    path = path.substr(1, path.size() - 2);
  }
  if (fs::path(path).is_absolute() && Exists(path)) return fs::path(path);
  // A drive letter, then ever shorter tails: C:/LW/Objects/a.lwo, LW/Objects/a.lwo, Objects/a.lwo, a.lwo.
  if (path.size() >= 2 && path[1] == ':') path = path.substr(2);
  while (!path.empty() && path.front() == '/') path.erase(0, 1);
  for (std::string tail = path;;) {
    for (const fs::path& folder : folders) {
      if (Exists(folder / tail)) return folder / tail;
    }
    const std::size_t slash = tail.find('/');
    if (slash == std::string::npos) break;
    tail = tail.substr(slash + 1);
  }
  return std::nullopt;
}

std::string ObjectName(const std::string& written) {
  const std::string path = Slashes(written);
  const fs::path p(path);
  bool clean = !p.is_absolute() && path.find(':') == std::string::npos && p.extension().string().size() == 4;
  for (const auto& part : p) clean &= part != ".." && part != ".";
  for (char c : path) clean &= IsTokenChar(static_cast<unsigned char>(c)) && c != '"';
  if (clean) return path;
  std::string stem = p.stem().string();
  for (char& c : stem) {
    if (!IsTokenChar(static_cast<unsigned char>(c)) || c == '"') c = '_';
  }
  return "Objects/" + (stem.empty() ? std::string("Object") : stem) + ".lwo";
}

std::string Kq7PathFor(const std::string& objectName) {
  return objectName.substr(0, objectName.size() - 3) + "kq7";
}

}  // namespace stagwerk::kq7
