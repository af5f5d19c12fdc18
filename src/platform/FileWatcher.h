#pragma once
// Tells which files under some folders were saved, on inotify. Folders are
// watched rather than files, so an editor that writes a new file and
// renames it over the old one is seen like one that writes in place.
#include <string>
#include <vector>

namespace stagwerk {

class FileWatcher {
 public:
  // Each of `trees` with every folder below it as they are now, and the
  // `flat` folders alone. Folders that cannot be watched are left out with
  // a line on stderr.
  FileWatcher(const std::vector<std::string>& trees, const std::vector<std::string>& flat);
  ~FileWatcher();
  FileWatcher(const FileWatcher&) = delete;
  FileWatcher& operator=(const FileWatcher&) = delete;

  // The paths written, renamed in or removed since the last call; never
  // waits. Editors' hidden, backup and swap files are left out.
  std::vector<std::string> Changed();

 private:
  int fd_ = -1;
  std::vector<std::pair<int, std::string>> watches_;
};

}  // namespace stagwerk
