// The junit command: its options, the report and the output opened, the
// writer run, and the warnings CI needs: totals below the objects, and a
// file larger than CI servers read.
//
//   veldora-export junit report.xrd --system-out none
//   veldora-export: report.junit.xml: warning: 31.2 MB, more than the 30 MB that CI servers read
#include "export/junit_command.h"

#include "export/ci/junit_writer.h"
#include "export/command_line.h"
#include "export/host_name.h"
#include "support/output_file.h"

#include <cstdio>
#include <cstdlib>

namespace {

// GitLab reads JUnit files of at most 30 MB and 500,000 test cases.
constexpr int64_t kLargeFileBytes = 30 * 1000 * 1000;
constexpr int64_t kManyTestCases = 500000;

bool parseSystemOut(const std::string& value, SystemOut* systemOut) {
  if (value == "none") *systemOut = SystemOutNone;
  else if (value == "failures") *systemOut = SystemOutFailures;
  else if (value == "all") *systemOut = SystemOutAll;
  else return false;
  return true;
}

std::string scratchFolder() {
  const char* dir = getenv("TMPDIR");
  return dir && *dir ? dir : "/tmp";
}

}  // namespace

std::vector<std::string> largeFileWarnings(const std::string& output, int64_t bytes,
                                           int64_t testCases) {
  const std::string name = output == "-" ? "standard output" : output;
  std::vector<std::string> warnings;
  if (bytes > kLargeFileBytes) {
    char size[32];
    snprintf(size, sizeof size, "%.1f MB", bytes / 1e6);
    warnings.push_back(name + ": warning: " + size +
                       ", more than the 30 MB that CI servers read (--system-out none writes less)");
  }
  if (testCases > kManyTestCases)
    warnings.push_back(name + ": warning: " + std::to_string(testCases) +
                       " test cases, more than the 500000 that CI servers read");
  return warnings;
}

int runJunitCommand(int argc, char** argv) {
  ReportAndOutput args;
  if (!parseArguments(argc, argv, {"junit", ".junit.xml", {"--system-out"}}, &args))
    return ExitBroken;
  JunitOptions options;
  for (const auto& option : args.options) {
    if (!parseSystemOut(option.second, &options.systemOut)) {
      printErrorLine("junit: unknown --system-out " + option.second + " (none, failures or all)");
      return ExitBroken;
    }
  }
  options.hostname = hostName();
  options.scratchDir = scratchFolder();
  ReportReader reader;
  OutputFile output;
  if (!openReportAndOutput(args, reader, output)) return ExitBroken;
  JunitResult result;
  if (!writeJunit(reader, output.file(), options, &result)) {
    if (result.error.empty()) printReportError(args.report, result.reportError);
    else printErrorLine(result.error);
    return ExitBroken;
  }
  const int status = finishOutput(args, output, result.failedVerdict);
  if (status == ExitBroken) return status;
  if (!result.mismatch.empty()) printErrorLine(args.report + ": warning: " + result.mismatch);
  for (const std::string& warning : largeFileWarnings(args.output, result.bytes, result.testCases))
    printErrorLine(warning);
  return status;
}
