#include "base/WholeFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

#include "base/LoadError.h"

namespace stagwerk {

WholeFile::WholeFile(WholeFile&& other) noexcept { *this = std::move(other); }

WholeFile& WholeFile::operator=(WholeFile&& other) noexcept {
  if (this != &other) {
    UnmapWholeFile();
    reader_ = std::exchange(other.reader_, SceneReader());
    mapping_ = std::exchange(other.mapping_, nullptr);
    mappedSize_ = std::exchange(other.mappedSize_, 0);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

void WholeFile::MapWholeFile(const std::string& path) {
  UnmapWholeFile();
  path_ = path;
  const std::string message = "Cannot load file " + path + " from directory";
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw LoadError(message);
  struct stat info {};
  // A directory opens read-only on POSIX but is no file to read.
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    throw LoadError(message);
  }
  // The reader counts in 32 bits; files of 4 GiB or more are refused rather
  // than read short.
  if (static_cast<uint64_t>(info.st_size) > UINT32_MAX) {
    ::close(fd);
    throw LoadError(message + ": file of 4 GiB or more");
  }
  const std::size_t size = static_cast<std::size_t>(info.st_size);
  void* base = nullptr;
  if (size > 0) {
    base = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (base == MAP_FAILED) {
      ::close(fd);
      throw LoadError(message);
    }
    ::madvise(base, size, MADV_SEQUENTIAL);
  }
  fd_ = fd;
  mapping_ = base;
  mappedSize_ = size;
  reader_ = SceneReader(static_cast<const unsigned char*>(base), static_cast<uint32_t>(size));
}

void WholeFile::UnmapWholeFile() {
  if (mapping_ != nullptr) ::munmap(mapping_, mappedSize_);
  if (fd_ >= 0) ::close(fd_);
  mapping_ = nullptr;
  mappedSize_ = 0;
  fd_ = -1;
  reader_ = SceneReader();
}

WholeFile MapWholeFile(const std::string& path) {
  WholeFile file;
  file.MapWholeFile(path);
  return file;
}

}  // namespace stagwerk
