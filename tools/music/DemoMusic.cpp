#include "music/DemoMusic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace stagwerk::music {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBeat = 0.5;            // 120 beats a minute
constexpr double kBar = 4 * kBeat;
constexpr double kSixteenth = kBeat / 4;
constexpr double kEighth = kBeat / 2;
constexpr int kBars = 28;
constexpr double kTail = 1.5;            // the last chord rings out
constexpr double kRate = kDemoMusicRate;

// Sections by bar; the script cuts on these.
enum Section { kIntro, kBuild, kDrop, kBreak, kFinale, kOutro };
constexpr std::array<int, 6> kSectionBars = {0, 4, 8, 16, 20, 26};

Section SectionOf(int bar) {
  int section = 0;
  for (int i = 0; i < static_cast<int>(kSectionBars.size()); ++i) {
    if (bar >= kSectionBars[static_cast<std::size_t>(i)]) section = i;
  }
  return static_cast<Section>(section);
}

double Frequency(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

// Am, F, C, G, one bar each. Chords voiced close around middle C.
constexpr std::array<int, 4> kBassRoots = {45, 41, 48, 43};
constexpr std::array<std::array<int, 3>, 4> kChords = {{{57, 60, 64}, {57, 60, 65}, {55, 60, 64}, {55, 59, 62}}};
// The lead over the four chords, in eighths; 0 holds the previous note.
constexpr std::array<int, 32> kMelody = {76, 0, 72, 0, 69, 0, 72, 76,   //
                                         77, 0, 76, 72, 0, 0, 69, 0,    //
                                         79, 0, 76, 0, 72, 0, 76, 79,   //
                                         74, 0, 71, 0, 74, 76, 74, 0};

// xorshift: the same noise every run.
class Noise {
 public:
  float Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(state_ / 4294967295.0 * 2.0 - 1.0);
  }

 private:
  uint32_t state_ = 0x9E3779B9u;
};

class OnePole {
 public:
  void SetCutoff(double hertz) { a_ = 1.0 - std::exp(-2.0 * kPi * hertz / kRate); }
  double Run(double x) { return y_ += a_ * (x - y_); }

 private:
  double a_ = 1.0;
  double y_ = 0.0;
};

class Track {
 public:
  explicit Track(std::size_t frames) : left_(frames, 0.0f), right_(frames, 0.0f) {}
  std::size_t frames() const { return left_.size(); }

  // Calls voice(t) for every sample from `start` for `length` seconds and
  // mixes the result in at `pan` (-1 left, 1 right).
  template <typename Voice>
  void Play(double start, double length, double pan, Voice voice) {
    const double angle = (pan + 1.0) * kPi / 4.0;
    const float gainLeft = static_cast<float>(std::cos(angle));
    const float gainRight = static_cast<float>(std::sin(angle));
    const auto first = static_cast<std::size_t>(start * kRate);
    const auto count = static_cast<std::size_t>(length * kRate);
    for (std::size_t i = 0; i < count && first + i < frames(); ++i) {
      const float value = static_cast<float>(voice(static_cast<double>(i) / kRate));
      left_[first + i] += value * gainLeft;
      right_[first + i] += value * gainRight;
    }
  }

  std::vector<float>& left() { return left_; }
  std::vector<float>& right() { return right_; }

 private:
  std::vector<float> left_;
  std::vector<float> right_;
};

double Saw(double phase) { return 2.0 * (phase - std::floor(phase)) - 1.0; }

void Kick(Track& track, double at, double gain) {
  double phase = 0.0;
  track.Play(at, 0.45, 0.0, [&](double t) {
    phase += (48.0 + 110.0 * std::exp(-t * 28.0)) / kRate;
    return gain * std::sin(2.0 * kPi * phase) * std::exp(-t * 7.0);
  });
}

void Snare(Track& track, Noise& noise, double at, double gain) {
  OnePole tone;
  tone.SetCutoff(6000.0);
  track.Play(at, 0.25, 0.1, [&](double t) {
    const double body = std::sin(2.0 * kPi * 185.0 * t) * std::exp(-t * 30.0);
    const double rattle = tone.Run(noise.Next()) * std::exp(-t * 16.0);
    return gain * (0.45 * body + 0.6 * rattle);
  });
}

void Hat(Track& track, Noise& noise, double at, double gain, bool open) {
  OnePole low;
  low.SetCutoff(7000.0);
  const double decay = open ? 14.0 : 70.0;
  track.Play(at, open ? 0.25 : 0.06, 0.35, [&](double t) {
    const double x = noise.Next();
    return gain * (x - low.Run(x)) * std::exp(-t * decay);  // high-passed
  });
}

void Bass(Track& track, double at, double length, int note) {
  const double f = Frequency(note);
  OnePole filter;
  track.Play(at, length, 0.0, [&](double t) {
    filter.SetCutoff(220.0 + 1400.0 * std::exp(-t * 14.0));
    const double raw = 0.6 * Saw(f * t) + 0.4 * std::sin(2.0 * kPi * f * t);
    const double envelope = std::min(1.0, t * 400.0) * std::exp(-t * 3.0) * std::min(1.0, (length - t) * 80.0);
    return 0.32 * filter.Run(raw) * envelope;
  });
}

void Pad(Track& track, double at, double length, const std::array<int, 3>& chord, double gain, double pan) {
  for (std::size_t voice = 0; voice < chord.size(); ++voice) {
    const double f = Frequency(chord[voice]);
    OnePole filter;
    filter.SetCutoff(1500.0);
    track.Play(at, length + 0.6, pan + 0.3 * (static_cast<double>(voice) - 1.0), [&, f](double t) {
      // Three detuned saws: a slow chorus without a chorus effect.
      const double raw = Saw(f * t) + Saw(f * 1.004 * t + 0.3) + Saw(f * 0.996 * t + 0.6);
      const double attack = std::min(1.0, t / 0.35);
      const double release = t < length ? 1.0 : std::exp(-(t - length) * 8.0);
      return gain * 0.09 * filter.Run(raw) * attack * release;
    });
  }
}

void Lead(Track& track, double at, double length, int note, double gain) {
  const double f = Frequency(note);
  double phase = 0.0;
  OnePole filter;
  filter.SetCutoff(3200.0);
  track.Play(at, length + 0.15, 0.0, [&](double t) {
    const double vibrato = 1.0 + 0.004 * std::sin(2.0 * kPi * 5.5 * t) * std::min(1.0, t * 3.0);
    phase += f * vibrato / kRate;
    // A 35% pulse, its DC taken out.
    const double pulse = ((phase - std::floor(phase)) < 0.35 ? 1.0 : -1.0) + 0.3;
    const double envelope = std::min(1.0, t * 150.0) * (0.6 + 0.4 * std::exp(-t * 6.0)) *
                            (t < length ? 1.0 : std::exp(-(t - length) * 40.0));
    return gain * 0.16 * filter.Run(pulse) * envelope;
  });
}

void Pluck(Track& track, double at, int note, double gain, double pan) {
  const double f = Frequency(note);
  track.Play(at, 0.3, pan, [&](double t) {
    const double tone = std::sin(2.0 * kPi * f * t + 1.5 * std::exp(-t * 20.0) * std::sin(2.0 * kPi * 2.0 * f * t));
    return gain * 0.12 * tone * std::exp(-t * 12.0);
  });
}

// A ping-pong echo of three sixteenths on the lead.
void Echo(Track& dry, Track& mix) {
  const auto delay = static_cast<std::size_t>(3 * kSixteenth * kRate);
  std::vector<float> left(dry.frames(), 0.0f);
  std::vector<float> right(dry.frames(), 0.0f);
  for (std::size_t i = delay; i < dry.frames(); ++i) {
    left[i] = 0.5f * dry.right()[i - delay] + 0.38f * right[i - delay];
    right[i] = 0.5f * dry.left()[i - delay] + 0.38f * left[i - delay];
  }
  for (std::size_t i = 0; i < dry.frames(); ++i) {
    mix.left()[i] += dry.left()[i] + 0.35f * left[i];
    mix.right()[i] += dry.right()[i] + 0.35f * right[i];
  }
}

}  // namespace

const std::vector<MusicSection>& DemoMusicSections() {
  static const std::vector<MusicSection> sections = {
      {"intro", kSectionBars[0] * kBar},  {"build", kSectionBars[1] * kBar},
      {"drop", kSectionBars[2] * kBar},   {"break", kSectionBars[3] * kBar},
      {"finale", kSectionBars[4] * kBar}, {"outro", kSectionBars[5] * kBar},
  };
  return sections;
}

double DemoMusicLength() { return kBars * kBar + kTail; }

std::vector<float> RenderDemoMusic(double seconds) {
  const double length = seconds < 0.0 ? DemoMusicLength() : std::min(seconds, DemoMusicLength());
  const auto frames = static_cast<std::size_t>(length * kRate);
  Track mix(frames);
  Track lead(frames);
  Noise noise;

  for (int bar = 0; bar < kBars && bar * kBar < length; ++bar) {
    const Section section = SectionOf(bar);
    const double at = bar * kBar;
    const auto chord = static_cast<std::size_t>(bar % 4);
    const bool drums = section == kDrop || section == kFinale;

    // Chords: a swell in the intro, quieter under the full band.
    const double padGain = section == kIntro   ? 0.6 + 0.15 * bar
                           : section == kBreak ? 1.1
                           : section == kOutro ? 0.9
                                               : 0.7;
    if (section == kOutro) {
      if (bar == kSectionBars[kOutro]) Pad(mix, at, 2 * kBar, kChords[0], padGain, 0.0);
    } else {
      Pad(mix, at, kBar, kChords[chord], padGain, 0.0);
    }

    if (section == kBuild || drums) {
      for (int beat = 0; beat < 4; ++beat) Kick(mix, at + beat * kBeat, 0.9);
    }
    if (section == kOutro && bar == kSectionBars[kOutro]) Kick(mix, at, 1.0);
    if (drums) {
      Snare(mix, noise, at + kBeat, 0.55);
      Snare(mix, noise, at + 3 * kBeat, 0.55);
    }
    // Snare rolls lead into the drop and out of the finale.
    if (bar == kSectionBars[kDrop] - 1 || bar == kSectionBars[kOutro] - 1) {
      for (int step = 8; step < 16; ++step) Snare(mix, noise, at + step * kSixteenth, 0.15 + 0.05 * (step - 8));
    }
    if ((section == kIntro && bar >= 2) || section == kBuild) {
      for (int eighth = 0; eighth < 8; ++eighth) {
        if (eighth % 2 == 1) Hat(mix, noise, at + eighth * kEighth, section == kIntro ? 0.12 : 0.2, false);
      }
    }
    if (drums) {
      for (int step = 0; step < 16; ++step) {
        const bool open = step % 4 == 2;
        Hat(mix, noise, at + step * kSixteenth, open ? 0.14 : (step % 2 == 0 ? 0.2 : 0.1), open);
      }
    }

    if (section == kBuild || drums) {
      constexpr std::array<int, 8> kBassLine = {0, 0, 12, 0, 0, 12, 0, 7};
      for (int eighth = 0; eighth < 8; ++eighth) {
        Bass(mix, at + eighth * kEighth, kEighth * 0.85, kBassRoots[chord] + kBassLine[static_cast<std::size_t>(eighth)]);
      }
    }

    if (section == kDrop || section == kBreak || section == kFinale) {
      // The break plays the tune an octave down and softly; the finale's
      // second half an octave up.
      const int octave = section == kBreak ? -12 : (section == kFinale && bar >= kSectionBars[kFinale] + 4 ? 12 : 0);
      const double gain = section == kBreak ? 0.6 : 1.0;
      for (int eighth = 0; eighth < 8; ++eighth) {
        const int note = kMelody[chord * 8 + static_cast<std::size_t>(eighth)];
        if (note == 0) continue;
        int held = 1;
        while (eighth + held < 8 && kMelody[chord * 8 + static_cast<std::size_t>(eighth + held)] == 0) ++held;
        Lead(lead, at + eighth * kEighth, held * kEighth * 0.9, note + octave, gain);
      }
    }
    if (section == kBreak || section == kFinale) {
      for (int step = 0; step < 16; ++step) {
        const int note = kChords[chord][static_cast<std::size_t>(step % 3)] + 12 + (step % 6 >= 3 ? 12 : 0);
        Pluck(mix, at + step * kSixteenth, note, section == kBreak ? 1.0 : 0.6, step % 2 == 0 ? -0.5 : 0.5);
      }
    }
  }
  Echo(lead, mix);

  // Master: a gentle limiter and a fade over the tail.
  std::vector<float> out(frames * kDemoMusicChannels);
  const double fadeStart = kBars * kBar;
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double fade = t < fadeStart ? 1.0 : std::max(0.0, 1.0 - (t - fadeStart) / kTail);
    out[2 * i] = static_cast<float>(std::tanh(1.2 * mix.left()[i]) * 0.85 * fade);
    out[2 * i + 1] = static_cast<float>(std::tanh(1.2 * mix.right()[i]) * 0.85 * fade);
  }
  return out;
}

}  // namespace stagwerk::music
