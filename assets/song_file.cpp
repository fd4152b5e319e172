#include "assets/song_file.h"

#include <cstdint>
#include <cstring>

#include "assets/file_read.h"
#include "miniaudio.h"

namespace tc {
namespace {

constexpr uint64_t kMaxSongBytes = 256u << 20;

StartupStatus SongFailure(const char* path, const char* reason) {
  return StartupFailure("StartMusic: %s: %s", path, reason);
}

// The whole file, read only when it is a regular file of acceptable size.
StartupStatus ReadSong(const char* path, FileBytes& bytes) {
  const ReadResult read = ReadRegularFile(path, kMaxSongBytes, 0, bytes);
  switch (read.error) {
    case ReadError::kNone:
      break;
    case ReadError::kMissing:
      return SongFailure(path, "file not found");
    case ReadError::kNotRegular:
      return SongFailure(path, "not a regular file");
    case ReadError::kTooLarge:
      return SongFailure(path, "the file is larger than 256 MiB");
    case ReadError::kOutOfMemory:
      return SongFailure(path, "out of memory");
    case ReadError::kUnreadable:
      return SongFailure(path, std::strerror(read.errorNumber));
#if defined(_WIN32)
    case ReadError::kReadFailed:
    case ReadError::kShort:
      return SongFailure(path, "reading the file failed");
#else
    case ReadError::kReadFailed:
      return SongFailure(path, std::strerror(read.errorNumber));
    case ReadError::kShort:
      return SongFailure(path, "the file shrank while it was read");
#endif
  }
  if (bytes.size == 0) return SongFailure(path, "the file is empty");
  return StartupOk();
}

}  // namespace

StartupStatus CheckSongFile(const char* path) {
  FileBytes bytes;
  StartupStatus status = ReadSong(path, bytes);
  if (!status.ok) return status;

  // The MP3 decoder alone, as the name promises; float output in the file's own channel count
  // and rate, the format the engine asks for as well.
  ma_decoder_config config = ma_decoder_config_init(ma_format_f32, 0, 0);
  config.encodingFormat = ma_encoding_format_mp3;
  ma_decoder decoder;
  ma_result result = ma_decoder_init_memory(bytes.data, bytes.size, &config, &decoder);
  if (result != MA_SUCCESS) {
    return StartupFailure("StartMusic: %s: not an MP3 file: %s (%d)", path,
                          ma_result_description(result), static_cast<int>(result));
  }
  if (decoder.outputChannels == 0 || decoder.outputChannels > MA_MAX_CHANNELS) {
    ma_decoder_uninit(&decoder);
    return SongFailure(path, "the MP3 stream has no usable channel count");
  }
  float frame[MA_MAX_CHANNELS];
  ma_uint64 framesRead = 0;
  result = ma_decoder_read_pcm_frames(&decoder, frame, 1, &framesRead);
  ma_decoder_uninit(&decoder);
  if (result != MA_SUCCESS || framesRead != 1) {
    return StartupFailure("StartMusic: %s: the first MP3 frame does not decode: %s (%d)", path,
                          ma_result_description(result), static_cast<int>(result));
  }
  return StartupOk();
}

}  // namespace tc
