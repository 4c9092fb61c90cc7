// The command line of veldora-export: one subcommand per export, found in
// the table of main.cpp, and what the subcommands share: the REPORT [-o OUT]
// arguments, the error line and the exit statuses.
//
//   veldora-export html run/report.xrd -o page.html
//   veldora-export: run/report.xrd:12:7: the end tag </ROW> does not match <TABLE>
#pragma once

#include "export/xrd/report_reader.h"

#include <string>
#include <utility>
#include <vector>

// Exit statuses: like veldora, 0 when no verdict failed and 3 when one did;
// 2 when the export itself failed (usage, an unreadable or broken report,
// an output that could not be written).
enum ExportExit { ExitPassed = 0, ExitBroken = 2, ExitFailedVerdict = 3 };

struct ExportCommand {
  const char* name;      // "html"
  const char* synopsis;  // "html REPORT [-o OUT]"
  const char* summary;   // one line of the usage text
  // Runs with the arguments after the command's name; returns the exit status.
  int (*run)(int argc, char** argv);
};

// The whole program: dispatches argv[1] over the commands.
int runExport(int argc, char** argv, const ExportCommand* commands, int count);

// The arguments every command shares, parsed in one place:
//   REPORT          the report file
//   -o OUT          the output (commands that write a file); OUT is taken as
//                   a name whatever it looks like, "-" is standard output
//   --source-root DIR  files under DIR are written relative to it; by
//                   default GITHUB_WORKSPACE or CI_PROJECT_DIR when set
//   --ots FILES…    the symbol files veldora read for the report, up to the
//                   next option: failed checks get their own lines
// and the options of the command's own that take a value.
struct ReportAndOutput {
  std::string report;
  std::string output;  // "-" for standard output
  std::string sourceRoot;
  std::vector<std::string> symbolFiles;
  // The command's own options as given, in order: {"--max", "20"}.
  std::vector<std::pair<std::string, std::string>> options;
};

struct ArgumentForms {
  const char* command;           // "junit"
  const char* defaultExtension;  // OUT is REPORT with this one; nullptr: no -o
  std::vector<std::string> options;  // its own options that take a value
};

// The source root when none is given: GITHUB_WORKSPACE, else CI_PROJECT_DIR,
// else none.
std::string defaultSourceRoot();

// Parses the arguments after the command's name. False, after the error
// line, on a usage error or when OUT would replace the report itself.
bool parseArguments(int argc, char** argv, const ArgumentForms& forms, ReportAndOutput* out);

// "REPORT [-o OUT] [--source-root DIR]"; OUT defaults to REPORT with its
// extension replaced by defaultExtension.
bool parseReportAndOutput(int argc, char** argv, const char* command,
                          const char* defaultExtension, ReportAndOutput* out);

// "--ots FILES…" at argv[*i]: the files up to the next option, *i moved to
// the last. False, after the error line, when no file follows or --ots came
// before.
bool takeSymbolFiles(int argc, char** argv, int* i, const std::string& command,
                     std::vector<std::string>* files);

// Opens the report with the source root and the symbol files applied. False, after the error
// line, when it cannot be opened.
bool openReport(const ReportAndOutput& args, ReportReader& reader);

class OutputFile;

// Opens the report and the output of a REPORT [-o OUT] command. False,
// after the error line, when either cannot be opened.
bool openReportAndOutput(const ReportAndOutput& args, ReportReader& reader, OutputFile& output);
// Puts the output in place; the exit status of the command that wrote it.
int finishOutput(const ReportAndOutput& args, OutputFile& output, bool failedVerdict);

// True when both names exist and are the same file.
bool sameFile(const std::string& a, const std::string& b);

// "veldora-export: " and the text, as one line on standard error.
void printErrorLine(const std::string& text);
// The error line of a report that cannot be read: "FILE:LINE:COLUMN: what".
void printReportError(const std::string& path, const ReportErrorInfo& error);
// The error line of an output that cannot be written: "FILE: cannot write: why".
void printOutputError(const std::string& path, const std::string& reason);
