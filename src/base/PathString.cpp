#include "base/PathString.h"

#include "base/LoadError.h"

namespace stagwerk {

PathString& PathString::Append(std::string_view text) {
  if (text_.size() + text.size() > kMaxLength) {
    throw LoadError("Path too long: " + text_ + std::string(text));
  }
  text_.append(text);
  return *this;
}

void PathString::AssignCut(std::string_view text) {
  text_.assign(text.substr(0, kMaxLength));
}

}  // namespace stagwerk
