#pragma once
// The one seam between the demo and a graphics API. A back end makes GPU
// textures and meshes from what the caches load, draws built frames and the
// loading picture into the frame's picture, and reads that picture back.
#include <vector>

#include "frame/RenderState.h"

namespace stagwerk {

class Mesh;
struct Frame;
struct Overlay;
struct Image;
struct Texture;

class Renderer {
 public:
  virtual ~Renderer() = default;

  // Without GL, on any thread: fills image.levels with what CreateTexture
  // uploads, so that the threads decoding pictures make the mipmaps too.
  virtual void PrepareTexture(Image& image) const = 0;
  // Prepares the picture itself when nothing did. Throws LoadError
  // "Unrecognized Image" for a channel count outside 1 to 4.
  virtual RenderHandle CreateTexture(const Texture& texture, const Image& image) = 0;
  virtual void ReleaseTexture(RenderHandle texture) = 0;
  // A mesh with polygons as it will be drawn, every frame alike.
  virtual RenderHandle CreateMesh(const Mesh& mesh) = 0;
  virtual void ReleaseMesh(RenderHandle mesh) = 0;

  virtual void DrawFrame(const Frame& frame) = 0;
  // The waiting picture over the whole viewport while the demo loads.
  virtual void DrawLoadingPicture(const Texture& picture) = 0;
  // The window's client size changed: the picture follows it, the viewport
  // is the largest rectangle of the demo's aspect, and it is cleared.
  virtual void Resize(int width, int height) = 0;
  // The picture as RGB rows, top row first.
  virtual std::vector<unsigned char> ReadPicture() const = 0;
  // ReadPicture in two halves, so the next picture is drawn while this one
  // is copied: Start, then (after any drawing) Take. A back end that cannot
  // read without waiting reads at Start.
  virtual void StartReadPicture() { started_ = ReadPicture(); }
  virtual std::vector<unsigned char> TakePicture() { return std::move(started_); }
  // Keeps a copy of the picture, and goes back to it: a recording draws
  // in-between moments this way without leaving them in the blur trail.
  virtual void KeepPicture() = 0;
  virtual void RestorePicture() = 0;
  // Copies the picture to the window's back buffer, ready for the swap.
  virtual void PresentToWindow() = 0;
  // After PresentToWindow: the overlay over what the window shows, never
  // into the picture.
  virtual void DrawOverlay(const Overlay& overlay) = 0;
  // What the window shows, overlay included, as ReadPicture gives it.
  virtual std::vector<unsigned char> ReadWindow() = 0;
  // Returns once everything asked of the back end has been drawn, so a
  // frame's time includes the drawing and not only the asking.
  virtual void Finish() = 0;

 private:
  std::vector<unsigned char> started_;
};

}  // namespace stagwerk
