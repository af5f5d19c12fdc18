#include "app/loading/LoadBesideContext.h"

#include <utility>

namespace stagwerk {

namespace {
constexpr std::size_t kMostQueued = 4;
}  // namespace

LoadBesideContext::LoadBesideContext(Demo& demo, void (*prepare)(Image&)) : demo_(demo) {
  demo_.HandOverGpuWork([this](Demo::GpuWork work) { Post(std::move(work)); }, prepare);
  loader_ = std::thread([this] { Load(); });
}

LoadBesideContext::~LoadBesideContext() { Abandon(); }

void LoadBesideContext::Abandon() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
    work_.clear();
  }
  room_.notify_all();
  if (loader_.joinable()) loader_.join();
}

void LoadBesideContext::Post(Demo::GpuWork work) {
  std::unique_lock<std::mutex> lock(mutex_);
  // Each piece of work holds a decoded picture: a short queue keeps the
  // heap from growing past what the GL thread takes in.
  room_.wait(lock, [this] { return abandoned_ || work_.size() < kMostQueued; });
  if (abandoned_) throw Abandoned{};
  work_.push_back(std::move(work));
  changed_.notify_one();
}

void LoadBesideContext::Load() {
  std::exception_ptr failure;
  try {
    demo_.LoadContent();
  } catch (...) {
    failure = std::current_exception();
  }
  const std::lock_guard<std::mutex> lock(mutex_);
  failure_ = failure;
  loaded_ = true;
  changed_.notify_one();
}

void LoadBesideContext::Finish(Renderer& renderer) {
  for (;;) {
    Demo::GpuWork next;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return loaded_ || !work_.empty(); });
      if (work_.empty()) break;
      next = std::move(work_.front());
      work_.pop_front();
    }
    room_.notify_one();
    try {
      next(renderer);
    } catch (...) {
      // An upload that fails ends the load, as it would on one thread.
      Abandon();
      demo_.AttachRenderer(renderer);
      throw;
    }
  }
  loader_.join();
  // What was made is released through the renderer, whatever happened.
  demo_.AttachRenderer(renderer);
  if (failure_) std::rethrow_exception(failure_);
}

}  // namespace stagwerk
