#include "audio/song_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/file_stat.h"
#include "miniaudio.h"

namespace tc {
namespace {

constexpr uint64_t kMaxSongBytes = 256u << 20;

StartupStatus SongFailure(const char* path, const char* reason) {
  return StartupFailure("StartMusic: %s: %s", path, reason);
}

// The whole file, read only when it is a regular file of acceptable size.
StartupStatus ReadSong(const char* path, std::vector<unsigned char>& bytes) {
  FileStat info;
  if (StatPath(path, info) != 0) {
    return SongFailure(
        path, (errno == ENOENT || errno == ENOTDIR) ? "file not found" : std::strerror(errno));
  }
  if (!IsRegular(info)) return SongFailure(path, "not a regular file");
#if defined(_WIN32)
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return SongFailure(path, std::strerror(errno));
  struct Closer {
    FILE* file;
    ~Closer() { std::fclose(file); }
  } closer{file};
  if (_fstat64(_fileno(file), &info) != 0 || !IsRegular(info)) {
    return SongFailure(path, "not a regular file");
  }
#else
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return SongFailure(path, std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  if (fstat(fd, &info) != 0 || !IsRegular(info)) return SongFailure(path, "not a regular file");
#endif
  if (info.st_size <= 0) return SongFailure(path, "the file is empty");
  if (static_cast<uint64_t>(info.st_size) > kMaxSongBytes) {
    return SongFailure(path, "the file is larger than 256 MiB");
  }
  bytes.resize(static_cast<size_t>(info.st_size));
  size_t done = 0;
  while (done < bytes.size()) {
#if defined(_WIN32)
    const size_t got = std::fread(bytes.data() + done, 1, bytes.size() - done, file);
    if (got == 0) return SongFailure(path, "reading the file failed");
#else
    const ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return SongFailure(path, std::strerror(errno));
    if (got == 0) return SongFailure(path, "the file shrank while it was read");
#endif
    done += static_cast<size_t>(got);
  }
  return StartupOk();
}

}  // namespace

StartupStatus CheckSongFile(const char* path) {
  std::vector<unsigned char> bytes;
  StartupStatus status = ReadSong(path, bytes);
  if (!status.ok) return status;

  // The MP3 decoder alone, as the name promises; float output in the file's own channel count
  // and rate, the format the engine asks for as well.
  ma_decoder_config config = ma_decoder_config_init(ma_format_f32, 0, 0);
  config.encodingFormat = ma_encoding_format_mp3;
  ma_decoder decoder;
  ma_result result = ma_decoder_init_memory(bytes.data(), bytes.size(), &config, &decoder);
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
