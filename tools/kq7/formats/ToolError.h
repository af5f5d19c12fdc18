#pragma once
// The two ways a kq7 run fails, told apart by their exit status.
#include <stdexcept>
#include <string>

namespace stagwerk::kq7 {

// The input cannot be read or does not fit a KQ7 file: exit status 1.
class InputError : public std::runtime_error {
 public:
  explicit InputError(const std::string& text) : std::runtime_error(text) {}
};

// The command line is wrong: exit status 2.
class UsageError : public std::runtime_error {
 public:
  explicit UsageError(const std::string& text) : std::runtime_error(text) {}
};

}  // namespace stagwerk::kq7
