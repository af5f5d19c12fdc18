#include "base/FrameRate.h"

#include <cmath>
#include <cstdlib>
#include <numeric>

namespace stagwerk {

namespace {

constexpr int64_t kLargest = 1000000000;  // each term; their products stay far inside 64 bits
constexpr double kSlack = 1e-6;

// Digits only, at most nine of them.
std::optional<int64_t> Whole(const std::string& text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

std::optional<FrameRate> FrameRate::Parse(const std::string& text) {
  FrameRate r;
  if (const std::size_t slash = text.find('/'); slash != std::string::npos) {
    const auto n = Whole(text.substr(0, slash)), d = Whole(text.substr(slash + 1));
    if (!n || !d) return std::nullopt;
    r = {*n, *d};
  } else if (const std::size_t dot = text.find('.'); dot != std::string::npos) {
    const std::string fraction = text.substr(dot + 1);
    const auto whole = Whole(text.substr(0, dot)), part = Whole(fraction);
    if (!whole || !part || fraction.size() > 6) return std::nullopt;
    int64_t scale = 1;
    for (std::size_t i = 0; i < fraction.size(); ++i) scale *= 10;
    r = {*whole * scale + *part, scale};
  } else {
    const auto n = Whole(text);
    if (!n) return std::nullopt;
    r = {*n, 1};
  }
  if (r.den <= 0 || r.num <= 0 || r.num > kLargest || r.den > kLargest) return std::nullopt;
  const int64_t common = std::gcd(r.num, r.den);
  r.num /= common;
  r.den /= common;
  if (r.num < r.den || r.num > 1000 * r.den) return std::nullopt;
  return r;
}

int64_t FrameRate::FirstAtOrAfter(double t) const {
  return static_cast<int64_t>(std::ceil(t * PerSecond() - kSlack));
}

int64_t FrameRate::LastAtOrBefore(double t) const {
  return static_cast<int64_t>(std::floor(t * PerSecond() + kSlack));
}

std::string FrameRate::Text() const {
  return den == 1 ? std::to_string(num) : std::to_string(num) + "/" + std::to_string(den);
}

}  // namespace stagwerk
