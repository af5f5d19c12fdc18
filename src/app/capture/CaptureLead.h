#pragma once
// Where a recording that starts part-way must begin to draw, so that its
// first frames equal those of a recording from the demo's start: the last
// picture drawn before them, and the blur trail behind it back to where
// older frames no longer show. Before that the clock only runs.
#include <cstdint>

#include "script/DemoScript.h"

namespace stagwerk {

// The ideal machine's counter reading (on a VirtualClock as a recording
// starts it) of the first pass to draw, for the screen at `tick`.
int64_t CaptureDrawFrom(const DemoScript& script, int64_t tick);

}  // namespace stagwerk
