#include "platform/web/PageMessage.h"

#include <emscripten.h>

namespace stagwerk {

namespace {

// clang-format off
EM_JS(void, JsShowMessage, (const char* caption, const char* text, int kind), {
  const c = UTF8ToString(caption), t = UTF8ToString(text);
  (kind === 0 ? console.error : kind === 1 ? console.warn : console.log)(c + ': ' + t);
  const page = Module['stagwerkPage'];
  if (page && page.message) page.message(c, t, ['error', 'warning', 'information'][kind]);
});
// clang-format on

}  // namespace

void ShowPageMessage(const std::string& caption, const std::string& text, PageMessageKind kind) {
  JsShowMessage(caption.c_str(), text.c_str(), static_cast<int>(kind));
}

}  // namespace stagwerk
