#include "app/playback/Markers.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace stagwerk {

std::vector<std::string> Markers::Load(const std::string& path) {
  path_ = path;
  times_.clear();
  std::vector<std::string> problems;
  std::ifstream in(path);
  if (!in) return problems;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) continue;  // blank lines are allowed
    const char* begin = line.c_str() + first;
    char* end = nullptr;
    errno = 0;
    const double t = std::strtod(begin, &end);
    while (end != nullptr && (*end == ' ' || *end == '\t')) ++end;
    if (end == begin || *end != '\0' || errno != 0 || !std::isfinite(t) || t < 0) {
      problems.push_back(path + ":" + std::to_string(number) + ": not a music time in seconds, skipped: " + line);
      continue;
    }
    times_.push_back(t);
  }
  std::sort(times_.begin(), times_.end());
  times_.erase(std::unique(times_.begin(), times_.end()), times_.end());
  return problems;
}

bool Markers::Toggle(double seconds, double tolerance, std::string& error) {
  const auto near = std::find_if(times_.begin(), times_.end(),
                                 [&](double t) { return std::abs(t - seconds) <= tolerance; });
  if (near != times_.end()) times_.erase(near);
  else times_.insert(std::upper_bound(times_.begin(), times_.end(), seconds), seconds);
  return Save(error);
}

std::optional<double> Markers::Before(double seconds, double tolerance) const {
  for (auto t = times_.rbegin(); t != times_.rend(); ++t) {
    if (*t < seconds - tolerance) return *t;
  }
  return std::nullopt;
}

std::optional<double> Markers::After(double seconds, double tolerance) const {
  for (double t : times_) {
    if (t > seconds + tolerance) return t;
  }
  return std::nullopt;
}

// A new file renamed over the old, so a crash or a full disk never leaves
// half a list behind.
bool Markers::Save(std::string& error) const {
  if (path_.empty()) return true;
  const std::string temporary = path_ + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    for (double t : times_) {
      char text[32];
      std::snprintf(text, sizeof text, "%.6f\n", t);
      out << text;
    }
    out.flush();
    if (!out) {
      error = "cannot write " + temporary + ": " + std::strerror(errno);
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code failed;
  std::filesystem::rename(temporary, path_, failed);
  if (failed) {
    error = "cannot save " + path_ + ": " + failed.message();
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace stagwerk
