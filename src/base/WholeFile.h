#pragma once
// A whole file mapped read-only, read through a SceneReader from its first
// byte to its last. Unmapped and closed when the object goes.
#include <string>

#include "base/SceneReader.h"

namespace stagwerk {

class WholeFile {
 public:
  WholeFile() = default;
  WholeFile(const WholeFile&) = delete;
  WholeFile& operator=(const WholeFile&) = delete;
  WholeFile(WholeFile&& other) noexcept;
  WholeFile& operator=(WholeFile&& other) noexcept;
  ~WholeFile() { UnmapWholeFile(); }

  // Opens and maps path. Throws LoadError("Cannot load file <path> from
  // directory") when it cannot be opened or read; an empty file gives a
  // reader at its end.
  void MapWholeFile(const std::string& path);
  void UnmapWholeFile();

  SceneReader& reader() { return reader_; }
  const std::string& path() const { return path_; }

 private:
  SceneReader reader_;
  void* mapping_ = nullptr;
  std::size_t mappedSize_ = 0;
  int fd_ = -1;
  std::string path_;
};

// Convenience: a mapped file, throwing as above.
WholeFile MapWholeFile(const std::string& path);

}  // namespace stagwerk
