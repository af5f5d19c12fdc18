#include "app/capture/FrameWriters.h"

#include <exception>

#include "base/LoadError.h"

namespace stagwerk {

FrameWriters::FrameWriters(int threads, std::size_t queued, WriteFrame write)
    : write_(std::move(write)), queued_(queued < 1 ? 1 : queued) {
  for (int i = 0; i < (threads < 1 ? 1 : threads); ++i) threads_.emplace_back([this] { Work(); });
}

FrameWriters::~FrameWriters() { Stop(); }

void FrameWriters::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& t : threads_) t.join();
  threads_.clear();
}

void FrameWriters::ThrowIfFailed() {
  if (!failure_.empty()) throw LoadError(failure_);
}

void FrameWriters::Push(int64_t index, const std::vector<unsigned char>& rgb) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return items_.size() < queued_ || !failure_.empty(); });
  ThrowIfFailed();
  std::vector<unsigned char> copy;
  if (!spare_.empty()) {
    copy = std::move(spare_.back());
    spare_.pop_back();
  }
  copy.assign(rgb.begin(), rgb.end());
  items_.push_back({index, std::move(copy)});
  lock.unlock();
  changed_.notify_all();
}

void FrameWriters::Finish() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return (items_.empty() && busy_ == 0) || !failure_.empty(); });
  }
  Stop();
  ThrowIfFailed();
}

void FrameWriters::Work() {
  for (;;) {
    Item item;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return !items_.empty() || stopping_; });
      if (items_.empty() || !failure_.empty()) return;
      item = std::move(items_.front());
      items_.pop_front();
      ++busy_;
    }
    std::string failed;
    try {
      write_(item.index, item.rgb);
    } catch (const std::exception& e) {
      failed = e.what();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --busy_;
      if (!failed.empty() && failure_.empty()) failure_ = failed;
      spare_.push_back(std::move(item.rgb));
    }
    changed_.notify_all();
  }
}

}  // namespace stagwerk
