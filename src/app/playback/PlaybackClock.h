#pragma once
// The playback clock: which script entry plays, at which scene time, and
// when the demo is over. The music position moves playback from one entry
// to the next; the performance counter gives the scene time inside an entry.
#include <cstdint>
#include <optional>
#include <vector>

namespace stagwerk {

struct Camera;
struct DemoScript;
struct Scene;
struct ScriptEntry;
class Clock;
class MusicPlayer;

// Where the frames go: the GL renderer in the player, nothing at all while
// playback is fast-forwarded on virtual time, a recorder in tests.
struct FrameTarget {
  virtual ~FrameTarget() = default;
  virtual void ActivateScene(Scene& scene) = 0;
  // musicTime: when the entry shows that scene time (EntryMusicTime).
  virtual void RenderFrame(Scene& scene, float time, Camera& camera, double musicTime) = 0;
  // The frame the next pass will draw if its clock reading is where this
  // one's pacing ended, as on a virtual clock, and no entry begins.
  virtual void Upcoming(Scene&, float, Camera&, double) {}
};

struct NullFrameTarget final : FrameTarget {
  void ActivateScene(Scene&) override {}
  void RenderFrame(Scene&, float, Camera&, double) override {}
};

// The state playback is in at some music time, carried from a run on
// virtual time into a real one.
struct PlaybackPosition {
  int32_t entry = 0;          // index into the script
  float sceneTime = 0.0f;     // of that entry, at that moment
  float musicTime = 0.0f;     // the music time itself
  int64_t musicPosition = 0;  // where the music is then, 100 ns units
  float lastMusicTime = -1.0f;
  bool ended = false;         // the demo is over before that music time
};

// The most frames a seek redraws under a blurred camera: even at a blur
// length of 0.97 a frame that old weighs less than 1/1000 of the picture.
constexpr int kSeekTrailFrames = 256;

// How long StartPlayback waits for the music position to move before it
// gives up on the sound.
constexpr double kMusicStartTimeout = 2.0;

class PlaybackClock {
 public:
  // The script must have at least one entry (LoadDemoScript sees to it).
  // All four are referred to, not owned.
  PlaybackClock(const DemoScript& script, Clock& clock, MusicPlayer& music, FrameTarget& target);

  // Activates the first entry's scene, seeks the music to its start (only
  // above 0.0001 s), runs it, waits until it is really playing and starts
  // the scene clock.
  void StartPlayback();
  // The same, from a position found by FindPlaybackPosition.
  void StartPlayback(const PlaybackPosition& from);

  // Moves playback to a position found by FindPlaybackPosition while it
  // plays or is held: the music is sought there (and waited for when
  // `running`), and under a blurred camera the frames before that still
  // show in its trail (at most kSeekTrailFrames) are drawn first, on the
  // scene's frame grid as stills draw them.
  // Held, the picture at the position is drawn at once.
  void SeekTo(const PlaybackPosition& to, bool running);
  // Held: the picture drawn again where it stands (its trail first), for
  // sync keys that changed under it.
  void RedrawHeld();

  // One pass: the music check, one frame drawn (or an entry switch) and
  // the pacing wait. False once the last entry has ended (music paused).
  bool AdvanceFrame();

  const ScriptEntry* currentEntry() const { return current_; }
  int32_t currentIndex() const { return index_; }
  float frameTime() const { return frameTime_; }
  float lastMusicTime() const { return lastMusicTime_; }
  float musicOffset() const { return musicOffset_; }
  // Scene time at the latest counter reading, and music time now.
  float SceneTime() const;
  // The current entry's scene time at a counter reading.
  float SceneTimeAt(int64_t tick) const;
  float MusicTime();

 private:
  void SwitchTo(int32_t index);
  void DrawTrail(float sceneTime);
  void WaitForMusic(float musicStart, int64_t firstReading);

  const DemoScript& script_;
  Clock& clock_;
  MusicPlayer& music_;
  FrameTarget& target_;

  float lastMusicTime_ = -1.0f;
  float frameTime_ = 0.0f;
  float musicOffset_ = 0.0f;
  int64_t counterFrequency_;
  int64_t counterStart_ = 0;
  int64_t counterNow_ = 0;
  float entryBase_ = 0.0f;
  const ScriptEntry* current_ = nullptr;
  int32_t index_ = 0;
  bool ended_ = false;
};

// Plays the script on an ideal machine (virtual clock, silent music,
// nothing drawn) from the beginning up to `musicTime` seconds, and says
// where playback is then: the same StartPlayback/AdvanceFrame rules pick
// the entry and its scene time.
PlaybackPosition FindPlaybackPosition(const DemoScript& script, double musicTime);

// Where a whole playback on the ideal machine is as each script entry
// begins, one position per entry it reaches, in order.
std::vector<PlaybackPosition> FindEntryStarts(const DemoScript& script);

// The music time at which the demo ends on the ideal machine, or nothing
// when it runs past a day.
std::optional<double> DemoEndMusicTime(const DemoScript& script);

}  // namespace stagwerk
