// Shared by the reader tests: fixture paths, scratch files with exact bytes,
// and a test base that gives every test an empty model.
#pragma once

#include "model/model.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include <unistd.h>

inline std::string fixture(const char* name) {
  return std::string(VELDORA_TEST_DATA) + "/" + name;
}

// A temporary file holding exactly the given bytes; removed with the object.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& bytes) {
    path_ = ::testing::TempDir() + "veldora_readers_XXXXXX";
    int fd = mkstemp(&path_[0]);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
  }
  ~ScratchFile() { remove(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override { resetModel(); }
  void TearDown() override { releaseModel(); }
};
