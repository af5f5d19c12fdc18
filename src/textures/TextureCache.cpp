#include "textures/TextureCache.h"

#include <sys/stat.h>

#include <chrono>
#include <memory>

#include "base/LoadError.h"
#include "base/PathString.h"
#include "textures/DecodePool.h"
#include "textures/Image.h"

namespace stagwerk {

TextureCache::TextureCache(const DataDirectories& directories, bool keepPixels)
    : directories_(directories), keepPixels_(keepPixels) {}

TextureCache::~TextureCache() {
  pool_.reset();  // no worker may still be decoding for a texture going away
  if (!hooks_.release) return;
  for (Texture& texture : textures_) {
    if (!takenOver_.contains(&texture) && !givenAway_.contains(&texture)) hooks_.release(texture);
  }
}

TextureCache::FileStamp TextureCache::StampOf(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return {};
  return {static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
          static_cast<int64_t>(info.st_size), static_cast<uint64_t>(info.st_ino)};
}

Texture* TextureCache::Donor(const std::string& path) const {
  if (previous_ == nullptr) return nullptr;
  for (Texture& texture : previous_->textures_) {
    if (texture.path == path) return &texture;
  }
  return nullptr;
}

void TextureCache::TakeOver(Texture& texture, Texture& donor) {
  texture.channels = donor.channels;
  texture.height = donor.height;
  texture.width = donor.width;
  texture.renderHandle = donor.renderHandle;
  texture.pixels = donor.pixels;
  takenOver_[&texture] = &donor;
}

void TextureCache::KeepOld(Texture& texture, Texture& donor, const std::string& failure) {
  TakeOver(texture, donor);
  // The old file's stamp: the next load tries the file again.
  const auto old = previous_->stamps_.find(texture.path);
  if (old != previous_->stamps_.end()) stamps_[texture.path] = old->second;
  else stamps_.erase(texture.path);
  // Most failures name their file already.
  keptOld_.push_back(failure.find(texture.path) != std::string::npos ? failure : texture.path + ": " + failure);
}

void TextureCache::Adopt() {
  if (previous_ == nullptr) return;
  for (const auto& [ours, theirs] : takenOver_) previous_->givenAway_.insert(theirs);
  takenOver_.clear();
  previous_ = nullptr;
}

std::string TextureCache::NamePath(const std::string& name) const {
  PathString path;
  path.Append(directories_.rootDir).Append("/").Append(directories_.textureDir).Append("/").Append(name).Append(".jpg");
  return path.str();
}

std::string TextureCache::ScenePath(const std::string& relative) const {
  PathString path;
  path.Append(directories_.rootDir).Append("/").Append(relative);
  return path.str();
}

Texture& TextureCache::FindOrLoad(const std::string& name) { return FindOrLoadPath(NamePath(name)); }

Texture& TextureCache::FindOrLoadPath(const std::string& path) {
  for (Texture& texture : textures_) {
    if (texture.path == path) return texture;
  }
  auto texture = std::make_unique<Texture>();
  texture->path = path;
  const FileStamp stamp = StampOf(path);
  Texture* const donor = Donor(path);
  if (donor != nullptr) {
    const auto read = previous_->stamps_.find(path);
    if (stamp.size >= 0 && read != previous_->stamps_.end() && read->second == stamp) {
      TakeOver(*texture, *donor);
      stamps_[path] = stamp;
      return textures_.Append(std::move(texture));
    }
  }
  stamps_[path] = stamp;
  if (pool_) {
    CompleteReady(maxPending_);
    // Listed at once, so a second request finds it instead of decoding it
    // again; should it fail, the whole load fails with it.
    Texture& queued = textures_.Append(std::move(texture));
    pending_.push_back({&queued, pool_->Decode(path, Preparation()), donor});
    return queued;
  }
  try {
    Image image = Image::Load(path);
    if (const auto prepare = Preparation()) prepare(image);
    Complete(*texture, std::move(image));
  } catch (const LoadError& error) {
    if (donor == nullptr) throw;
    KeepOld(*texture, *donor, error.what());
  }
  return textures_.Append(std::move(texture));
}

std::function<void(Image&)> TextureCache::Preparation() const {
  // Preparing moves the picture's bytes; kept pixels must stay as decoded,
  // and the back end then prepares its copy at upload.
  return keepPixels_ ? nullptr : hooks_.prepare;
}

void TextureCache::Complete(Texture& texture, Image image) {
  texture.channels = image.channels;
  texture.height = image.height;
  texture.width = image.width;
  RequireTextureSize(image.width, image.height);
  // The upload refuses these; a run without GL refuses them the same way.
  if (image.channels < 1 || image.channels > 4) throw LoadError("Unrecognized Image");
  if (hooks_.upload) hooks_.upload(texture, image);
  if (keepPixels_) texture.pixels = std::move(image.pixels);
}

void TextureCache::CompleteReady(std::size_t keepAtMost) {
  while (!pending_.empty()) {
    Pending& front = pending_.front();
    const bool ready = front.image.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    if (!ready && pending_.size() <= keepAtMost) return;
    Pending done = std::move(front);
    pending_.pop_front();
    try {
      Complete(*done.texture, done.image.get());  // get() throws the decoder's failure
    } catch (const LoadError& error) {
      if (done.donor != nullptr) {
        KeepOld(*done.texture, *done.donor, error.what());
        continue;
      }
      pending_.clear();
      throw;
    } catch (...) {
      // The first failure in request order: those behind it were asked for
      // later and must not report instead.
      pending_.clear();
      throw;
    }
  }
}

void TextureCache::StartWorkers(unsigned jobs) {
  if (jobs <= 1 || pool_) return;
  pool_ = std::make_unique<DecodePool>(jobs);
  // Enough queued to keep every worker busy, few enough that decoded
  // pictures waiting for their turn stay a handful.
  maxPending_ = std::size_t{2} * jobs;
}

void TextureCache::Finish() {
  try {
    CompleteReady(0);
  } catch (...) {
    pool_.reset();
    throw;
  }
  pool_.reset();
}

}  // namespace stagwerk
