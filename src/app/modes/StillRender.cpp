#include "app/modes/StillRender.h"

#include "app/modes/OffscreenDemo.h"
#include "app/playback/StillFrames.h"
#include "frame/FrameBuilder.h"
#include "platform/PngWriter.h"

namespace stagwerk {

void RenderStill(const StillOptions& options) {
  OffscreenDemo loaded(options.configPath, options.settingsPath, options.width, options.height, options.jobs,
                       options.renderer);
  Demo* demo = loaded.demo.get();
  demo->sync.rowsPerSecond = options.syncRows;
  Scene& scene = demo->scenes.FindOrLoad(options.scene);
  Camera& camera = StillCamera(scene, options.camera);
  FrameBuilder frames(demo->aspect);
  DrawStill(*loaded.renderer, frames, scene, camera, options.seconds, SyncFeed::Saved(demo->sync),
            StillMusicOffset(demo->script, scene, camera, options.seconds));
  WritePng(options.out, loaded.width, loaded.height, loaded.renderer->ReadPicture());
}

}  // namespace stagwerk
