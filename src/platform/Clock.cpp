#include "platform/Clock.h"

#include <SDL.h>

#include <chrono>
#include <thread>

namespace stagwerk {

SdlClock::SdlClock() : frequency_(static_cast<int64_t>(SDL_GetPerformanceFrequency())) {}

int64_t SdlClock::Now() { return static_cast<int64_t>(SDL_GetPerformanceCounter()); }

void SdlClock::WaitUntil(int64_t deadline) {
  // Sleep through all but the last fifth of a millisecond, whose end a sleep
  // could overshoot by the timer slack; poll that. Sleeping again after each
  // early wake-up keeps the polling short.
  const int64_t margin = frequency_ / 5000;
  for (int64_t now = Now(); now < deadline; now = Now()) {
    const int64_t remaining = deadline - now;
    if (remaining > margin) {
      const double seconds = static_cast<double>(remaining - margin) / static_cast<double>(frequency_);
      std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    } else {
      std::this_thread::yield();
    }
  }
}

}  // namespace stagwerk
