#include "kq7/formats/demoscene/SourceFiles.h"

#include <algorithm>
#include <cctype>

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

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

const std::vector<std::string>& Extensions(SourceKind kind) {
  static const std::vector<std::string> none, objects{".lwo"},
      images{".iff", ".lbm", ".tga", ".png", ".jpg", ".jpeg", ".bmp", ".gif"};
  return kind == SourceKind::Object ? objects : kind == SourceKind::Image ? images : none;
}

// The name as written, then with each of the kind's extensions unless it
// already ends in one.
std::vector<std::string> NameForms(const std::string& name, SourceKind kind) {
  std::vector<std::string> forms{name};
  const std::vector<std::string>& extensions = Extensions(kind);
  const std::string ext = Lower(fs::path(name).extension().string());
  if (std::find(extensions.begin(), extensions.end(), ext) != extensions.end()) return forms;
  for (const std::string& e : extensions) forms.push_back(name + e);
  return forms;
}

// The path's components after any drive or volume name, which ends in ':'
// before the first separator (C:, HD1:, Work:).
std::vector<std::string> Components(const std::string& path) {
  std::string rest = path;
  const std::size_t colon = rest.find(':');
  if (colon != std::string::npos && colon < rest.find('/')) rest.erase(0, colon + 1);
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= rest.size()) {
    const std::size_t end = std::min(rest.find('/', start), rest.size());
    const std::string part = rest.substr(start, end - start);
    if (!part.empty() && part != ".") parts.push_back(part);
    start = end + 1;
  }
  return parts;
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

std::optional<fs::path> SourceFinder::Find(const std::string& written, SourceKind kind) {
  std::string path = Slashes(written);
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
  if (fs::path(path).is_absolute() && Exists(path)) return fs::path(path);
  const std::vector<std::string> parts = Components(path);
  if (parts.empty()) return std::nullopt;
  if (auto found = Search(parts, kind, false)) return found;
  return Search(parts, kind, true);
}

std::optional<fs::path> SourceFinder::Search(const std::vector<std::string>& parts, SourceKind kind, bool anyCase) {
  for (std::size_t drop = 0; drop < parts.size(); ++drop) {
    for (const fs::path& folder : folders_) {
      for (const char* sub : {"", "Objects", "Images", "Scenes"}) {
        std::vector<std::string> candidate;
        if (*sub != '\0') candidate.push_back(sub);
        candidate.insert(candidate.end(), parts.begin() + static_cast<std::ptrdiff_t>(drop), parts.end());
        const std::string last = candidate.back();
        for (const std::string& form : NameForms(last, kind)) {
          candidate.back() = form;
          if (auto found = Resolve(folder, candidate, anyCase)) return found;
        }
      }
    }
  }
  return std::nullopt;
}

// Component by component; without regard to case, every folder whose name
// matches is tried, so objects/ and Objects/ side by side both count.
std::optional<fs::path> SourceFinder::Resolve(const fs::path& base, const std::vector<std::string>& parts,
                                              bool anyCase) {
  if (parts.empty()) return Exists(base) ? std::optional<fs::path>(base) : std::nullopt;
  if (!anyCase) {
    fs::path whole = base;
    for (const std::string& p : parts) whole /= p;
    return Exists(whole) ? std::optional<fs::path>(whole) : std::nullopt;
  }
  const std::vector<std::string> rest(parts.begin() + 1, parts.end());
  if (parts.front() == "..") return Resolve(base / "..", rest, true);
  const std::string want = Lower(parts.front());
  for (const std::string& name : Listing(base)) {
    if (Lower(name) != want) continue;
    if (auto found = Resolve(base / name, rest, true)) return found;
  }
  return std::nullopt;
}

const std::vector<std::string>& SourceFinder::Listing(const fs::path& folder) {
  const auto it = listings_.find(folder);
  if (it != listings_.end()) return it->second;
  std::vector<std::string>& names = listings_[folder];
  std::error_code ec;
  for (fs::directory_iterator entry(folder, ec), end; !ec && entry != end; entry.increment(ec)) {
    names.push_back(entry->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string SourceFinder::Places() const {
  std::string text;
  for (std::size_t i = 0; i < folders_.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == folders_.size() ? " and " : ", ") + folders_[i].string();
  }
  return text + (folders_.size() == 1 ? " and its" : ", each with its") +
         " Objects/, Images/ and Scenes/, in any case";
}

std::optional<fs::path> FindSourceFile(const std::string& written, const std::vector<fs::path>& folders,
                                       SourceKind kind) {
  return SourceFinder(folders).Find(written, kind);
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
