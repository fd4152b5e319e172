// The one reader behind every asset file: exactly the bytes asked for, the size limit at its edge,
// and nothing handed out when a read falls short. Refusing what is not a regular file is tested
// through each loader.
#include <gtest/gtest.h>

#include <string>

#include "assets/file_read.h"
#include "scratch_file_test.h"
#include "test_files.h"

namespace tc {
namespace {

class FileRead : public test::ScratchFileTest {
 protected:
  FileRead() : ScratchFileTest("read", "file.bin") {}
  std::string Bytes() const {
    return std::string(reinterpret_cast<const char*>(bytes_.data), bytes_.size);
  }

  FileBytes bytes_;
};

TEST_F(FileRead, WholeFileOrExactlyItsPrefix) {
  test::WriteFile(path_, "0123456789");
  ASSERT_EQ(ReadRegularFile(path_.c_str(), 10, 0, bytes_).error, ReadError::kNone);
  EXPECT_EQ(Bytes(), "0123456789");
  ASSERT_EQ(ReadRegularFile(path_.c_str(), 10, 4, bytes_).error, ReadError::kNone);
  EXPECT_EQ(Bytes(), "0123");
  test::WriteFile(path_, "");
  ASSERT_EQ(ReadRegularFile(path_.c_str(), 10, 0, bytes_).error, ReadError::kNone);
  EXPECT_EQ(bytes_.size, 0u);
}

TEST_F(FileRead, LimitHoldsAtItsEdgeForFilesAndPrefixes) {
  test::WriteFile(path_, "0123456789");
  EXPECT_EQ(ReadRegularFile(path_.c_str(), 10, 0, bytes_).error, ReadError::kNone);
  EXPECT_EQ(ReadRegularFile(path_.c_str(), 9, 0, bytes_).error, ReadError::kTooLarge);
  EXPECT_EQ(ReadRegularFile(path_.c_str(), 4, 4, bytes_).error, ReadError::kNone);
  EXPECT_EQ(ReadRegularFile(path_.c_str(), 3, 4, bytes_).error, ReadError::kTooLarge);
  EXPECT_EQ(ReadErrorText(ReadRegularFile(path_.c_str(), 9, 0, bytes_), 9), "larger than 9 bytes");
}

TEST_F(FileRead, FailuresLeaveTheLastBytesInPlace) {
  test::WriteFile(path_, "0123456789");
  ASSERT_EQ(ReadRegularFile(path_.c_str(), 10, 0, bytes_).error, ReadError::kNone);
  const ReadResult beyond = ReadRegularFile(path_.c_str(), 100, 11, bytes_);
  EXPECT_EQ(beyond.error, ReadError::kShort);
  EXPECT_EQ(beyond.fileSize, 10u);
  EXPECT_EQ(ReadRegularFile((dir_ + "/none").c_str(), 100, 0, bytes_).error, ReadError::kMissing);
  EXPECT_EQ(ReadRegularFile(dir_.c_str(), 100, 0, bytes_).error, ReadError::kNotRegular);
  EXPECT_EQ(Bytes(), "0123456789");
}

}  // namespace
}  // namespace tc
