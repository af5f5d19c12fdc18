#pragma once
// The kq7 command line: convert, info, export.
#include <ostream>
#include <string>
#include <vector>

namespace stagwerk::kq7 {

// Runs kq7 with args (without the program name); returns the exit status:
// 0 done, 1 bad input, 2 bad command line.
int RunKq7(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char* const kUsage;

}  // namespace stagwerk::kq7
