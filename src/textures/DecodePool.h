#pragma once
// Worker threads that decode pictures while the loading thread reads on.
// Results come back through futures, so the caller takes them in the order
// it asked for them whatever order they finish in.
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "textures/Image.h"

namespace stagwerk {

class DecodePool {
 public:
  explicit DecodePool(unsigned workers);
  // Drops what is still queued (its futures report a broken promise), lets
  // the pictures being decoded finish, and joins the workers.
  ~DecodePool();
  DecodePool(const DecodePool&) = delete;
  DecodePool& operator=(const DecodePool&) = delete;

  // Image::Load(path), then prepare (when set), on a worker; a failure
  // comes out of the future.
  std::future<Image> Decode(const std::string& path, const std::function<void(Image&)>& prepare);

 private:
  void Work();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::packaged_task<Image()>> queue_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace stagwerk
