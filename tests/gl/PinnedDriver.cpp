// Before any test: one GL context, so that the driver's libraries are loaded
// and kept for the whole run (see PinGlDriver). Tests that open contexts
// inside the player or a capture then leave no unnamed leaks behind.
#include "GlTestSupport.h"

namespace stagwerk::testing {
namespace {

class PinnedDriver : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    GlContextOptions options;
    options.width = 8;
    options.height = 8;
    options.visible = false;
    try {
      auto gl = GlContext::Open(options);
      PinGlDriver();
    } catch (const std::exception&) {
      // The GL tests themselves report a missing context.
    }
  }
};

const auto* const kPinned = ::testing::AddGlobalTestEnvironment(new PinnedDriver);

}  // namespace
}  // namespace stagwerk::testing
