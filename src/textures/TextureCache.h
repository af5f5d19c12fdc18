#pragma once
// Every texture of the demo, loaded once per distinct path and shared.
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/DataDirectories.h"
#include "base/PointerList.h"
#include "textures/Image.h"
#include "textures/Texture.h"

namespace stagwerk {

class DecodePool;

// What a renderer does with each texture: make its GPU copy once it is
// decoded and checked, release it at teardown. Left empty, nothing is drawn.
// Unless pixels are kept, upload may take the picture for later.
struct TextureHooks {
  std::function<void(Texture&, Image&)> upload;
  std::function<void(Texture&)> release;
  // Before upload, on a decoding thread when there are workers: what can
  // be made of the picture without GL. Not called while pixels are kept.
  std::function<void(Image&)> prepare;
};

class TextureCache {
 public:
  // keepPixels false drops each picture once it is checked (a validation run
  // only needs sizes); true keeps them for upload and inspection.
  explicit TextureCache(const DataDirectories& directories, bool keepPixels = true);
  // Releases every texture through the hooks, head to tail.
  ~TextureCache();
  TextureCache(const TextureCache&) = delete;
  TextureCache& operator=(const TextureCache&) = delete;

  void SetHooks(TextureHooks hooks) { hooks_ = std::move(hooks); }
  void SetKeepPixels(bool keep) { keepPixels_ = keep; }

  // With more than one job, new textures are decoded on that many worker
  // threads: a request returns the texture at once and its size, checks and
  // upload follow, in request order, on this thread, at later requests and
  // at Finish. 1: each is decoded and uploaded when asked for.
  void StartWorkers(unsigned jobs);
  // Checks and uploads every queued texture in request order and stops the
  // workers; the first failure in that order is thrown, as a one-thread load
  // would have thrown it when the texture was asked for.
  void Finish();

  // A texture named without directory or extension, as meshes, flares and
  // the loading picture name them: rootDir/textureDir/name.jpg.
  Texture& FindOrLoad(const std::string& name);
  // By full path, the cache's key: compared byte for byte.
  Texture& FindOrLoadPath(const std::string& path);

  std::string NamePath(const std::string& name) const;
  std::string ScenePath(const std::string& relative) const;

  const PointerList<Texture>& textures() const { return textures_; }

  // Loading the demo again while `previous` plays it (--watch): a texture
  // whose file is as `previous` read it is taken over, GPU copy and all,
  // instead of being decoded and uploaded again; one whose file changed and
  // now fails keeps the old picture, and the failure is listed in keptOld().
  // `previous` must outlive this cache until Adopt() or this cache's end.
  void TakeOverFrom(TextureCache& previous) { previous_ = &previous; }
  // Once the load succeeded: what was taken over belongs to this cache, and
  // `previous` no longer releases it.
  void Adopt();
  const std::vector<std::string>& keptOld() const { return keptOld_; }

 private:
  // A file as it was when read: a save in place or a rename over it
  // changes one of these.
  struct FileStamp {
    int64_t modified = 0;  // nanoseconds
    int64_t size = -1;
    uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;
  };
  static FileStamp StampOf(const std::string& path);

  struct Pending {
    Texture* texture;
    std::future<Image> image;
    Texture* donor;  // the previous cache's, kept should this one fail
  };
  std::function<void(Image&)> Preparation() const;
  void Complete(Texture& texture, Image image);
  // The previous cache's completed texture for a path, if any.
  Texture* Donor(const std::string& path) const;
  void TakeOver(Texture& texture, Texture& donor);
  void KeepOld(Texture& texture, Texture& donor, const std::string& failure);
  // Completes queued textures from the front: those decoded already, and
  // more while over the limit of pictures held at once.
  void CompleteReady(std::size_t keepAtMost);

  DataDirectories directories_;
  bool keepPixels_;
  TextureHooks hooks_;
  PointerList<Texture> textures_;
  std::deque<Pending> pending_;
  std::map<std::string, FileStamp> stamps_;  // when each path was read
  TextureCache* previous_ = nullptr;
  std::map<Texture*, Texture*> takenOver_;  // ours to theirs, until Adopt()
  std::set<const Texture*> givenAway_;      // not ours to release any more
  std::vector<std::string> keptOld_;
  std::unique_ptr<DecodePool> pool_;  // last: joined before the queue goes
  std::size_t maxPending_ = 0;
};

}  // namespace stagwerk
