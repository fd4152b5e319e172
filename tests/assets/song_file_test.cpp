// The song is judged by us before the audio library opens it: only a readable, non-empty regular
// file whose first frame decodes as MP3 gets through, and nothing else blocks or crashes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "assets/song_file.h"
#include "scratch_file_test.h"
#include "test_files.h"

namespace tc {
namespace {

class SongCheck : public test::ScratchFileTest {
 protected:
  SongCheck() : ScratchFileTest("song", "audio.mp3") {}
  void ExpectRefused(const char* reason) {
    const StartupStatus status = CheckSongFile(path_.c_str());
    EXPECT_FALSE(status.ok);
    EXPECT_EQ(std::strncmp(status.message, "StartMusic: ", 12), 0) << status.message;
    EXPECT_NE(std::strstr(status.message, path_.c_str()), nullptr) << status.message;
    EXPECT_NE(std::strstr(status.message, reason), nullptr) << status.message;
  }
};

TEST_F(SongCheck, AShortMp3Passes) {
  test::WriteStandInSong(path_, 0.5);
  const std::string bytes = test::ReadFile(path_);
  if (bytes.compare(0, 4, "RIFF") == 0) GTEST_SKIP() << "no MP3 encoder (lame) installed";
  const StartupStatus status = CheckSongFile(path_.c_str());
  EXPECT_TRUE(status.ok) << status.message;
}

TEST_F(SongCheck, WhatIsNotARegularFileIsRefusedUnopened) {
  ExpectRefused("file not found");
  ASSERT_EQ(mkdir(path_.c_str(), 0700), 0);
  ExpectRefused("not a regular file");
  rmdir(path_.c_str());
  // Opening a FIFO for reading would wait for a writer.
  ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
  ExpectRefused("not a regular file");
}

TEST_F(SongCheck, AnUnreadableFileIsRefused) {
  test::WriteStandInSong(path_, 0.5);
  ASSERT_EQ(chmod(path_.c_str(), 0), 0);
  if (geteuid() == 0) GTEST_SKIP() << "root reads any file";
  ExpectRefused("Permission denied");
}

TEST_F(SongCheck, WhatDoesNotDecodeAsMp3IsRefused) {
  test::WriteFile(path_, "");
  ExpectRefused("the file is empty");
  test::WriteStandInSong(path_, 0.5);
  const std::string song = test::ReadFile(path_);
  // Cut inside the first frame.
  test::WriteFile(path_, song.substr(0, 16));
  ExpectRefused("MP3");
  test::WriteFile(path_, std::string(4096, 'x'));
  ExpectRefused("MP3");
  // Another container under the name is not what the name says.
  test::WriteFile(path_, "RIFF" + std::string(4000, '\0'));
  ExpectRefused("MP3");
}

}  // namespace
}  // namespace tc
