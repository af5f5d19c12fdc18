#include "music/OggVorbisWriter.h"

#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace stagwerk::music {

namespace {

// The libvorbis state of one encode, torn down in reverse.
struct Encoder {
  vorbis_info info;
  vorbis_comment comment;
  vorbis_dsp_state dsp;
  vorbis_block block;
  ogg_stream_state stream;
  bool dspReady = false;
  bool streamReady = false;

  Encoder() {
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
  }
  ~Encoder() {
    if (streamReady) ogg_stream_clear(&stream);
    if (dspReady) {
      vorbis_block_clear(&block);
      vorbis_dsp_clear(&dsp);
    }
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
  }
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

void WriteOggVorbis(const std::string& path, const std::vector<float>& interleaved, int channels, int rate,
                    float quality) {
  if (channels <= 0 || rate <= 0) throw std::runtime_error(path + ": no channels or no sample rate");
  Encoder encoder;
  if (vorbis_encode_init_vbr(&encoder.info, channels, rate, quality) != 0) {
    throw std::runtime_error(path + ": libvorbis refuses " + std::to_string(channels) + " channels at " +
                             std::to_string(rate) + " Hz");
  }
  vorbis_comment_add_tag(&encoder.comment, "ENCODER", "stagwerk make_demo_music");
  vorbis_analysis_init(&encoder.dsp, &encoder.info);
  vorbis_block_init(&encoder.dsp, &encoder.block);
  encoder.dspReady = true;
  // A fixed serial number: the same samples make the same file.
  ogg_stream_init(&encoder.stream, 0x53747767);
  encoder.streamReady = true;

  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) throw std::runtime_error(path + ": " + std::strerror(errno));
  bool writeFailed = false;
  auto writePage = [&](const ogg_page& page) {
    if (std::fwrite(page.header, 1, static_cast<std::size_t>(page.header_len), file.get()) !=
            static_cast<std::size_t>(page.header_len) ||
        std::fwrite(page.body, 1, static_cast<std::size_t>(page.body_len), file.get()) !=
            static_cast<std::size_t>(page.body_len)) {
      writeFailed = true;
    }
  };

  ogg_packet identification, comments, codebooks;
  vorbis_analysis_headerout(&encoder.dsp, &encoder.comment, &identification, &comments, &codebooks);
  ogg_stream_packetin(&encoder.stream, &identification);
  ogg_stream_packetin(&encoder.stream, &comments);
  ogg_stream_packetin(&encoder.stream, &codebooks);
  ogg_page page;
  // The audio starts on a fresh page, as decoders expect.
  while (ogg_stream_flush(&encoder.stream, &page) != 0) writePage(page);

  auto drain = [&] {
    while (vorbis_analysis_blockout(&encoder.dsp, &encoder.block) == 1) {
      vorbis_analysis(&encoder.block, nullptr);
      vorbis_bitrate_addblock(&encoder.block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&encoder.dsp, &packet) != 0) {
        ogg_stream_packetin(&encoder.stream, &packet);
        while (ogg_stream_pageout(&encoder.stream, &page) != 0) writePage(page);
      }
    }
  };

  constexpr std::size_t kChunk = 1024;
  const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
  for (std::size_t done = 0; done < frames;) {
    const std::size_t count = std::min(kChunk, frames - done);
    float** buffer = vorbis_analysis_buffer(&encoder.dsp, static_cast<int>(count));
    for (std::size_t i = 0; i < count; ++i) {
      for (int c = 0; c < channels; ++c) {
        buffer[c][i] = interleaved[(done + i) * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)];
      }
    }
    vorbis_analysis_wrote(&encoder.dsp, static_cast<int>(count));
    drain();
    done += count;
  }
  vorbis_analysis_wrote(&encoder.dsp, 0);  // end of stream
  drain();
  while (ogg_stream_flush(&encoder.stream, &page) != 0) writePage(page);

  if (std::fflush(file.get()) != 0) writeFailed = true;
  if (writeFailed) {
    const std::string reason = std::strerror(errno);
    file.reset();
    std::remove(path.c_str());
    throw std::runtime_error(path + ": " + reason);
  }
}

}  // namespace stagwerk::music
