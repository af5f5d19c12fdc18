#pragma once
// Making the context and loading the demo's content. With more than one job
// the content loads beside the making of the context (see
// LoadBesideContext); with one, after it, in the one-thread order.
#include <functional>

#include "app/loading/Demo.h"
#include "app/modes/RendererChoice.h"

namespace stagwerk {

// `open` makes the context and the renderer of `kind` and returns the
// renderer; the demo ends attached to it. Throws what either throws, the
// context's failure first.
void OpenAndLoad(Demo& demo, RendererKind kind, const std::function<Renderer&()>& open);

}  // namespace stagwerk
