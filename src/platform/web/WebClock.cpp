#include "platform/web/WebClock.h"

#include <emscripten.h>

#include <algorithm>

namespace stagwerk {

namespace {

int64_t RealTicks() { return static_cast<int64_t>(emscripten_get_now() * (WebClock::kFrequency / 1000)); }

}  // namespace

int64_t WebClock::Now() { return std::max(RealTicks(), waitedTo_); }

void WebClock::WaitUntil(int64_t deadline) { waitedTo_ = std::max(waitedTo_, deadline); }

bool WebClock::Due() const { return RealTicks() >= waitedTo_; }

}  // namespace stagwerk
