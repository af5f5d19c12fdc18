#pragma once
// A loading failure: carries the exact text the player shows under "Loading Error".
#include <stdexcept>
#include <string>

namespace stagwerk {

class LoadError : public std::runtime_error {
 public:
  explicit LoadError(const std::string& text) : std::runtime_error(text) {}
};

}  // namespace stagwerk
