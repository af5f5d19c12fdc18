#pragma once
// The demo's files for --watch: everything under its data folder, and the
// configuration's folder. A burst of saves is one reload, once the files
// have been quiet for a moment.
#include <chrono>
#include <string>

#include "platform/FileWatcher.h"

namespace stagwerk {

class Demo;

class DemoWatch {
 public:
  DemoWatch(const std::string& configPath, const Demo& demo);

  // True once after files were saved and then left alone for kQuiet.
  bool Due();
  // The file saved last, for the messages.
  const std::string& saved() const { return saved_; }
  // Whether the music file was among the files saved; asking forgets it.
  bool TakeMusicChanged();

  static constexpr std::chrono::milliseconds kQuiet{100};

 private:
  FileWatcher watcher_;
  std::string music_;
  std::string saved_;
  bool musicChanged_ = false;
  bool pending_ = false;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace stagwerk
