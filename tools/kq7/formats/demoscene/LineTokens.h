#pragma once
// Scene text as words that remember their line: LightWave writes one
// keyword per line, so a reader that starts every statement at a line's
// first word cannot be thrown off by values it does not know.
#include <string>
#include <string_view>
#include <vector>

namespace stagwerk::kq7 {

class LineTokens {
 public:
  explicit LineTokens(std::string_view text);

  bool AtEnd() const { return next_ >= words_.size(); }
  std::string_view Next();
  std::string_view Peek(std::size_t ahead = 0) const;
  // The line of the word Next() gives, counted from 1.
  int Line() const;
  // Words left on the line of the word last read.
  bool MoreOnLine() const;
  // The rest of the current line as written, blanks included.
  std::string RestOfLine();
  // Past the line of the word last read.
  void SkipLine();
  // Numbers at the start of the line that the next word starts (lines 0),
  // or of the lines after it.
  std::size_t NumbersOnLine(int lines = 0) const;

 private:
  struct Word {
    std::string_view text;
    int line;
  };
  std::string_view text_;
  std::vector<Word> words_;
  std::size_t next_ = 0;
};

bool IsNumber(std::string_view word);

}  // namespace stagwerk::kq7
