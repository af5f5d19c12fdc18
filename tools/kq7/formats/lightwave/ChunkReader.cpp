#include "kq7/formats/lightwave/ChunkReader.h"

#include <bit>
#include <cstring>

#include "kq7/formats/ToolError.h"

namespace stagwerk::kq7::lightwave {

ChunkReader::ChunkReader(const std::string& file, std::string where, const unsigned char* data, std::size_t size,
                         std::size_t offset)
    : file_(&file), where_(std::move(where)), data_(data), size_(size), offset_(offset) {}

void ChunkReader::Fail(const std::string& why) const { FailAt(FileOffset(), why); }

void ChunkReader::FailAt(std::size_t fileOffset, const std::string& why) const {
  throw InputError(*file_ + ": " + (where_.empty() ? "FORM" : where_) + " at byte " + std::to_string(fileOffset) +
                   ": " + why);
}

const unsigned char* ChunkReader::Need(std::size_t count, const char* what) {
  if (count > Remaining()) {
    Fail(std::string(what) + " needs " + std::to_string(count) + " bytes but the chunk has " +
         std::to_string(Remaining()) + " left");
  }
  const unsigned char* at = data_ + position_;
  position_ += count;
  return at;
}

uint8_t ChunkReader::U1() { return *Need(1, "a byte"); }

uint16_t ChunkReader::U2() {
  const unsigned char* p = Need(2, "a 2-byte number");
  return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

uint32_t ChunkReader::U4() {
  const unsigned char* p = Need(4, "a 4-byte number");
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

int16_t ChunkReader::I2() { return static_cast<int16_t>(U2()); }

float ChunkReader::F4() {
  const unsigned char* p = Need(4, "a float");
  return std::bit_cast<float>(uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]});
}

Vec3 ChunkReader::Vec12() {
  if (Remaining() < 12) Need(12, "a vector");
  const float x = F4(), y = F4(), z = F4();
  return {x, y, z};
}

std::string ChunkReader::Id4() {
  const unsigned char* p = Need(4, "a 4-letter ID");
  return std::string(reinterpret_cast<const char*>(p), 4);
}

std::string ChunkReader::S0() {
  const void* nul = std::memchr(data_ + position_, 0, Remaining());
  if (nul == nullptr) Fail("a string runs past the end of the chunk");
  const std::size_t length = static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - (data_ + position_));
  std::string text(reinterpret_cast<const char*>(data_ + position_), length);
  position_ += length + 1;
  if ((length + 1) % 2 != 0 && !AtEnd()) ++position_;
  return text;
}

uint32_t ChunkReader::Vx() {
  if (Remaining() >= 1 && data_[position_] == 0xFF) return U4() & 0x00FFFFFF;
  return U2();
}

void ChunkReader::Skip(std::size_t count) { Need(count, "skipping"); }

ChunkReader ChunkReader::Take(std::size_t count, const std::string& where) {
  const std::size_t start = FileOffset();
  const unsigned char* p = Need(count, ("the data of " + where).c_str());
  return ChunkReader(*file_, where, p, count, start);
}

namespace {

std::string Printable(const std::string& id) {
  std::string out;
  for (const char c : id) out += (c >= 0x20 && c < 0x7F) ? c : '?';
  return out;
}

std::optional<Chunk> Next(ChunkReader& body, bool subChunk) {
  if (body.AtEnd()) return std::nullopt;
  // Zero bytes too few for a header at the end are slack (some writers pad
  // a FORM); anything else there is a header cut short.
  if (body.Remaining() < (subChunk ? 6u : 8u)) {
    const std::size_t left = body.Remaining();
    bool zeros = true;
    for (std::size_t i = 0; i < left; ++i) zeros &= body.U1() == 0;
    if (zeros) return std::nullopt;
    body.Fail(std::to_string(left) + " bytes after the last " + (subChunk ? "sub-chunk" : "chunk") +
              " are too few for another");
  }
  const std::size_t at = body.FileOffset();
  const std::string id = body.Id4();
  const std::size_t size = subChunk ? body.U2() : body.U4();
  const std::string where = body.where().empty() ? Printable(id) : body.where() + " > " + Printable(id);
  if (size > body.Remaining()) {
    body.FailAt(at, (subChunk ? "the sub-chunk " : "the chunk ") + Printable(id) + " says it has " +
                        std::to_string(size) + " bytes but only " + std::to_string(body.Remaining()) + " follow" +
                        (subChunk ? "" : " (is the file cut short?)"));
  }
  ChunkReader data = body.Take(size, where);
  if (size % 2 != 0 && !body.AtEnd()) body.Skip(1);
  return Chunk{id, std::move(data)};
}

}  // namespace

std::optional<Chunk> NextChunk(ChunkReader& body) { return Next(body, false); }
std::optional<Chunk> NextSubChunk(ChunkReader& body) { return Next(body, true); }

}  // namespace stagwerk::kq7::lightwave
