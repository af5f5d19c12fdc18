#include "app/loading/LoadingHeap.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>

// After a C++ header, which defines __GLIBC__ where it applies.
#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace stagwerk {

namespace {

#if defined(__GLIBC__)
constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
// Headroom each growth of the heap takes beyond the block asked for: the
// next textures land in memory that was asked for huge pages beforehand.
constexpr int kTopPad = 64 << 20;
constexpr int kDefaultTopPad = 128 << 10;
constexpr int kDefaultTrimThreshold = 128 << 10;

// Where the heap ended when the load began; 0 while none is under way.
std::atomic<uintptr_t> loadBegan{0};
// How far huge pages were asked for, so a load of many meshes asks again
// only when the heap has grown.
std::atomic<uintptr_t> advisedTo{0};
// Loads inside a load (the thread that loads beside the context and the
// load it runs) share the outermost one's heap.
std::atomic<int> depth{0};

uintptr_t HeapEnd() { return reinterpret_cast<uintptr_t>(sbrk(0)); }
#endif

}  // namespace

LoadingHeap::LoadingHeap() {
#if defined(__GLIBC__)
  if (depth++ > 0) return;
  mallopt(M_ARENA_MAX, 1);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_TOP_PAD, kTopPad);
  loadBegan = HeapEnd();
  advisedTo = 0;
  // Grows the heap by its headroom now, so the first texture's memory is
  // advised before it is touched.
  std::free(std::malloc(1 << 20));
  Grew();
#endif
}

LoadingHeap::~LoadingHeap() {
#if defined(__GLIBC__)
  if (--depth > 0) return;
  loadBegan = 0;
  mallopt(M_TOP_PAD, kDefaultTopPad);
  mallopt(M_TRIM_THRESHOLD, kDefaultTrimThreshold);
  malloc_trim(0);
#endif
}

void LoadingHeap::Grew() {
#if defined(__GLIBC__)
  const uintptr_t began = loadBegan;
  if (began == 0) return;
  // Whole huge pages of what the heap gained since the last ask.
  const uintptr_t from = std::max(advisedTo.load(), (began + kHugePage - 1) & ~(kHugePage - 1));
  const uintptr_t to = HeapEnd() & ~(kHugePage - 1);
  if (to <= from) return;
  madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
  advisedTo = to;
#endif
}

void LoadingHeap::Prefault(std::size_t ahead) {
#if defined(__GLIBC__) && defined(MADV_POPULATE_WRITE)
  if (loadBegan == 0) return;
  // A block taken where the driver's next one would be, made resident and
  // given back: while a load is under way nothing is trimmed, so its pages
  // stay for the next blocks the heap hands out.
  void* block = std::malloc(ahead);
  if (block == nullptr) return;
  Grew();  // what the heap gained is asked huge pages before it is touched
  const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t from = (reinterpret_cast<uintptr_t>(block) + page - 1) & ~(page - 1);
  const uintptr_t to = (reinterpret_cast<uintptr_t>(block) + ahead) & ~(page - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
  std::free(block);
#else
  (void)ahead;
#endif
}

}  // namespace stagwerk
