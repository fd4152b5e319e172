// The song file, checked by us before the audio library opens it: the library's own failure path
// for a song it cannot open is unsafe, so it must only ever see a file that will open. The file is
// read as every asset file is (assets/file_read.h).
#pragma once

#include "base/status.h"

namespace tc {

// Succeeds when `path` is a regular file (judged before it is opened, so a FIFO or a device never
// blocks start-up), readable, not empty, at most 256 MiB, and its first frame decodes as MP3.
// Failures read "StartMusic: <path>: <what is wrong>".
StartupStatus CheckSongFile(const char* path);

}  // namespace tc
