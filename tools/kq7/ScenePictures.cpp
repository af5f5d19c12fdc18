#include "kq7/ScenePictures.h"

#include <cstring>
#include <optional>
#include <sstream>

#include "kq7/formats/demoscene/SourceFiles.h"
#include "kq7/formats/pictures/TextureFiles.h"

namespace stagwerk::kq7 {

namespace fs = std::filesystem;

namespace {

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec);
}

std::optional<PictureSource> Source(const std::optional<fs::path>& file, std::string& problem) {
  if (!file) return std::nullopt;
  try {
    return ReadPictureFile(*file);
  } catch (const std::exception& e) {
    problem = e.what();
    return std::nullopt;
  }
}

// A flare's picture is named after its light, under textures/ or Images/.
std::optional<fs::path> FlareSource(const std::string& light, const std::vector<fs::path>& folders) {
  if (auto found = FindSourceFile("textures/" + light + ".jpg", folders)) return found;
  for (const char* ext : {".jpg", ".png", ".tga", ".iff", ".bmp", ".gif"}) {
    if (auto found = FindSourceFile("Images/" + light + ext, folders)) return found;
  }
  return std::nullopt;
}

void Flares(DemoScene& scene, const fs::path& data, const std::vector<fs::path>& folders, const std::string& in,
            std::map<std::string, std::string>& notes, std::vector<std::string>& warnings) {
  for (DemoLight& light : scene.lights) {
    if (!light.flareIntensity) continue;
    const std::string relative = "textures/" + light.name + ".jpg";
    if (notes.count(relative) == 0) {
      std::optional<fs::path> file = FlareSource(light.name, folders);
      if (file && SameFile(*file, data / relative)) file.reset();
      std::string problem;
      const std::optional<PictureSource> source = Source(file, problem);
      const PictureOutcome outcome = ProvideMeshTexture(source, data / "textures", light.name, {});
      notes[relative] = outcome.note;
      if (!outcome.usable) {
        warnings.push_back(in + ": light " + light.name + ": its lens flare needs " + relative + " (" +
                           (problem.empty() ? outcome.problem : problem) + "); the flare is dropped");
      }
    }
    if (notes[relative] == "(missing)" || notes[relative] == "(unreadable)") {
      light.flareIntensity.reset();
      light.flareNominalDistance.reset();
      light.flareDissolve.reset();
    }
  }
}

void Backdrop(std::string& written, const char* keyword, const fs::path& data, const std::vector<fs::path>& folders,
              const std::string& in, std::map<std::string, std::string>& notes, std::vector<std::string>& warnings) {
  if (written.empty()) return;
  std::optional<fs::path> file = FindSourceFile(written, folders);
  if (!file) file = FindSourceFile("Images/" + fs::path(written).filename().string(), folders);
  if (file && SameFile(*file, data / written)) file.reset();  // already where the player looks
  std::string problem;
  const std::optional<PictureSource> source = Source(file, problem);
  const PictureOutcome outcome = ProvideScenePicture(source, data, written);
  if (!outcome.usable) {
    notes[written] = outcome.note;
    warnings.push_back(in + ": " + keyword + " " + written + " (" + (problem.empty() ? outcome.problem : problem) +
                       ") is dropped");
    written.clear();
    return;
  }
  notes[outcome.relative] = outcome.note;
  written = outcome.relative;
}

}  // namespace

void PrepareScenePictures(DemoScene& scene, const fs::path& data, const std::vector<fs::path>& folders,
                          const std::string& in, std::map<std::string, std::string>& notes,
                          std::vector<std::string>& warnings) {
  Flares(scene, data, folders, in, notes, warnings);
  Backdrop(scene.bgImage, "BGImage", data, folders, in, notes, warnings);
  Backdrop(scene.fgImage, "FGImage", data, folders, in, notes, warnings);
}

std::vector<std::string> NotePictureLines(const std::string& printed, std::map<std::string, std::string>& notes) {
  // "(converted from SRC, ...)" or "(copied from SRC)": the source.
  const auto source = [](const std::string& note) {
    for (const char* made : {"(converted from ", "(copied from "}) {
      if (note.rfind(made, 0) == 0) return note.substr(std::strlen(made), note.find_first_of(",)") - std::strlen(made));
    }
    return std::string();
  };
  std::vector<std::string> clashes;
  std::istringstream lines(printed);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t open = line.find(" (");
    if (line.rfind("  ", 0) != 0 || open == std::string::npos || line.back() != ')') continue;
    const std::string key = "textures/" + fs::path(line.substr(2, open - 2)).filename().string();
    const std::string note = line.substr(open + 1);
    const auto it = notes.find(key);
    if (it != notes.end() && !source(it->second).empty() && !source(note).empty() && source(it->second) != source(note)) {
      clashes.push_back(key + " is made from " + source(it->second) + " and then from " + source(note) +
                        ": two pictures of one name; the second is kept");
    }
    notes[key] = note;
  }
  return clashes;
}

}  // namespace stagwerk::kq7
