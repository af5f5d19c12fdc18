#include "platform/Clock.h"

#include <cmath>

namespace stagwerk {

int64_t TicksFor(const Clock& clock, double seconds) {
  return static_cast<int64_t>(std::ceil(seconds * static_cast<double>(clock.Frequency())));
}

}  // namespace stagwerk
