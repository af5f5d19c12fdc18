#pragma once
// A demo loading on its own thread while the caller makes the GL context:
// reading the script, scenes and meshes and decoding pictures need no GL,
// so on more than one core none of it waits for the context. The GPU work
// the load asks for (the loading picture, every upload) is handed over in
// order; the caller runs it once its renderer exists. The loader never
// waits for that.
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "app/loading/Demo.h"
#include "app/loading/LoadingHeap.h"

namespace stagwerk {

class LoadBesideContext {
 public:
  // Starts demo.LoadContent(); `prepare` makes a picture ready as the
  // renderer to come would.
  LoadBesideContext(Demo& demo, void (*prepare)(Image&));
  // Without Finish (no context could be made): the load is told to stop at
  // its next upload and waited for.
  ~LoadBesideContext();
  LoadBesideContext(const LoadBesideContext&) = delete;
  LoadBesideContext& operator=(const LoadBesideContext&) = delete;

  // With the renderer made: runs the handed-over work as it comes until the
  // load is over, attaches the renderer to the demo, and throws what the
  // load threw.
  void Finish(Renderer& renderer);

 private:
  struct Abandoned {};  // thrown into the loader once nobody will run its work
  void Post(Demo::GpuWork work);
  // No more work is run: the loader stops at its next hand-over.
  void Abandon();
  void Load();

  Demo& demo_;
  const LoadingHeap heap_;  // until the last upload, not just the last file
  std::mutex mutex_;
  std::condition_variable changed_;  // work came, or the load ended
  std::condition_variable room_;     // the queue has room, or nobody will run it
  std::deque<Demo::GpuWork> work_;
  bool loaded_ = false;
  bool abandoned_ = false;
  std::exception_ptr failure_;
  std::thread loader_;  // last: started once everything above exists
};

}  // namespace stagwerk
