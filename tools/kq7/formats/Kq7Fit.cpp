#include "kq7/formats/Kq7Fit.h"

#include "kq7/formats/ToolError.h"
#include "base/PathString.h"

namespace stagwerk::kq7 {

std::string GroupedNumber(std::size_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

void CheckKq7Limit(const std::string& file, std::size_t count, const char* what) {
  if (count > kMaxKq7Count) {
    throw InputError(file + ": " + GroupedNumber(count) + " " + what + "; a KQ7 mesh holds at most " +
                     GroupedNumber(kMaxKq7Count) + " " + what);
  }
}

void CheckKq7Name(const std::string& file, const std::string& name, const char* what) {
  if (name.size() > PathString::kMaxLength) {
    throw InputError(file + ": the " + std::string(what) + " name \"" + name.substr(0, 40) + "...\" has " +
                     GroupedNumber(name.size()) + " characters; a KQ7 file holds at most " +
                     std::to_string(PathString::kMaxLength));
  }
}

std::string TextureNameOf(const std::string& path) {
  // Files made on Windows name their textures with backslashes.
  const std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

}  // namespace stagwerk::kq7
