// The output file is written under a temporary name beside it and renamed only once it is
// complete, so a failed or stopped capture never leaves a truncated file under the asked-for name,
// nor replaces a good one.
#pragma once

#include <string>

namespace tc::capture {

// "dir/name.partial-PID.ext" beside "dir/name.ext": the same folder (so the rename is atomic and
// needs no copy) and the same extension.
std::string TemporaryNameFor(const std::string& output);

// The output's temporary file exists from the start, so an unwritable folder is reported before
// any work; it is removed on every way out but success.
struct TemporaryOutput {
  std::string path;
  bool kept = false;
  ~TemporaryOutput() noexcept;
};

// Creates the empty temporary file for `output` (it must not exist yet). Returns 0, or the errno
// of the failed create when the folder cannot take it.
int CreateTemporaryOutput(const std::string& output, TemporaryOutput& temp);

// Renames the finished temporary file to `output`, which it replaces. False, with the line to
// print in `error`, when the rename fails; the temporary file is then removed as on any failure.
bool KeepTemporaryOutput(TemporaryOutput& temp, const std::string& output, std::string& error);

// "12.3 MB", or "size unknown".
std::string FileSizeText(const std::string& path);

}  // namespace tc::capture
