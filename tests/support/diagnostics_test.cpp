#include "support/diagnostics.h"

#include <gtest/gtest.h>

#include <string>

namespace {

template <typename Report>
std::string stderrOf(Report report) {
  testing::internal::CaptureStderr();
  report();
  return testing::internal::GetCapturedStderr();
}

TEST(Diagnostics, NoLocation) {
  EXPECT_EQ("veldora - error: run.tdf, no such file or directory.\n", stderrOf([] {
              reportMessageS1(MsgNoSuchFile, NoLocation, 0, "run.tdf");
            }));
}

TEST(Diagnostics, CommandLineLocation) {
  EXPECT_EQ("veldora - error: command line: x, permission denied;\n",
            stderrOf([] { reportMessageS1(MsgPermissionDenied, CommandLineLocation, 0, "x"); }));
}

TEST(Diagnostics, FileLocationWithAndWithoutLine) {
  EXPECT_EQ("veldora - error: a.ots:7: b, file format not recognized.\n", stderrOf([] {
              reportMessageS1(MsgFormatNotRecognized, "a.ots", 7, "b");
            }));
  EXPECT_EQ("veldora - error: a.ots: b, file format not recognized.\n", stderrOf([] {
              reportMessageS1(MsgFormatNotRecognized, "a.ots", 0, "b");
            }));
}

TEST(Diagnostics, AbsentArgumentLeavesThePlaceholder) {
  EXPECT_EQ("veldora - error: %1, no such file or directory.\n",
            stderrOf([] { reportMessageS1(MsgNoSuchFile, NoLocation, 0, nullptr); }));
}

TEST(Diagnostics, EmptyArgumentRemovesThePlaceholder) {
  EXPECT_EQ("veldora - error: , no such file or directory.\n", stderrOf([] {
              reportMessage(MsgNoSuchFile, NoLocation, 0, QLatin1String(""));
            }));
}

TEST(Diagnostics, AbsentArgumentUsesUpNoPlaceholder) {
  EXPECT_EQ("veldora - error: b, no such file or directory.\n", stderrOf([] {
              reportMessage(MsgNoSuchFile, NoLocation, 0, QString(), QStringLiteral("b"));
            }));
}

TEST(Diagnostics, ArgumentHoldingAPlaceholderIsInsertedAsItIs) {
  EXPECT_EQ("veldora - error: a%1b, no such file or directory.\n", stderrOf([] {
              reportMessage(MsgNoSuchFile, NoLocation, 0, QStringLiteral("a%1b"),
                            QStringLiteral("c"));
            }));
}

TEST(Diagnostics, WriteErrorMessage) {
  EXPECT_EQ("veldora - error: /dev/full, write error.\n",
            stderrOf([] { reportMessageS1(MsgWriteFailed, NoLocation, 0, "/dev/full"); }));
}

TEST(DiagnosticsDeathTest, FatalMessagesEndWithStatusOne) {
  EXPECT_EXIT(reportMessageS0(MsgOutOfMemory, NoLocation, 0), testing::ExitedWithCode(1),
              "^veldora - fatal: out of memory\n$");
  EXPECT_EXIT(reportMessageS1(MsgInternalError, NoLocation, 0, "bad state"),
              testing::ExitedWithCode(1),
              "^veldora - fatal: internal error: bad state\n$");
  EXPECT_EXIT(reportMessageS0(MsgUnexpectedError, CommandLineLocation, 0),
              testing::ExitedWithCode(1),
              "^veldora - fatal: command line: \\(unexpected error\\)\n$");
}

}  // namespace
