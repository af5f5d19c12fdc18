#include "platform/web/WebCanvas.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>

namespace stagwerk {

WebCanvas::WebCanvas(const char* selector, bool keepPicture) : selector_(selector) {
  EmscriptenWebGLContextAttributes attributes;
  emscripten_webgl_init_context_attributes(&attributes);
  attributes.majorVersion = 2;
  attributes.minorVersion = 0;
  attributes.alpha = EM_FALSE;
  attributes.depth = EM_TRUE;
  attributes.stencil = EM_FALSE;
  // The renderer draws into its own framebuffer and copies it here: the
  // canvas needs no samples of its own.
  attributes.antialias = EM_FALSE;
  attributes.preserveDrawingBuffer = keepPicture ? EM_TRUE : EM_FALSE;
  attributes.powerPreference = EM_WEBGL_POWER_PREFERENCE_HIGH_PERFORMANCE;
  const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context(selector, &attributes);
  if (context <= 0) {
    throw WebGlUnavailable("This browser cannot draw WebGL 2 on the page (error " + std::to_string(context) + ")");
  }
  context_ = static_cast<int>(context);
  emscripten_webgl_make_context_current(context);
  emscripten_get_canvas_element_size(selector, &width_, &height_);
}

WebCanvas::~WebCanvas() {
  if (context_ > 0) emscripten_webgl_destroy_context(context_);
}

void WebCanvas::SetSize(int width, int height) {
  width_ = std::max(1, width);
  height_ = std::max(1, height);
  emscripten_set_canvas_element_size(selector_.c_str(), width_, height_);
}

void* WebGlProcAddress(const char* name) { return emscripten_webgl_get_proc_address(name); }

void WindowSize(int& width, int& height) {
  width = std::max(1, EM_ASM_INT({ return window.innerWidth; }));
  height = std::max(1, EM_ASM_INT({ return window.innerHeight; }));
}

}  // namespace stagwerk
