#pragma once
// Token cursor over a file's bytes. A token is a run of bytes 0x21..0x7E; every
// other byte separates tokens. Every scan stops at base + size; the reader
// never fails, it yields empty tokens at the end of the data.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/PathString.h"

namespace stagwerk {

class SceneReader {
 public:
  SceneReader() = default;
  SceneReader(const unsigned char* base, uint32_t size) : base_(base), size_(size), position_(base) {}
  explicit SceneReader(std::string_view text)
      : SceneReader(reinterpret_cast<const unsigned char*>(text.data()), static_cast<uint32_t>(text.size())) {}
  template <std::size_t N>
  explicit SceneReader(const char (&text)[N]) : SceneReader(std::string_view(text, N - 1)) {}
  // The reader does not own its bytes: never over a temporary string.
  explicit SceneReader(std::string&&) = delete;

  bool AtEnd() const { return position_ >= base_ + size_; }
  void SkipToken() { NextToken(); }
  void SkipTokens(int32_t n) {
    for (int32_t i = 0; i < n; ++i) SkipToken();
  }
  // Tokens longer than 249 characters are cut to 249; the rest is consumed.
  void ReadToken(PathString& buffer) { buffer.AssignCut(NextToken()); }
  // C conversions "%f", "%d", "%u" of the next token; a token that does not
  // convert leaves *out unchanged.
  void ReadFloat(float* out);
  void ReadInt(int32_t* out);
  void ReadUnsigned(uint32_t* out);

  // The next whole token, uncut, viewing the underlying bytes.
  std::string_view NextToken();

  const unsigned char* base() const { return base_; }
  uint32_t size() const { return size_; }
  const unsigned char* position() const { return position_; }
  uint32_t offset() const { return static_cast<uint32_t>(position_ - base_); }
  // Raw access for binary readers: bytes left from the position.
  uint32_t remaining() const { return AtEnd() ? 0 : static_cast<uint32_t>(base_ + size_ - position_); }
  void Advance(uint32_t n) { position_ += n < remaining() ? n : remaining(); }

 private:
  const unsigned char* base_ = nullptr;
  uint32_t size_ = 0;
  const unsigned char* position_ = nullptr;
};

inline bool IsTokenChar(unsigned char c) { return c >= 0x21 && c <= 0x7E; }

// The C conversions on a token (cut to 249 characters first, as the scratch
// buffer would). Return false and leave *out alone when nothing converts.
bool ConvertFloat(std::string_view token, float* out);
bool ConvertInt(std::string_view token, int32_t* out);
bool ConvertUnsigned(std::string_view token, uint32_t* out);
bool ConvertHex(std::string_view token, uint32_t* out);

}  // namespace stagwerk
