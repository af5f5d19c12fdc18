// While a demo loads, the heap it grows into is asked for huge pages.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "app/loading/LoadingHeap.h"

namespace stagwerk {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kOwnAllocator = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kOwnAllocator = true;
#else
constexpr bool kOwnAllocator = false;
#endif
#else
constexpr bool kOwnAllocator = false;
#endif

// The VmFlags of the mapping that holds address, from /proc/self/smaps.
std::string FlagsOfMappingAt(const void* address) {
  const auto at = reinterpret_cast<uintptr_t>(address);
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    unsigned long from = 0, to = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx ", &from, &to) == 2 && line.find(':') > line.find(' ')) {
      inside = at >= from && at < to;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      return line;
    }
  }
  return "";
}

TEST(LoadingHeap, WhatALoadAddsToTheHeapAsksForHugePages) {
#if !defined(__GLIBC__)
  GTEST_SKIP() << "the heap is glibc's";
#endif
  if (kOwnAllocator) GTEST_SKIP() << "the sanitizer's allocator has no such heap";
  if (!std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled")) GTEST_SKIP() << "a kernel without huge pages";
  std::vector<std::unique_ptr<char[]>> textures;
  {
    const LoadingHeap heap;
    // Texture-sized blocks, as the driver and the pictures take them.
    for (int i = 0; i < 8; ++i) textures.emplace_back(new char[5u << 20]);
    LoadingHeap::Grew();
    const std::string flags = FlagsOfMappingAt(textures[4].get() + (2u << 20));
    EXPECT_NE(flags.find(" hg"), std::string::npos) << flags;
  }
  // Afterwards nothing more is asked; what was allocated stays as it is.
  textures.emplace_back(new char[5u << 20]);
  LoadingHeap::Grew();
  textures.clear();
}

// The driver's next texture, allocated on the GL thread after a decoding
// thread made the heap's top resident, finds its pages there already.
TEST(LoadingHeap, APrefaultedBlockIsResidentBeforeItIsTouched) {
#if !defined(__GLIBC__)
  GTEST_SKIP() << "the heap is glibc's";
#endif
  if (kOwnAllocator) GTEST_SKIP() << "the sanitizer's allocator has no such heap";
  const LoadingHeap heap;
  LoadingHeap::Prefault(std::size_t{8} << 20);
  const std::size_t size = std::size_t{4} << 20;
  std::unique_ptr<char[]> texture(new char[size]);  // not written: no fault of its own
  const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t from = (reinterpret_cast<uintptr_t>(texture.get()) + page - 1) & ~(page - 1);
  std::vector<unsigned char> resident((size - page) / page);
  ASSERT_EQ(mincore(reinterpret_cast<void*>(from), resident.size() * page, resident.data()), 0);
  std::size_t in = 0;
  for (unsigned char r : resident) in += r & 1;
  EXPECT_EQ(in, resident.size());
}

}  // namespace
}  // namespace stagwerk
