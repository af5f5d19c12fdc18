#pragma once
// Reading LightWave's IFF files: big-endian values inside chunks whose
// sizes bound every read. A read past a chunk's end throws InputError naming
// the file, the chunk (with the chunks around it) and the byte offset.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace stagwerk::kq7::lightwave {

using Vec3 = std::array<float, 3>;

class ChunkReader {
 public:
  // data holds size bytes that start at byte offset of file; where names the
  // chunk in messages, e.g. "SURF \"Hull\" > BLOK > TMAP".
  ChunkReader(const std::string& file, std::string where, const unsigned char* data, std::size_t size,
              std::size_t offset);

  bool AtEnd() const { return position_ == size_; }
  std::size_t Remaining() const { return size_ - position_; }
  // The file offset of the next byte.
  std::size_t FileOffset() const { return offset_ + position_; }
  const std::string& where() const { return where_; }
  const std::string& file() const { return *file_; }

  uint8_t U1();
  uint16_t U2();
  uint32_t U4();
  int16_t I2();
  float F4();
  Vec3 Vec12();
  std::string Id4();
  // A NUL-terminated string padded to an even length (the pad may be
  // missing at the very end of a chunk).
  std::string S0();
  // A variable-length index: two bytes below 0xFF00, else four bytes whose
  // first is 0xFF.
  uint32_t Vx();
  void Skip(std::size_t count);

  // The next count bytes as a reader of their own, named where; this reader
  // moves past them.
  ChunkReader Take(std::size_t count, const std::string& where);

  // Throws InputError naming the file, this chunk and the offset of the next
  // byte (or the one given).
  [[noreturn]] void Fail(const std::string& why) const;
  [[noreturn]] void FailAt(std::size_t fileOffset, const std::string& why) const;

 private:
  const unsigned char* Need(std::size_t count, const char* what);

  const std::string* file_;
  std::string where_;
  const unsigned char* data_;
  std::size_t size_;
  std::size_t offset_;
  std::size_t position_ = 0;
};

struct Chunk {
  std::string id;
  ChunkReader data;
};

// The next chunk of an IFF FORM (ID4, U4 size, data, a pad byte after an
// odd size), or nothing at the end. A pad byte missing at the very end is
// forgiven; a size past the end is not.
std::optional<Chunk> NextChunk(ChunkReader& body);
// The same for the sub-chunks inside a LightWave chunk, whose sizes are U2.
std::optional<Chunk> NextSubChunk(ChunkReader& body);

}  // namespace stagwerk::kq7::lightwave
