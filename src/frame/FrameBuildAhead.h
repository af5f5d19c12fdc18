#pragma once
// Building the next frame on a worker while the one before is drawn. The
// caller says which frame it will ask for next, when it knows exactly; the
// worker builds it into the builder's other buffer. The frame asked for is
// the one built ahead only when asked for with exactly those inputs;
// otherwise what the worker did is taken back and the frame is built in
// line, as without a worker. Nothing else may use the builder meanwhile:
// Settle first.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "frame/FrameBuilder.h"
#include "frame/SyncValues.h"

namespace stagwerk {

// A worker pays with a second core; `--jobs 1` asks for one thread.
bool BuildAheadWanted(unsigned jobs);

class FrameBuildAhead {
 public:
  // Without a worker (off) every frame is built in line.
  FrameBuildAhead(FrameBuilder& builder, bool on);
  ~FrameBuildAhead();
  FrameBuildAhead(const FrameBuildAhead&) = delete;
  FrameBuildAhead& operator=(const FrameBuildAhead&) = delete;

  const Frame& Build(const Scene& scene, float t, const Camera& camera, const SyncValues& sync);
  // The frame the next Build will very likely ask for. The tracks sync
  // reads must not change until then.
  void Ahead(const Scene& scene, float t, const Camera& camera, const SyncValues& sync);
  // Waits for the worker and takes back a frame built ahead.
  void Settle();

  bool on() const { return worker_.joinable(); }
  int64_t hits() const { return hits_; }
  int64_t misses() const { return misses_; }

 private:
  struct Job {
    const Scene* scene = nullptr;
    const Camera* camera = nullptr;
    float t = 0.0f;
    SyncValues sync;
    bool Same(const Scene& s, float time, const Camera& c, const SyncValues& v) const;
  };
  void Work();
  void Wait();

  FrameBuilder& builder_;
  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable wake_;
  Job job_;
  FrameBuilder::Checkpoint before_{};
  const Frame* built_ = nullptr;
  bool pending_ = false;  // a job handed to the worker
  bool busy_ = false;     // the worker has not finished it
  bool quit_ = false;
  int64_t hits_ = 0;
  int64_t misses_ = 0;
};

}  // namespace stagwerk
