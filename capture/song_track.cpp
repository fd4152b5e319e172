#include "capture/song_track.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "assets/song_file.h"
#include "miniaudio.h"

namespace tc::capture {
namespace {

ma_result WriteToFd(ma_encoder* encoder, const void* bytes, size_t count, size_t* written) {
  const int fd = *static_cast<int*>(encoder->pUserData);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = write(fd, static_cast<const char*>(bytes) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  *written = done;
  return done == count ? MA_SUCCESS : MA_IO_ERROR;
}

ma_result SeekFd(ma_encoder* encoder, ma_int64 offset, ma_seek_origin origin) {
  const int fd = *static_cast<int*>(encoder->pUserData);
  const int whence = origin == ma_seek_origin_start     ? SEEK_SET
                     : origin == ma_seek_origin_current ? SEEK_CUR
                                                        : SEEK_END;
  return lseek(fd, static_cast<off_t>(offset), whence) < 0 ? MA_IO_ERROR : MA_SUCCESS;
}

int OpenAnonymousFile(std::string& folder) {
  const char* tmp = std::getenv("TMPDIR");
  folder = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  return open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

}  // namespace

StartupStatus WriteSongTrack(const FramePlan& plan, const ResourcePaths& resources,
                             SongTrack& track) {
  track = SongTrack{};
  // The demo's own check and its own failure line: a FIFO, a device or a file that is no MP3 is
  // refused before the decoder opens it.
  const StartupStatus checked = CheckSongFile(resources.song);
  if (!checked.ok) return checked;
  // The song's own format: no conversion, no resampling.
  ma_decoder_config config = ma_decoder_config_init(ma_format_f32, 0, 0);
  ma_decoder decoder;
  ma_result result = ma_decoder_init_file(resources.song, &config, &decoder);
  if (result != MA_SUCCESS) {
    return StartupFailure("WriteSongTrack: %s: ma_decoder_init_file failed: %s (%d)",
                          resources.song, ma_result_description(result), static_cast<int>(result));
  }
  ma_format format;
  ma_decoder_get_data_format(&decoder, &format, &track.channels, &track.sampleRate, nullptr, 0);
  if (track.channels == 0 || track.sampleRate == 0) {
    ma_decoder_uninit(&decoder);
    return StartupFailure("WriteSongTrack: %s: the decoder reports no channels or no rate",
                          resources.song);
  }
  const int fps = plan.framesPerSecond;
  const int64_t skip = AudioFrameAt(plan.firstFrame, fps, track.sampleRate);
  track.frames = AudioFrameAt(plan.endFrame, fps, track.sampleRate) - skip;

  std::string folder;
  track.fd = OpenAnonymousFile(folder);
  if (track.fd < 0) {
    const int error = errno;
    ma_decoder_uninit(&decoder);
    return StartupFailure("WriteSongTrack: cannot make a temporary file in %s: %s", folder.c_str(),
                          std::strerror(error));
  }
  ma_encoder_config encoderConfig = ma_encoder_config_init(ma_encoding_format_wav, ma_format_f32,
                                                           track.channels, track.sampleRate);
  ma_encoder encoder;
  result = ma_encoder_init(WriteToFd, SeekFd, &track.fd, &encoderConfig, &encoder);
  if (result != MA_SUCCESS) {
    ma_decoder_uninit(&decoder);
    ReleaseSongTrack(track);
    return StartupFailure("WriteSongTrack: ma_encoder_init failed: %s (%d)",
                          ma_result_description(result), static_cast<int>(result));
  }

  constexpr ma_uint64 kChunk = 16384;
  std::unique_ptr<float[]> chunk(new float[kChunk * track.channels]);
  // Read and discarded rather than sought: the decoder's own position arithmetic then cannot
  // shift the start by a sample.
  int64_t toSkip = skip;
  bool songEnded = false;
  while (toSkip > 0 && !songEnded) {
    const ma_uint64 want = toSkip < static_cast<int64_t>(kChunk) ? toSkip : kChunk;
    ma_uint64 read = 0;
    ma_decoder_read_pcm_frames(&decoder, chunk.get(), want, &read);
    toSkip -= static_cast<int64_t>(read);
    songEnded = read < want;
  }
  int64_t toWrite = track.frames;
  bool writeFailed = false;
  while (toWrite > 0 && !writeFailed) {
    const ma_uint64 want = toWrite < static_cast<int64_t>(kChunk) ? toWrite : kChunk;
    ma_uint64 read = 0;
    if (!songEnded) {
      ma_decoder_read_pcm_frames(&decoder, chunk.get(), want, &read);
      songEnded = read < want;
    }
    std::memset(chunk.get() + read * track.channels, 0,
                (want - read) * track.channels * sizeof(float));
    ma_uint64 written = 0;
    writeFailed =
        ma_encoder_write_pcm_frames(&encoder, chunk.get(), want, &written) != MA_SUCCESS ||
        written != want;
    toWrite -= static_cast<int64_t>(want);
  }
  const int writeError = errno;
  // Uninitialising the encoder writes the final sizes into the WAV header.
  ma_encoder_uninit(&encoder);
  ma_decoder_uninit(&decoder);
  if (writeFailed) {
    ReleaseSongTrack(track);
    return StartupFailure("WriteSongTrack: writing the sound track to %s failed: %s",
                          folder.c_str(), std::strerror(writeError));
  }
  return StartupOk();
}

void ReleaseSongTrack(SongTrack& track) {
  if (track.fd >= 0) close(track.fd);
  track = SongTrack{};
}

}  // namespace tc::capture
