// What the commands that read a report share: the report with its source
// root and symbol files, opened for reading, and the file a command writes,
// by default beside the report.
//
//   veldora-export junit run/report.xrd --source-root /ci --ots a.ots b.ots
//   -> report "run/report.xrd", root "/ci", symbol files {a.ots, b.ots},
//      output "run/report.junit.xml"
#pragma once

#include "export/command_line.h"
#include "export/xrd/report_reader.h"
#include "export/xrd/test_objects.h"

#include <string>
#include <vector>

class OutputFile;

// The options of a report input, for the command table.
extern const OptionEntry kSourceRootOption;  // --source-root DIR
extern const OptionEntry kSymbolFilesOption;  // --ots FILES...

struct ReportInput {
  std::string path;
  std::string sourceRoot;  // files under it are written relative to it
  std::vector<std::string> symbolFiles;  // the checks' own lines; none: the test cases'
};

// The report named by operand with --source-root (by default
// GITHUB_WORKSPACE, else CI_PROJECT_DIR) and --ots.
ReportInput reportInput(const CommandArguments& args, size_t operand);

// The files a command reads for the report: the report and its symbol
// files, which no output may replace.
std::vector<CommandInput> inputsOf(const ReportInput& input);

// Opens the report for reading. False, with the error line's text, when it
// cannot be opened, is no regular file (a FIFO is never waited on) or its
// symbol files cannot be read.
bool openReport(const ReportInput& input, ReportReader& reader, std::string* error);
// Reads the whole report once into objects (and items, when given), with
// the digest of its bytes (reportDigest) taken beside it on a second
// thread when digest is given. False, with the error line's text, when it
// cannot be read.
bool readReportOnce(const ReportInput& input, TestObjectVisitor& objects, const ReportItems& items,
                    std::string* digest, std::string* error);


// The file GITHUB_STEP_SUMMARY names, checked before any work: "" when it
// is unset. False, with the error line's text, when it names one of
// inputs (the Markdown would damage a report or the history).
bool stepSummaryPath(const std::vector<CommandInput>& inputs, std::string* path,
                     std::string* error);

// The report's name with its extension replaced: "run/report.xrd" and
// ".html" give "run/report.html".
std::string besideReport(const std::string& report, const char* extension);
// -o OUT, by default beside the report.
std::string outputPath(const CommandArguments& args, const std::string& report,
                       const char* extension);
// Opens the output ("-": standard output). False, with the error line's
// text, when it cannot be made.
bool openOutput(const std::string& path, OutputFile& output, std::string* error);
// Puts the output in place. False, with the error line's text, when that fails.
bool finishOutput(const std::string& path, OutputFile& output, std::string* error);
