#include "app/cli/ArgumentText.h"

#include <cmath>
#include <cstdlib>

namespace stagwerk {

bool ParseSize(const std::string& text, int* width, int* height) {
  char* end = nullptr;
  const long w = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || (*end != 'x' && *end != 'X')) return false;
  const char* rest = end + 1;
  const long h = std::strtol(rest, &end, 10);
  if (end == rest || *end != '\0' || w < 1 || h < 1 || w > 16384 || h > 16384) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

bool ParseSeconds(const std::string& text, double* out) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value)) return false;
  *out = value;
  return true;
}

bool ParseSeconds(const std::string& text, float* out) {
  char* end = nullptr;
  const float value = std::strtof(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value)) return false;
  *out = value;
  return true;
}

bool ParseCount(const std::string& text, long low, long high, int* out) {
  char* end = nullptr;
  const long n = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || n < low || n > high) return false;
  *out = static_cast<int>(n);
  return true;
}

bool ParseNumber(const std::string& text, double low, double high, double* out) {
  double value = 0;
  if (!ParseSeconds(text, &value) || value < low || value > high) return false;
  *out = value;
  return true;
}

}  // namespace stagwerk
