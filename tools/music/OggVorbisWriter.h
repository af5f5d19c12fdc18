#pragma once
// Writes float samples to an Ogg Vorbis file with libvorbisenc. Used by the
// music maker and by tests that need a real music file.
#include <string>
#include <vector>

namespace stagwerk::music {

// Interleaved samples in [-1, 1]. Quality is libvorbis's VBR scale, -0.1 to
// 1.0. Throws std::runtime_error naming the file when it cannot be written.
void WriteOggVorbis(const std::string& path, const std::vector<float>& interleaved, int channels, int rate,
                    float quality = 0.4f);

}  // namespace stagwerk::music
