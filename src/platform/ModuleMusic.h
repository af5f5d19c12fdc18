#pragma once
// Tracker modules on libopenmpt, played into an SDL audio device at its own
// rate. The position is the music time of the frames handed to the device,
// less one device buffer still to be heard: it follows what is played,
// through pattern loops and jumps, and holds while paused.
#include <iosfwd>
#include <memory>
#include <string>

#include "platform/MusicPlayer.h"

namespace stagwerk {

// The file as a module. A module libopenmpt refuses, or no audio device,
// warns once in OpenMusic's form and keeps time silently instead.
std::unique_ptr<MusicPlayer> OpenModuleMusic(const std::string& file, Clock& clock, std::ostream& warnings);

}  // namespace stagwerk
