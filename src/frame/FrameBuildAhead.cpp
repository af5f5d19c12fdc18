#include "frame/FrameBuildAhead.h"

#include "base/FloatBits.h"

namespace stagwerk {

bool BuildAheadWanted(unsigned jobs) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  (void)jobs;
  return false;  // a page has one thread
#else
  return jobs != 1 && std::thread::hardware_concurrency() > 1;
#endif
}

bool FrameBuildAhead::Job::Same(const Scene& s, float time, const Camera& c, const SyncValues& v) const {
  return scene == &s && camera == &c && BitsOfFloat(t) == BitsOfFloat(time) && sync == v;
}

FrameBuildAhead::FrameBuildAhead(FrameBuilder& builder, bool on) : builder_(builder) {
  if (on) worker_ = std::thread([this] { Work(); });
}

FrameBuildAhead::~FrameBuildAhead() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

void FrameBuildAhead::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return quit_ || busy_; });
    if (quit_) return;
    const Job job = job_;
    lock.unlock();
    const Frame& frame = builder_.Build(*job.scene, job.t, *job.camera, job.sync);
    lock.lock();
    built_ = &frame;
    busy_ = false;
    wake_.notify_all();
  }
}

void FrameBuildAhead::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait(lock, [this] { return !busy_; });
}

void FrameBuildAhead::Ahead(const Scene& scene, float t, const Camera& camera, const SyncValues& sync) {
  if (!worker_.joinable()) return;
  Settle();
  before_ = builder_.Mark();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = {&scene, &camera, t, sync};
    pending_ = busy_ = true;
  }
  wake_.notify_all();
}

void FrameBuildAhead::Settle() {
  if (!pending_) return;
  Wait();
  pending_ = false;
  builder_.Rewind(before_);
  ++misses_;
}

const Frame& FrameBuildAhead::Build(const Scene& scene, float t, const Camera& camera, const SyncValues& sync) {
  if (pending_ && job_.Same(scene, t, camera, sync)) {
    Wait();
    pending_ = false;
    ++hits_;
    return *built_;
  }
  Settle();
  return builder_.Build(scene, t, camera, sync);
}

}  // namespace stagwerk
