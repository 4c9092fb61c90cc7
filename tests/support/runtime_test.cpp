#include "support/runtime.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string nameOf(const char* path) {
  char* name = fileNameOf(path);
  std::string result = name;
  free(name);
  return result;
}

TEST(FileNameOf, TakesTheLastComponent) {
  EXPECT_EQ("test.ots", nameOf("dir/sub/test.ots"));
  EXPECT_EQ("test.ots", nameOf("test.ots"));
  EXPECT_EQ("", nameOf("dir/"));
  EXPECT_EQ("", nameOf(""));
}

TEST(FileExists, CountsDirectoriesAndUnreadableFiles) {
  EXPECT_TRUE(fileExists("."));
  char path[] = "/tmp/veldora_runtime_XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  chmod(path, 0);
  EXPECT_TRUE(fileExists(path));
  unlink(path);
  EXPECT_FALSE(fileExists(path));
  EXPECT_FALSE(fileExists(""));
  EXPECT_FALSE(fileExists(nullptr));
  EXPECT_FALSE(fileExists("/etc/passwd/below-a-file"));
}

TEST(CheckedMalloc, ZeroBytesReportNothing) {
  testing::internal::CaptureStderr();
  free(checkedMalloc(0));
  EXPECT_EQ("", testing::internal::GetCapturedStderr());
}

TEST(CheckedMallocDeathTest, ExhaustionIsFatal) {
  // Larger than any address space: malloc must fail.
  EXPECT_EXIT(checkedMalloc(~size_t(0) / 2), testing::ExitedWithCode(1),
              "veldora - fatal: out of memory\n$");
}

}  // namespace
