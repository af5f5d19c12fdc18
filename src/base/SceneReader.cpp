#include "base/SceneReader.h"

#include <cstdio>
#include <cstring>

namespace stagwerk {

std::string_view SceneReader::NextToken() {
  const unsigned char* end = base_ + size_;
  const unsigned char* p = position_;
  while (p < end && !IsTokenChar(*p)) ++p;
  const unsigned char* start = p;
  while (p < end && IsTokenChar(*p)) ++p;
  position_ = p;
  return {reinterpret_cast<const char*>(start), static_cast<std::size_t>(p - start)};
}

void SceneReader::ReadFloat(float* out) { ConvertFloat(NextToken(), out); }
void SceneReader::ReadInt(int32_t* out) { ConvertInt(NextToken(), out); }
void SceneReader::ReadUnsigned(uint32_t* out) { ConvertUnsigned(NextToken(), out); }

namespace {

// sscanf needs a terminated string; the scratch buffer holds 249 characters.
template <typename T>
bool Scan(std::string_view token, const char* format, T* out) {
  char buffer[PathString::kCapacity];
  const std::size_t n = token.size() < PathString::kMaxLength ? token.size() : PathString::kMaxLength;
  if (n > 0) std::memcpy(buffer, token.data(), n);  // an empty token may have no data at all
  buffer[n] = '\0';
  T value{};
  if (std::sscanf(buffer, format, &value) != 1) return false;
  *out = value;
  return true;
}

}  // namespace

bool ConvertFloat(std::string_view token, float* out) { return Scan(token, "%f", out); }
bool ConvertUnsigned(std::string_view token, uint32_t* out) { return Scan(token, "%u", out); }
bool ConvertHex(std::string_view token, uint32_t* out) { return Scan(token, "%x", out); }

bool ConvertInt(std::string_view token, int32_t* out) {
  // "%d" overflow is undefined in C; read wide and keep the low 32 bits as
  // the C library on our platforms does.
  long long wide = 0;
  if (!Scan(token, "%lld", &wide)) return false;
  *out = static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long long>(wide)));
  return true;
}

}  // namespace stagwerk
