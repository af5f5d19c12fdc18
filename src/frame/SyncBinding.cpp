#include "frame/SyncBinding.h"

#include <algorithm>

#include "base/LoadError.h"
#include "scene/ItemNames.h"
#include "scene/Scene.h"

namespace stagwerk {

namespace {

constexpr const char* kChannelNames[kSyncChannelCount] = {
    "x", "y", "z", "h", "p", "b", "sx", "sy", "sz", "dissolve", "intensity", "r", "g", "b", "zoom"};

enum class ItemKind { Object, Light, Camera };

ItemKind KindOf(const Scene& scene, uint32_t itemIndex) {
  const auto objects = static_cast<uint32_t>(scene.objects.count());
  const auto lights = static_cast<uint32_t>(scene.lights.count());
  if (itemIndex < objects) return ItemKind::Object;
  return itemIndex < objects + lights ? ItemKind::Light : ItemKind::Camera;
}

// The channel a name means on an item of this kind. "b" is bank, but blue
// on a light: a bank turns a light about its own beam, which shows nothing.
bool ChannelFor(std::string_view name, ItemKind kind, SyncChannel& channel) {
  if (kind == ItemKind::Light && name == "b") {
    channel = SyncChannel::Blue;
    return true;
  }
  for (std::size_t c = 0; c < kSyncChannelCount; ++c) {
    if (name != kChannelNames[c]) continue;
    channel = static_cast<SyncChannel>(c);
    if (channel == SyncChannel::Dissolve) return kind == ItemKind::Object;
    if (channel >= SyncChannel::Intensity && channel <= SyncChannel::Blue) return kind == ItemKind::Light;
    if (channel == SyncChannel::Zoom) return kind == ItemKind::Camera;
    return true;
  }
  return false;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

}  // namespace

SyncBindings SyncBindings::Bind(std::string_view text, const std::string& listFile,
                                const std::vector<const Scene*>& scenes) {
  SyncBindings b;
  std::vector<std::vector<std::string>> itemNames(scenes.size());
  int lineNumber = 0;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = Trimmed(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;
    const std::string name(line);
    auto fail = [&](const std::string& fault) {
      throw LoadError(listFile + ":" + std::to_string(lineNumber) + ": " + fault);
    };
    if (std::find(b.names_.begin(), b.names_.end(), name) != b.names_.end()) fail("\"" + name + "\" is listed twice");
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) fail("\"" + name + "\" is not SCENE:ITEM.CHANNEL");
    const std::string_view sceneName = line.substr(0, colon);
    const std::string_view value = line.substr(colon + 1);
    const auto found = std::find_if(scenes.begin(), scenes.end(), [&](const Scene* s) { return s->name == sceneName; });
    if (found == scenes.end()) fail("no scene \"" + std::string(sceneName) + "\" in the demo");
    const Scene& scene = **found;
    auto slot = std::find_if(b.scenes_.begin(), b.scenes_.end(), [&](const auto& s) { return s.first == &scene; });
    if (slot == b.scenes_.end()) {
      SceneSyncTracks tracks;
      SceneSyncTracks::ItemTracks none;
      none.fill(kNoSyncTrack);
      tracks.items.assign(scene.ItemCount(), none);
      slot = b.scenes_.insert(b.scenes_.end(), {&scene, std::move(tracks)});
    }
    SceneSyncTracks& bound = slot->second;
    const auto track = static_cast<uint32_t>(b.names_.size());
    if (value == "fog.near" || value == "fog.far" || value == "ambient") {
      (value == "ambient" ? bound.ambient : value == "fog.near" ? bound.fogNear : bound.fogFar) = track;
      b.names_.push_back(name);
      continue;
    }
    const std::size_t dot = value.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == value.size()) {
      fail("\"" + name + "\" is not SCENE:ITEM.CHANNEL");
    }
    const std::string item(value.substr(0, dot));
    const std::string_view channelName = value.substr(dot + 1);
    std::vector<std::string>& names = itemNames[static_cast<std::size_t>(found - scenes.begin())];
    if (names.empty()) names = ItemNames(scene);
    const auto at = std::find(names.begin(), names.end(), item);
    if (at == names.end()) fail("no object, light or camera \"" + item + "\" in scene " + scene.name);
    const auto itemIndex = static_cast<uint32_t>(at - names.begin());
    SyncChannel channel{};
    if (!ChannelFor(channelName, KindOf(scene, itemIndex), channel)) {
      fail("\"" + std::string(channelName) + "\" is not a channel of \"" + item +
           "\" (x y z h p b sx sy sz; dissolve for objects; intensity r g b for lights; zoom for cameras)");
    }
    bound.items[itemIndex][static_cast<std::size_t>(channel)] = track;
    b.names_.push_back(name);
  }
  return b;
}

const SceneSyncTracks* SyncBindings::For(const Scene& scene) const {
  for (const auto& [s, tracks] : scenes_) {
    if (s == &scene) return &tracks;
  }
  return nullptr;
}

std::vector<std::pair<uint32_t, SyncChannel>> SyncBindings::MotionTracksOf(const Scene& scene,
                                                                            const SceneItem& item) const {
  std::vector<std::pair<uint32_t, SyncChannel>> out;
  const SceneSyncTracks* bound = For(scene);
  if (bound == nullptr || item.itemIndex >= bound->items.size()) return out;
  for (std::size_t c = 0; c <= static_cast<std::size_t>(SyncChannel::Bank); ++c) {
    const uint32_t track = bound->items[item.itemIndex][c];
    if (track != kNoSyncTrack) out.emplace_back(track, static_cast<SyncChannel>(c));
  }
  return out;
}

}  // namespace stagwerk
