#include "textures/DecodePool.h"

namespace stagwerk {

DecodePool::DecodePool(unsigned workers) {
  workers_.reserve(workers);
  for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { Work(); });
}

DecodePool::~DecodePool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

std::future<Image> DecodePool::Decode(const std::string& path, const std::function<void(Image&)>& prepare) {
  std::packaged_task<Image()> task([path, prepare] {
    Image image = Image::Load(path);
    if (prepare) prepare(image);
    return image;
  });
  std::future<Image> result = task.get_future();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(task));
  }
  wake_.notify_one();
  return result;
}

void DecodePool::Work() {
  for (;;) {
    std::packaged_task<Image()> task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    task();  // an exception lands in the future
  }
}

}  // namespace stagwerk
