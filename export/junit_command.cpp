// The junit command: its options, the reports and the output opened, the
// writer run, and the warnings CI needs: totals below the objects, and a
// file larger than CI servers read. A run of several reports gives one
// file with the suites of every part.
//
//   veldora-export junit report.xrd --system-out none
//   veldora-export junit shard1/stack_test.xrd shard2/queue_test.xrd -o run.junit.xml
//   veldora-export: report.junit.xml: warning: 31.2 MB, more than the 30 MB that CI servers read
#include "export/junit_command.h"

#include "export/command_inputs.h"
#include "export/history_inputs.h"
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

bool JunitParts::start(const CommandArguments& args, std::vector<PartReport>* parts,
                      std::string* error) {
  int systemOut = SystemOutFailures;
  if (!args.choice("--system-out", &systemOut, error)) return false;
  for (PartReport& part : *parts) {
    JunitOptions options = junitOptions(static_cast<SystemOut>(systemOut));
    if (parts->size() > 1) options.part = part.run.run.part;
    builders.push_back(std::make_unique<JunitBuilder>(options));
    if (!builders.back()->start(error)) return false;
  }
  return true;
}

std::vector<JunitPart> JunitParts::of(const std::vector<PartReport>& parts) const {
  std::vector<JunitPart> run;
  for (size_t p = 0; p < parts.size(); ++p) run.push_back({builders[p].get(), parts[p].input.path});
  return run;
}

int runJunitCommand(const CommandArguments& args) {
  const std::string output = outputPath(args, args.operands().front(), ".junit.xml");
  std::vector<CommandInput> inputs;
  for (const std::string& report : args.operands()) inputs.push_back({report, "a report"});
  for (const std::string& file : args.files("--ots")) inputs.push_back({file, "a symbol file"});
  std::vector<PartReport> parts;
  JunitParts junit;
  OutputFile file;
  JunitResult result;
  std::string error;
  bool ok = outputAvoidsInputs(output, inputs, &error) && partReports(args, 0, &parts, &error) &&
            junit.start(args, &parts, &error);
  for (size_t p = 0; ok && p < parts.size(); ++p)
    ok = readPart(&parts[p], &junit.builders[p]->objects(), nullptr, {false, false}, &error);
  if (!ok || !openOutput(output, file, &error) ||
      !writeJunitRun(file.file(), junit.of(parts), &result, &error) ||
      !finishOutput(output, file, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  printJunitWarnings(args.operands().front(), output, result);
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
