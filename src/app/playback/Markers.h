#pragma once
// The author's markers: music times to come back to, kept in a small text
// file beside the demo script, one time in seconds a line, sorted.
#include <optional>
#include <string>
#include <vector>

namespace stagwerk {

// The markers file, in the script's folder.
constexpr const char* kMarkersFile = "markers.txt";

class Markers {
 public:
  // Reads `path` when it is there (none is no markers) and keeps saving to
  // it. A line that is not a time is skipped; the returned lines say
  // "path:line: ..." for each.
  std::vector<std::string> Load(const std::string& path);

  // Adds a marker at `seconds`, or removes the one within `tolerance` of it,
  // and saves. False, with the reason in `error`, when the file cannot be
  // written; the marker is changed anyway for this run.
  bool Toggle(double seconds, double tolerance, std::string& error);

  // The nearest marker more than `tolerance` before or after `seconds`.
  std::optional<double> Before(double seconds, double tolerance) const;
  std::optional<double> After(double seconds, double tolerance) const;

  const std::vector<double>& times() const { return times_; }
  const std::string& path() const { return path_; }

 private:
  bool Save(std::string& error) const;

  std::string path_;  // empty: kept for this run only
  std::vector<double> times_;
};

}  // namespace stagwerk
