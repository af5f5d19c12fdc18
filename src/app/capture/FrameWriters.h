#pragma once
// Frames written on threads of their own, so drawing the next frame goes on
// while one is encoded or compressed. A short queue bounds the memory; a
// full one makes Push wait, and that wait is the writers' share of the time.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace stagwerk {

class FrameWriters {
 public:
  using WriteFrame = std::function<void(int64_t index, const std::vector<unsigned char>& rgb)>;
  // One thread keeps the frames in order (a video); more write them in any
  // order (picture files).
  FrameWriters(int threads, std::size_t queued, WriteFrame write);
  ~FrameWriters();
  FrameWriters(const FrameWriters&) = delete;
  FrameWriters& operator=(const FrameWriters&) = delete;

  // Throws LoadError once a write has failed.
  void Push(int64_t index, const std::vector<unsigned char>& rgb);
  // Every frame written; throws LoadError for the first that failed.
  void Finish();

 private:
  struct Item {
    int64_t index;
    std::vector<unsigned char> rgb;
  };
  void Work();
  void Stop();
  void ThrowIfFailed();

  WriteFrame write_;
  std::size_t queued_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Item> items_;
  std::vector<std::vector<unsigned char>> spare_;  // buffers reused, not reallocated
  int busy_ = 0;
  bool stopping_ = false;
  std::string failure_;
  std::vector<std::thread> threads_;
};

}  // namespace stagwerk
