#pragma once
// Option values as the command line spells them.
#include <string>

namespace stagwerk {

// WIDTHxHEIGHT, each side 1 to 16384.
bool ParseSize(const std::string& text, int* width, int* height);
// A finite decimal number of seconds.
bool ParseSeconds(const std::string& text, float* out);
bool ParseSeconds(const std::string& text, double* out);
// A whole number from low to high.
bool ParseCount(const std::string& text, long low, long high, int* out);
// A finite decimal from low to high.
bool ParseNumber(const std::string& text, double low, double high, double* out);

}  // namespace stagwerk
