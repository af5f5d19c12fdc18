#pragma once
// The heap while a demo loads. Every texture brings a decoded picture, its
// mipmaps and the GL driver's copy: hundreds of megabytes touched for the
// first time within a second or two, and on a virtual machine each fresh
// 4 KB page costs more than decoding it. For the length of a load, freed
// blocks stay in one heap for the next picture and the driver's next
// texture to reuse, and that heap asks for huge pages (where the system
// grants them on request), so fresh memory comes 2 MB at a time. When the
// load ends, what is free goes back. Without glibc it does nothing.

#include <cstddef>

namespace stagwerk {

class LoadingHeap {
 public:
  LoadingHeap();
  ~LoadingHeap();
  LoadingHeap(const LoadingHeap&) = delete;
  LoadingHeap& operator=(const LoadingHeap&) = delete;

  // The heap may have grown (a texture or mesh was just made): asks huge
  // pages for what it has gained. Nothing while no load is under way.
  static void Grew();
  // On a thread other than the driver's: makes `ahead` bytes of free heap
  // resident, so the driver's next textures land in pages already there
  // instead of faulting each in on the GL thread. Nothing while no load is
  // under way.
  static void Prefault(std::size_t ahead);
};

}  // namespace stagwerk
