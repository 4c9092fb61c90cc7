// Report inputs and outputs of the commands.
#include "export/command_inputs.h"

#include "export/history/background_task.h"
#include "export/history/report_run.h"
#include "export/ots/check_lines.h"
#include "support/output_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>

const OptionEntry kSourceRootOption = {
    "--source-root", "DIR",
    "write files under DIR relative to it (default: GITHUB_WORKSPACE, else CI_PROJECT_DIR)"};
const OptionEntry kSymbolFilesOption = {
    "--ots", "FILES...",
    "the symbol files veldora read, up to the next option: checks get their own lines"};

namespace {

std::string defaultSourceRoot() {
  for (const char* name : {"GITHUB_WORKSPACE", "CI_PROJECT_DIR"}) {
    const char* value = getenv(name);
    if (value && *value) return value;
  }
  return std::string();
}

// Inputs are read from regular files only: opening a FIFO would wait for a
// writer that may never come. Missing files are left to the opening, which
// says so in its own words.
bool regularFile(const std::string& path, std::string* reason) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) return true;
  *reason = "not a regular file";
  return false;
}

}  // namespace

ReportInput reportInput(const CommandArguments& args, size_t operand) {
  return {args.operands()[operand], args.value("--source-root", defaultSourceRoot()),
          args.files("--ots")};
}

std::vector<CommandInput> inputsOf(const ReportInput& input) {
  std::vector<CommandInput> inputs = {{input.path, "the report"}};
  for (const std::string& file : input.symbolFiles) inputs.push_back({file, "a symbol file"});
  return inputs;
}

bool openReport(const ReportInput& input, ReportReader& reader, std::string* error) {
  std::string reason;
  if (!regularFile(input.path, &reason)) {
    *error = errorLine(input.path, {"cannot open: " + reason, 0, 0});
    return false;
  }
  reader.setSourceRoot(input.sourceRoot);
  if (!input.symbolFiles.empty()) {
    for (const std::string& file : input.symbolFiles) {
      if (!regularFile(file, &reason)) {
        *error = file + ": cannot read: " + reason;
        return false;
      }
    }
    auto lines = std::make_unique<CheckLines>();
    if (!lines->read(input.symbolFiles, error)) return false;
    reader.setAnnotator(std::move(lines));
  }
  if (reader.open(input.path.c_str())) return true;
  *error = errorLine(input.path, reader.error());
  return false;
}

bool stepSummaryPath(const std::vector<CommandInput>& inputs, std::string* path,
                     std::string* error) {
  const char* named = getenv("GITHUB_STEP_SUMMARY");
  *path = named ? named : "";
  const CommandInput* input = path->empty() ? nullptr : findInput(*path, inputs);
  if (input) *error = *path + ": the step summary would be appended to " + input->what;
  return !input;
}

bool readReportOnce(const ReportInput& input, TestObjectVisitor& objects, const ReportItems& items,
                    std::string* digest, std::string* error) {
  ReportReader reader;
  if (!openReport(input, reader, error)) return false;
  bool digested = true;
  {
    BackgroundTask task([&] {
      if (digest) digested = reportDigest(input.path, digest, error);
    });
    if (!readTestObjects(reader, objects, items)) {
      task.join();
      *error = errorLine(input.path, reader.error());
      return false;
    }
  }
  return digested;
}

std::string outputPath(const CommandArguments& args, const std::string& report,
                       const char* extension) {
  return args.has("-o") ? args.value("-o") : besideReport(report, extension);
}

std::string besideReport(const std::string& report, const char* extension) {
  const size_t slash = report.rfind('/');
  const size_t base = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = report.rfind('.');
  if (dot != std::string::npos && dot > base) return report.substr(0, dot) + extension;
  return report + extension;
}

bool openOutput(const std::string& path, OutputFile& output, std::string* error) {
  if (path == "-") {
    output.openStandardOutput();
    return true;
  }
  if (output.open(path.c_str())) return true;
  *error = path + ": cannot write: " + output.error();
  return false;
}

bool finishOutput(const std::string& path, OutputFile& output, std::string* error) {
  if (output.commit()) return true;
  *error = path + ": cannot write: " + output.error();
  return false;
}
