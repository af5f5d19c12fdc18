#include "kq7/formats/FileBytes.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "kq7/formats/ToolError.h"

namespace stagwerk::kq7 {

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw InputError(path.string() + ": cannot open it: it is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError(path.string() + ": cannot open it: " + std::strerror(errno));
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace stagwerk::kq7
