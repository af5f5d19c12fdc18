// Writes the small ProTracker test module (a pattern loop and a position
// jump), e.g. as the module fuzzer's seed.
#include <cstdio>
#include <exception>
#include <string>

#include "music/ProTrackerModule.h"

int main(int argc, char** argv) {
  using namespace stagwerk::music;
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr, "usage: make_test_module OUT.mod\n");
    return argc == 2 ? 0 : 2;
  }
  try {
    WriteBytes(argv[1], MakeTestModule());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "make_test_module: %s\n", error.what());
    return 1;
  }
  std::printf("%s: %.2f s\n", argv[1], kTestModuleSeconds);
  return 0;
}
