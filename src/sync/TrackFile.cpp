#include "sync/TrackFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/LoadError.h"

namespace stagwerk {
namespace {

constexpr std::size_t kKeyBytes = 9;

uint32_t LittleU32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void PutLittleU32(std::string& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(v >> shift & 0xFF));
}

[[noreturn]] void Broken(const std::string& fileName, const std::string& fault) {
  throw LoadError("Broken sync track " + fileName + ": " + fault);
}

}  // namespace

std::string TrackFileName(std::string_view trackName) {
  std::string name(trackName);
  for (char& c : name) {
    if (c == ':') c = '#';
  }
  return name + ".track";
}

std::vector<SyncKey> ParseTrackFile(const uint8_t* data, std::size_t size, const std::string& fileName) {
  if (size < 4) Broken(fileName, std::to_string(size) + " bytes, too short for the key count");
  const uint32_t count = LittleU32(data);
  // In 64 bits: a count near 2^32 must not wrap into a small size.
  const uint64_t needed = 4 + uint64_t{count} * kKeyBytes;
  if (needed > size) {
    Broken(fileName, std::to_string(count) + " keys need " + std::to_string(needed) + " bytes, the file has " +
                         std::to_string(size));
  }
  if (needed < size) Broken(fileName, std::to_string(size - needed) + " bytes after the last key");
  std::vector<SyncKey> keys;
  keys.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* p = data + 4 + std::size_t{i} * kKeyBytes;
    SyncKey key;
    key.row = LittleU32(p);
    key.value = FloatFromBits(LittleU32(p + 4));
    const uint8_t shape = p[8];
    const std::string which = "key " + std::to_string(i + 1) + " (row " + std::to_string(key.row) + ")";
    if (shape > kLastKeyShape) Broken(fileName, which + " has shape " + std::to_string(shape) + ", not 0 to 3");
    if (!std::isfinite(key.value)) Broken(fileName, which + " has a value that is not a finite number");
    if (!keys.empty() && key.row <= keys.back().row) {
      Broken(fileName, which + " does not come after row " + std::to_string(keys.back().row));
    }
    key.shape = static_cast<KeyShape>(shape);
    keys.push_back(key);
  }
  return keys;
}

std::vector<SyncKey> ReadTrackFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw LoadError("Cannot load sync track " + path);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw LoadError("Cannot load sync track " + path);
  return ParseTrackFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), path);
}

std::string EncodeTrackFile(const std::vector<SyncKey>& keys) {
  std::string out;
  out.reserve(4 + keys.size() * kKeyBytes);
  PutLittleU32(out, static_cast<uint32_t>(keys.size()));
  for (const SyncKey& key : keys) {
    PutLittleU32(out, key.row);
    PutLittleU32(out, BitsOfFloat(key.value));
    out.push_back(static_cast<char>(key.shape));
  }
  return out;
}

void WriteTrackFile(const std::string& path, const std::vector<SyncKey>& keys) {
  const std::string failed = "Cannot write sync track " + path;
  const std::filesystem::path target(path);
  std::error_code ec;
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
  if (ec) throw LoadError(failed + ": " + ec.message());

  const std::string data = EncodeTrackFile(keys);
  const std::string temporary = path + ".tmp." + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw LoadError(failed);
  bool written = true;
  for (std::size_t done = 0; written && done < data.size();) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      written = false;
    }
  }
  written = written && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    throw LoadError(failed);
  }
}

}  // namespace stagwerk
