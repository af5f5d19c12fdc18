#include "app/modes/OpenAndLoad.h"

#include <memory>

#include "app/loading/LoadBesideContext.h"

namespace stagwerk {

void OpenAndLoad(Demo& demo, RendererKind kind, const std::function<Renderer&()>& open) {
  std::unique_ptr<LoadBesideContext> beside;
  if (demo.jobs() > 1) beside = std::make_unique<LoadBesideContext>(demo, PreparationFor(kind));
  Renderer& renderer = open();
  if (beside) {
    beside->Finish(renderer);
    return;
  }
  demo.AttachRenderer(renderer);
  demo.LoadContent();
}

}  // namespace stagwerk
