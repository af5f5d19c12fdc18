// Writes the bundled demo's music track, synthesised by our own code, as
// Ogg Vorbis, and prints where its sections start for the demo script.
#include <cstdio>
#include <exception>
#include <string>

#include "music/DemoMusic.h"
#include "music/OggVorbisWriter.h"

int main(int argc, char** argv) {
  using namespace stagwerk::music;
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr, "usage: make_demo_music OUT.ogg\n");
    return argc == 2 ? 0 : 2;
  }
  try {
    WriteOggVorbis(argv[1], RenderDemoMusic(), kDemoMusicChannels, kDemoMusicRate);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "make_demo_music: %s\n", error.what());
    return 1;
  }
  std::printf("%s: %.1f s\n", argv[1], DemoMusicLength());
  for (const MusicSection& section : DemoMusicSections()) {
    const int ms = static_cast<int>(section.start * 1000.0 + 0.5);
    std::printf("  %-7s %6.3f s  %02d:%02d:%02d:%03d\n", section.name, section.start, ms / 3600000,
                ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
  }
  return 0;
}
