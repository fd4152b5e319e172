#include "capture/encoder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace tc::capture {
namespace {

constexpr const char* kAacBitrate = "256k";

std::string LastLogLine(int fd) {
  const off_t size = lseek(fd, 0, SEEK_END);
  if (size <= 0) return std::string();
  const off_t start = size > 4096 ? size - 4096 : 0;
  std::string tail(static_cast<size_t>(size - start), '\0');
  const ssize_t n = pread(fd, &tail[0], tail.size(), start);
  if (n <= 0) return std::string();
  tail.resize(static_cast<size_t>(n));
  while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r' || tail.back() == ' ')) {
    tail.pop_back();
  }
  const size_t lineStart = tail.find_last_of("\r\n");
  return lineStart == std::string::npos ? tail : tail.substr(lineStart + 1);
}

}  // namespace

std::string FindProgram(const char* program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return std::string();
  const std::string dirs = path;
  size_t begin = 0;
  while (begin <= dirs.size()) {
    size_t end = dirs.find(':', begin);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(begin, end - begin);
    if (dir.empty()) dir = ".";
    const std::string candidate = dir + "/" + program;
    struct stat info;
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    begin = end + 1;
  }
  return std::string();
}

std::vector<std::string> EncoderArguments(const CaptureOptions& options,
                                          const std::string& temporaryOutput) {
  const std::string size =
      std::to_string(options.resolution.width) + "x" + std::to_string(options.resolution.height);
  std::vector<std::string> args = {
      "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
      // The frames, top row first, exactly as many as are sent.
      "-f", "rawvideo", "-pix_fmt", "rgba", "-video_size", size, "-framerate",
      std::to_string(options.framesPerSecond), "-i", "pipe:0",
      // The song's stretch, already cut to the frames' length.
      "-f", "wav", "-i", "/dev/fd/3", "-map", "0:v:0", "-map", "1:a:0"};
  if (options.kind == OutputKind::kLosslessMkv) {
    // FFV1 version 3 on planar-free RGB (alpha dropped), every frame a key frame with checksummed
    // slices: the archival master. FLAC keeps the decoded song exactly (24 bits of the float).
    const std::vector<std::string> lossless = {
        "-c:v", "ffv1",     "-level", "3",    "-g",   "1",           "-slices", "4",  "-slicecrc",
        "1",    "-pix_fmt", "bgr0",   "-c:a", "flac", "-sample_fmt", "s32",     "-f", "matroska"};
    args.insert(args.end(), lossless.begin(), lossless.end());
  } else {
    // RGB to BT.709 limited-range YUV with the matrix the file is tagged with (ffmpeg's default
    // conversion would use BT.601), chroma averaged rather than dropped. x264's speed preset
    // comes from the options (see CaptureOptions::preset).
    const std::vector<std::string> h264 = {
        "-vf", "scale=out_color_matrix=bt709:out_range=tv:flags=accurate_rnd+full_chroma_int",
        "-c:v", "libx264", "-preset", options.preset,
        // H.264 High needs the 8x8 transform, which "ultrafast" would turn off.
        "-x264-params", "8x8dct=1", "-crf", std::to_string(options.crf), "-profile:v", "high",
        "-pix_fmt", "yuv420p", "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc",
        "bt709", "-color_range", "tv", "-c:a", "aac", "-b:a", kAacBitrate};
    args.insert(args.end(), h264.begin(), h264.end());
    if (options.kind == OutputKind::kH264Mp4) {
      const std::vector<std::string> mp4 = {"-movflags", "+faststart", "-f", "mp4"};
      args.insert(args.end(), mp4.begin(), mp4.end());
    } else {
      args.push_back("-f");
      args.push_back("matroska");
    }
  }
  args.push_back(temporaryOutput);
  return args;
}

bool StartEncoder(const std::string& program, const std::vector<std::string>& arguments, int songFd,
                  EncoderProcess& encoder, std::string& error) {
  encoder = EncoderProcess{};
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    error = std::string("cannot make a pipe to ffmpeg: ") + std::strerror(errno);
    return false;
  }
  // A larger pipe lets a whole frame's rows go in while the encoder is between reads.
  fcntl(pipeFds[1], F_SETPIPE_SZ, 1 << 20);
  const char* tmp = std::getenv("TMPDIR");
  const std::string folder = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  encoder.log = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (encoder.log < 0) {
    error = "cannot make a temporary file in " + folder + ": " + std::strerror(errno);
    close(pipeFds[0]);
    close(pipeFds[1]);
    return false;
  }

  // dup2 onto the same number would leave close-on-exec set: keep the song clear of 3.
  const int songCopy = fcntl(songFd, F_DUPFD_CLOEXEC, 10);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, encoder.log, 2);
  posix_spawn_file_actions_adddup2(&actions, songCopy, 3);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : arguments)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const int spawned =
      posix_spawn(&encoder.pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(pipeFds[0]);
  if (songCopy >= 0) close(songCopy);
  if (spawned != 0) {
    error = "cannot start " + program + ": " + std::strerror(spawned);
    close(pipeFds[1]);
    close(encoder.log);
    encoder = EncoderProcess{};
    return false;
  }
  encoder.input = pipeFds[1];
  return true;
}

bool FeedEncoder(const EncoderProcess& encoder, const void* bytes, size_t count) {
  const char* next = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t n = write(encoder.input, next, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // EPIPE: the encoder is gone
    next += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

bool FinishEncoder(EncoderProcess& encoder, const volatile sig_atomic_t& stopSignal,
                   std::string& error) {
  if (encoder.input >= 0) close(encoder.input);
  encoder.input = -1;
  int status = 0;
  pid_t waited;
  bool killed = false;
  // Polled rather than blocking, so a signal during the encoder's last pass (moving the index to
  // the front of an MP4 takes seconds) is acted on at once.
  for (;;) {
    waited = waitpid(encoder.pid, &status, WNOHANG);
    if (waited != 0 && !(waited < 0 && errno == EINTR)) break;
    if (stopSignal != 0 && !killed) {
      kill(encoder.pid, SIGKILL);
      killed = true;
    }
    usleep(10000);
  }
  encoder.pid = -1;
  const bool ok = waited > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!ok) {
    if (waited > 0 && WIFSIGNALED(status)) {
      error = std::string("ffmpeg was killed by signal ") + std::to_string(WTERMSIG(status)) +
              " (" + strsignal(WTERMSIG(status)) + ")";
    } else if (waited > 0 && WIFEXITED(status)) {
      error = "ffmpeg failed (exit code " + std::to_string(WEXITSTATUS(status)) + ")";
    } else {
      error = "ffmpeg could not be waited for";
    }
    const std::string last = LastLogLine(encoder.log);
    if (!last.empty()) error += ": " + last;
  }
  close(encoder.log);
  encoder.log = -1;
  return ok;
}

void KillEncoder(EncoderProcess& encoder) {
  if (encoder.input >= 0) close(encoder.input);
  encoder.input = -1;
  if (encoder.pid > 0) {
    kill(encoder.pid, SIGKILL);
    while (waitpid(encoder.pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  encoder.pid = -1;
  if (encoder.log >= 0) close(encoder.log);
  encoder.log = -1;
}

}  // namespace tc::capture
