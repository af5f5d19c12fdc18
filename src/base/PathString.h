#pragma once
// A bounded name or path: at most 249 characters, like the 250-byte buffers
// every token and built path lives in. Appending past the limit throws rather
// than writing past the buffer.
#include <cstddef>
#include <string>
#include <string_view>

namespace stagwerk {

class PathString {
 public:
  static constexpr std::size_t kCapacity = 250;
  static constexpr std::size_t kMaxLength = kCapacity - 1;

  PathString() = default;
  explicit PathString(std::string_view text) { Append(text); }

  // Throws LoadError("Path too long: <text>") when the result would not fit.
  PathString& Append(std::string_view text);
  // Keeps at most kMaxLength characters; used for tokens, which are cut.
  void AssignCut(std::string_view text);

  const char* c_str() const { return text_.c_str(); }
  const std::string& str() const { return text_; }
  std::string_view view() const { return text_; }
  std::size_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }
  bool operator==(std::string_view other) const { return text_ == other; }

 private:
  std::string text_;
};

}  // namespace stagwerk
