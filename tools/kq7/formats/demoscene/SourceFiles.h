#pragma once
// Finding the files a scene names, wherever the modeller's machine kept
// them, and naming them as the player looks for them.
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace stagwerk::kq7 {

// The folders a scene's relative paths may start from: a LightWave content
// folder when given, the scene's folder and the folder above it.
std::vector<std::filesystem::path> SearchFolders(const std::filesystem::path& sceneFile,
                                                 const std::optional<std::filesystem::path>& content);

// What a name stands for: it decides the extensions a bare name is tried with.
enum class SourceKind {
  Any,     // as written only
  Object,  // .lwo
  Image,   // .iff .lbm .tga .png .jpg .jpeg .bmp .gif
};

// Looks paths up as LightWave does on the machine that wrote them, with one
// listing per folder kept for the finder's life. The order:
//   1. an absolute path that exists, as written;
//   2. with a drive or volume ("C:", "HD1:", "Work:") and leading
//      separators taken off, backslashes read as separators, the whole path
//      and then each shorter tail (one leading folder dropped at a time),
//      longest first; each under every folder in turn, itself then its
//      Objects/, Images/ and Scenes/; a name without one of the kind's
//      extensions also with each of them;
//   3. all of step 2 again matching every path component without regard to
//      case, since the machines scenes come from did not tell case apart
//      and Linux does. Among names differing only in case the first in
//      byte order wins.
class SourceFinder {
 public:
  explicit SourceFinder(std::vector<std::filesystem::path> folders) : folders_(std::move(folders)) {}

  std::optional<std::filesystem::path> Find(const std::string& written, SourceKind kind);

  // Where step 2 looks, for messages.
  std::string Places() const;

 private:
  std::optional<std::filesystem::path> Search(const std::vector<std::string>& parts, SourceKind kind, bool anyCase);
  std::optional<std::filesystem::path> Resolve(const std::filesystem::path& base, const std::vector<std::string>& parts,
                                               bool anyCase);
  const std::vector<std::string>& Listing(const std::filesystem::path& folder);

  std::vector<std::filesystem::path> folders_;
  std::map<std::filesystem::path, std::vector<std::string>> listings_;
};

// One lookup through a finder of its own.
std::optional<std::filesystem::path> FindSourceFile(const std::string& written,
                                                    const std::vector<std::filesystem::path>& folders,
                                                    SourceKind kind = SourceKind::Any);

// The name a scene gives an object so the player finds its KQ7 file: the
// path as written when it is a clean relative path of one word ending in a
// three-letter extension, else Objects/<file name>.
std::string ObjectName(const std::string& written);

// Where the player reads the mesh for an object name: the last three
// characters become kq7.
std::string Kq7PathFor(const std::string& objectName);

}  // namespace stagwerk::kq7
