// JPEG textures through our decoder's property block, in the fixed order:
// opacity parameters, opacity image, colour parameters, colour image.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "base/LoadError.h"
#include "jpeg/JpegDecoder.h"
#include "textures/Image.h"

namespace stagwerk {

namespace {

// A regular file that opens for reading; a directory is not an opacity file.
bool FileExists(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  return regular;
}

// One initialised property block. A failure part-way still frees it, so a
// bad file leaves no decoder memory or open file behind.
class JpegBlock {
 public:
  JpegBlock() : props_(std::make_unique<JPEG_PROPERTIES>()) {
    if (jpegInit(props_.get()) != 0) throw LoadError("Cannot JPEG init");
    live_ = true;
  }
  JpegBlock(const JpegBlock&) = delete;
  JpegBlock& operator=(const JpegBlock&) = delete;
  ~JpegBlock() {
    if (live_) jpegFree(props_.get());
  }

  JPEG_PROPERTIES& props() { return *props_; }
  void ReadParams(const std::string& file, const char* failure) {
    props_->jpgFile = file.c_str();
    if (jpegRead(props_.get(), READ_PARAMS_FILE) != 0) throw LoadError(failure);
  }
  void ReadImage(const char* failure) {
    if (jpegRead(props_.get(), READ_IMAGE_FILE) != 0) throw LoadError(failure);
  }
  void Free() {
    live_ = false;
    if (jpegFree(props_.get()) != 0) throw LoadError("Cannot JPEG free");
  }

 private:
  std::unique_ptr<JPEG_PROPERTIES> props_;
  bool live_ = false;
};

// Every MCU (at most 32 x 32 pixels) carries at least a bit, so a file too
// short for the size its header claims is refused before the picture is set
// aside; the decoder would only find the data missing after it.
void RequireDataFor(const JPEG_PROPERTIES& p, const std::string& path, const char* failure) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) throw LoadError(failure);
  const uint64_t mcus = uint64_t{(p.jpgWidth + 31) / 32} * ((p.jpgHeight + 31) / 32);
  if (static_cast<uint64_t>(info.st_size) * 8 < mcus) throw LoadError(failure);
}

// Rows bottom-up, as the texture upload wants them.
void SetOutput(JPEG_PROPERTIES& p, uint16_t width, uint16_t height, int32_t channels, unsigned char* bytes) {
  p.dibWidth = width;
  p.dibHeight = -static_cast<int32_t>(height);
  p.dibChannels = channels;
  p.dibPadBytes = 0;
  p.dibBytes = bytes;
}

void ChooseColours(JPEG_PROPERTIES& p, int32_t channels) {
  if (channels == 1) {
    p.dibColor = COLOR_GRAY;
    p.jpgColor = COLOR_GRAY;
  } else if (channels == 3) {
    p.dibColor = COLOR_BGR;
    p.jpgColor = COLOR_YCBCR;
  }
}

Image LoadPlain(const std::string& path) {
  JpegBlock block;
  JPEG_PROPERTIES& p = block.props();
  block.ReadParams(path, "Cannot JPEG readparams");
  // Checked before decoding: the header alone must not size the buffer.
  RequireTextureSize(p.jpgWidth, p.jpgHeight);
  if (p.jpgChannels < 1 || p.jpgChannels > 4) throw LoadError("Unrecognized Image");
  RequireDataFor(p, path, "Cannot JPEG readwholeimage");
  Image image;
  image.channels = static_cast<uint8_t>(p.jpgChannels);
  image.height = static_cast<uint16_t>(p.jpgHeight);
  image.width = static_cast<uint16_t>(p.jpgWidth);
  image.pixels.resize(std::size_t{image.width} * image.height * image.channels);
  SetOutput(p, image.width, image.height, image.channels, image.pixels.data());
  ChooseColours(p, image.channels);
  block.ReadImage("Cannot JPEG readwholeimage");
  block.Free();
  return image;
}

Image LoadWithOpacity(const std::string& path, const std::string& opacityPath) {
  Image image;
  std::vector<unsigned char> opacity;
  {
    JpegBlock block;
    JPEG_PROPERTIES& p = block.props();
    block.ReadParams(opacityPath, "Cannot JPEG alpha readparams");
    RequireTextureSize(p.jpgWidth, p.jpgHeight);
    RequireDataFor(p, opacityPath, "Cannot JPEG alpha readwholeimage");
    // The opacity picture's size sizes everything that follows.
    image.height = static_cast<uint16_t>(p.jpgHeight);
    image.width = static_cast<uint16_t>(p.jpgWidth);
    opacity.resize(std::size_t{image.width} * image.height);
    SetOutput(p, image.width, image.height, 1, opacity.data());
    ChooseColours(p, 1);
    block.ReadImage("Cannot JPEG alpha readwholeimage");
    block.Free();
  }

  std::vector<unsigned char> colour;
  int32_t colourChannels = 0;
  {
    JpegBlock block;
    JPEG_PROPERTIES& p = block.props();
    block.ReadParams(path, "Cannot JPEG readparams");
    // Decoding a picture of another size into the opacity-sized buffer
    // would write past it or leave it half filled.
    if (p.jpgWidth != image.width || p.jpgHeight != image.height) {
      throw LoadError("Opacity file " + opacityPath + " is " + std::to_string(image.width) + "x" +
                      std::to_string(image.height) + " but its picture " + path + " is " +
                      std::to_string(p.jpgWidth) + "x" + std::to_string(p.jpgHeight));
    }
    RequireDataFor(p, path, "Cannot JPEG readwholeimage");
    colourChannels = p.jpgChannels;
    if (colourChannels != 1 && colourChannels != 3) {
      throw LoadError("Picture " + path + " has " + std::to_string(colourChannels) +
                      " channels; an opacity file goes only with a grey or a colour picture");
    }
    image.channels = static_cast<uint8_t>(colourChannels + 1);
    colour.resize(opacity.size() * static_cast<std::size_t>(colourChannels));
    SetOutput(p, image.width, image.height, colourChannels, colour.data());
    ChooseColours(p, colourChannels);
    block.ReadImage("Cannot JPEG readwholeimage");
    block.Free();
  }

  // Interleave: each pixel's colour samples, then its opacity.
  const std::size_t count = opacity.size();
  const std::size_t from = static_cast<std::size_t>(colourChannels);
  image.pixels.resize(count * image.channels);
  unsigned char* out = image.pixels.data();
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t c = 0; c < from; ++c) *out++ = colour[i * from + c];
    *out++ = opacity[i];
  }
  return image;
}

}  // namespace

Image Image::LoadJpeg(const std::string& path) {
  const std::string opacityPath = OpacityPath(path);
  return FileExists(opacityPath) ? LoadWithOpacity(path, opacityPath) : LoadPlain(path);
}

}  // namespace stagwerk
