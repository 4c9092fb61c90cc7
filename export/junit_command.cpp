// The junit command: its options, the report and the output opened, the
// writer run, and the warnings CI needs: totals below the objects, and a
// file larger than CI servers read.
//
//   veldora-export junit report.xrd --system-out none
//   veldora-export: report.junit.xml: warning: 31.2 MB, more than the 30 MB that CI servers read
#include "export/junit_command.h"

#include "export/ci/junit_writer.h"
#include "export/command_inputs.h"
#include "export/host_name.h"
#include "support/output_file.h"

#include <cstdio>
#include <cstdlib>

namespace {

// GitLab reads JUnit files of at most 30 MB and 500,000 test cases.
constexpr int64_t kLargeFileBytes = 30 * 1000 * 1000;
constexpr int64_t kManyTestCases = 500000;

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

int runJunitCommand(const CommandArguments& args) {
  const ReportInput input = reportInput(args, 0);
  const std::string output = outputPath(args, input.path, ".junit.xml");
  int systemOut = SystemOutFailures;
  std::string error;
  if (!args.choice("--system-out", &systemOut, &error) ||
      !outputAvoidsInputs(output, inputsOf(input), &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  const JunitOptions options = junitOptions(static_cast<SystemOut>(systemOut));
  ReportReader reader;
  OutputFile file;
  if (!openReport(input, reader, &error) || !openOutput(output, file, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  JunitResult result;
  if (!writeJunit(reader, file.file(), options, input.path, &result, &error) ||
      !finishOutput(output, file, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  printJunitWarnings(input.path, output, result);
  return result.failedVerdict ? ExitFailedVerdict : ExitPassed;
}

JunitOptions junitOptions(SystemOut systemOut) {
  JunitOptions options;
  options.systemOut = systemOut;
  options.hostname = hostName();
  options.scratchDir = scratchFolder();
  return options;
}

void printJunitWarnings(const std::string& report, const std::string& output,
                        const JunitResult& result) {
  if (!result.mismatch.empty()) printErrorLine(report + ": warning: " + result.mismatch);
  for (const std::string& warning : largeFileWarnings(output, result.bytes, result.testCases))
    printErrorLine(warning);
}
