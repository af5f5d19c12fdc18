#include "kq7/formats/pictures/TextureFiles.h"

#include <fstream>
#include <sstream>

#include "base/LoadError.h"
#include "base/SceneReader.h"
#include "kq7/formats/Kq7Fit.h"
#include "kq7/formats/ToolError.h"
#include "textures/Image.h"
#include "kq7/formats/FileBytes.h"

namespace stagwerk::kq7 {

namespace fs = std::filesystem;

namespace {

bool IsFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

bool Same(const fs::path& a, const std::optional<fs::path>& b) {
  std::error_code ec;
  return b && fs::equivalent(a, *b, ec);
}

// Beside the target, then renamed over it.
void WriteOver(const fs::path& path, const std::string& bytes, const std::optional<fs::path>& source) {
  if (Same(path, source)) throw InputError(path.string() + ": writing it would overwrite its source picture");
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  const fs::path part = path.string() + ".part";
  {
    std::ofstream file(part, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
      fs::remove(part, ec);
      throw InputError(path.string() + ": cannot write it");
    }
  }
  fs::rename(part, path, ec);
  if (ec) {
    fs::remove(part, ec);
    throw InputError(path.string() + ": cannot write it: " + ec.message());
  }
}

void RemoveStale(const fs::path& path, const std::optional<fs::path>& source) {
  std::error_code ec;
  if (IsFile(path) && !Same(path, source)) fs::remove(path, ec);
}

Picture Read(const PictureSource& source) {
  return ReadPicture(reinterpret_cast<const unsigned char*>(source.bytes.data()), source.bytes.size(), source.label);
}

// A JPEG's opacity file beside it, as the player would read it, becomes its alpha.
void TakeOpacityBeside(const PictureSource& source, Picture& picture) {
  if (!source.file) return;
  const fs::path beside = OpacityPath(source.file->string());
  if (!IsFile(beside)) return;
  const Picture opacity = Read(ReadPictureFile(beside));
  if (opacity.width != picture.width || opacity.height != picture.height) {
    throw InputError(beside.string() + ": its size is not that of " + source.label);
  }
  for (std::size_t i = 3; i < picture.rgba.size(); i += 4) picture.rgba[i] = opacity.rgba[i - 3];
}

// A JPEG the player's decoder reads at a size it takes goes over unchanged.
bool CopyAsIs(const PictureSource& source, const Picture& picture, const fs::path& target) {
  const auto* data = reinterpret_cast<const unsigned char*>(source.bytes.data());
  if (PictureFormatOf(data, source.bytes.size()) != "JPEG" || TextureSide(picture.width) != picture.width ||
      TextureSide(picture.height) != picture.height) {
    return false;
  }
  const fs::path check = target.string() + ".check";
  WriteOver(check, source.bytes, source.file);
  bool reads = true;
  try {
    Image::LoadJpeg(check.string());
  } catch (const LoadError&) {
    reads = false;
  }
  std::error_code ec;
  if (reads) fs::rename(check, target, ec);
  if (!reads || ec) fs::remove(check, ec);
  return reads && !ec;
}

std::string Size(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

std::string ConvertedNote(const PictureSource& source, const Picture& from, const FittedPicture& to,
                          const std::string& opacityNote) {
  return "(converted from " + source.label + ", " + Size(from.width, from.height) + " -> " +
         Size(to.picture.width, to.picture.height) + (to.opacity ? opacityNote : "") + ")";
}

// A path the player can join to its data folder.
bool InsideData(const std::string& relative) {
  const fs::path p(relative);
  bool inside = !relative.empty() && !p.is_absolute() && relative.find(':') == std::string::npos;
  for (const auto& part : p) inside &= part != "..";
  return inside;
}

}  // namespace

PictureSource ReadPictureFile(const fs::path& path) {
  return {path.string(), ReadFileBytes(path), path};
}

std::string TextureWord(const std::string& text) {
  std::string word;
  for (char c : text) {
    const bool keep = IsTokenChar(static_cast<unsigned char>(c)) && c != '"' && c != '/' && c != '\\' && c != '#';
    word += keep ? c : '_';
  }
  return word.empty() ? "texture" : word.substr(0, 200);
}

PictureOutcome ProvideMeshTexture(const std::optional<PictureSource>& source, const fs::path& textureDir,
                                  const std::string& name, const PictureOptions& options) {
  const fs::path target = textureDir / (name + ".jpg");
  const fs::path opacity = textureDir / (name + ".a.jpg");
  PictureOutcome outcome;
  if (!source || Same(target, source ? source->file : std::nullopt)) {
    outcome.usable = IsFile(target);
    outcome.note = outcome.usable ? "(present)" : "(missing)";
    if (!outcome.usable) outcome.problem = "no picture for it was found";
    return outcome;
  }
  try {
    Picture picture = Read(*source);
    const bool opacityBeside = source->file && IsFile(OpacityPath(source->file->string()));
    if (!opacityBeside && options.alpha != AlphaUse::Mask && CopyAsIs(*source, picture, target)) {
      RemoveStale(opacity, source->file);
      return {true, "(copied from " + source->label + ")", "", ""};
    }
    TakeOpacityBeside(*source, picture);
    const FittedPicture fitted = FitPicture(picture, options);
    WriteOver(target, EncodeJpeg(fitted.picture, false, kColourQuality), source->file);
    if (fitted.opacity) {
      WriteOver(opacity, EncodeJpeg(fitted.picture, true, kOpacityQuality), source->file);
    } else {
      RemoveStale(opacity, source->file);
    }
    return {true, ConvertedNote(*source, picture, fitted, ", opacity in " + opacity.filename().string()), "", ""};
  } catch (const InputError& e) {
    return {false, "(unreadable)", e.what(), ""};
  }
}

PictureOutcome ProvideScenePicture(const std::optional<PictureSource>& source, const fs::path& dataDir,
                                   const std::string& written) {
  const std::string stem = TextureWord(TextureNameOf(written));
  const std::string jpg = "textures/" + stem + ".jpg", tga = "textures/" + stem + ".tga";
  PictureOutcome outcome;
  if (!source) {
    for (const std::string& relative : {written, jpg}) {
      if (InsideData(relative) && IsFile(dataDir / relative)) return {true, "(present)", "", relative};
    }
    return {false, "(missing)", "no picture for it was found", ""};
  }
  try {
    const Picture picture = Read(*source);
    const FittedPicture fitted = FitPicture(picture, {});
    outcome.relative = fitted.opacity ? tga : jpg;
    WriteOver(dataDir / outcome.relative,
              fitted.opacity ? EncodeTga(fitted.picture, true) : EncodeJpeg(fitted.picture, false, kColourQuality),
              source->file);
    outcome.usable = true;
    outcome.note = ConvertedNote(*source, picture, fitted, ", a 32-bit TGA for its opacity");
    return outcome;
  } catch (const InputError& e) {
    return {false, "(unreadable)", e.what(), ""};
  }
}

}  // namespace stagwerk::kq7
