// A test with a scratch folder of its own, removed after it, and the path of one file in it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "test_files.h"

namespace tc::test {

class ScratchFileTest : public ::testing::Test {
 protected:
  ScratchFileTest(const char* tag, const char* fileName) : tag_(tag), fileName_(fileName) {}
  void SetUp() override {
    dir_ = MakeScratchDir(tag_);
    path_ = dir_ + "/" + fileName_;
  }
  void TearDown() override { RemoveTree(dir_); }

  std::string dir_;
  std::string path_;

 private:
  const char* tag_;
  const char* fileName_;
};

}  // namespace tc::test
