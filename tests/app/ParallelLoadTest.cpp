// Loading with texture workers fails as a one-thread load does.
#include <gtest/gtest.h>

#include "TinyDemo.h"
#include "base/LoadError.h"
#include "app/loading/Demo.h"

namespace stagwerk {
namespace {

TEST(ParallelLoad, ATextureFailingBeforeALaterSceneErrorIsTheOneReported) {
  testing::TinyDemo demo;
  // The picture is still decoding when the second scene turns out broken.
  demo.dir.Write("data/scenes/first.lws", testing::SceneHeader() + "BGImage 0 0 0 0 \"Images/missing.tga\"\n" +
                                             testing::CameraBlock());
  demo.dir.Write("data/scenes/broken.lws", "LWSX\n3\n");
  demo.SetScript("first 1 00:00:00:000\nbroken 1 00:00:01:000\n");
  testing::InDirectory here(demo.dir.path());
  for (unsigned jobs : {1u, 4u}) {
    DemoOptions options;
    options.validationRun = true;
    options.settingsPath = demo.dir / "settings.conf";
    options.jobs = jobs;
    try {
      Demo::Load(demo.config(), options);
      ADD_FAILURE() << "loaded with " << jobs << " jobs";
    } catch (const LoadError& error) {
      EXPECT_STREQ(error.what(), "Cannot load file data/Images/missing.tga from directory") << jobs;
    }
  }
}

}  // namespace
}  // namespace stagwerk
