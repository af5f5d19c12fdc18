#include "kq7/formats/demoscene/LineTokens.h"

#include <cstdlib>

#include "base/SceneReader.h"

namespace stagwerk::kq7 {

LineTokens::LineTokens(std::string_view text) : text_(text) {
  int line = 1;
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') ++line;
    // A lone CR ends a line too (old Mac files).
    if (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) ++line;
    if (!IsTokenChar(c)) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < text.size() && IsTokenChar(static_cast<unsigned char>(text[i]))) ++i;
    words_.push_back({text.substr(start, i - start), line});
  }
}

std::string_view LineTokens::Next() { return AtEnd() ? std::string_view() : words_[next_++].text; }

std::string_view LineTokens::Peek(std::size_t ahead) const {
  return next_ + ahead < words_.size() ? words_[next_ + ahead].text : std::string_view();
}

int LineTokens::Line() const { return AtEnd() ? (words_.empty() ? 1 : words_.back().line) : words_[next_].line; }

bool LineTokens::MoreOnLine() const {
  return next_ > 0 && next_ < words_.size() && words_[next_].line == words_[next_ - 1].line;
}

std::string LineTokens::RestOfLine() {
  if (!MoreOnLine()) return {};
  const std::size_t first = next_;
  while (MoreOnLine()) ++next_;
  const char* begin = words_[first].text.data();
  const char* end = words_[next_ - 1].text.data() + words_[next_ - 1].text.size();
  return std::string(begin, static_cast<std::size_t>(end - begin));
}

void LineTokens::SkipLine() {
  while (MoreOnLine()) ++next_;
}

std::size_t LineTokens::NumbersOnLine(int lines) const {
  std::size_t i = next_;
  for (; lines > 0 && i < words_.size(); --lines) {
    const int line = words_[i].line;
    while (i < words_.size() && words_[i].line == line) ++i;
  }
  std::size_t n = 0;
  for (std::size_t j = i; j < words_.size() && words_[j].line == words_[i].line; ++j) {
    if (!IsNumber(words_[j].text)) break;
    ++n;
  }
  return n;
}

bool IsNumber(std::string_view word) {
  if (word.empty() || word.size() > 64) return false;
  const std::string text(word);
  char* end = nullptr;
  std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size();
}

}  // namespace stagwerk::kq7
