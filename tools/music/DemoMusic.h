#pragma once
// The bundled demo's soundtrack, synthesised from code: 120 beats a minute
// in A minor, drums, bass, a lead and chords, in sections that start on
// known bars so the demo script can cut scenes on the music.
#include <vector>

namespace stagwerk::music {

struct MusicSection {
  const char* name;
  double start;  // seconds
};

constexpr int kDemoMusicRate = 44100;
constexpr int kDemoMusicChannels = 2;

// The sections in order; the last one ends at DemoMusicLength().
const std::vector<MusicSection>& DemoMusicSections();
double DemoMusicLength();

// Interleaved stereo at kDemoMusicRate. Deterministic. `seconds` cuts the
// piece short (a negative value renders all of it).
std::vector<float> RenderDemoMusic(double seconds = -1.0);

}  // namespace stagwerk::music
