// Dispatch, usage text and the shared argument forms of veldora-export.
//
//   veldora-export --help | --version
//   veldora-export COMMAND REPORT [options]
#include "export/command_line.h"

#include "export/output_file.h"

#include <cstdio>
#include <cstring>

namespace {

const char kVersion[] = "veldora-export 8.2.0.1";

void printUsage(FILE* to, const ExportCommand* commands, int count) {
  fputs("Usage: veldora-export COMMAND REPORT [options]\n"
        "       veldora-export --help | --version\n"
        "\n"
        "Turns a report file written by veldora into other forms.\n"
        "\n"
        "Commands:\n",
        to);
  for (int i = 0; i < count; ++i)
    fprintf(to, "  %-36s %s\n", commands[i].synopsis, commands[i].summary);
  fputs("\n"
        "OUT \"-\" writes to standard output; any other OUT appears only once it\n"
        "is complete.\n"
        "\n"
        "Exit status: 0 when no verdict failed, 3 when the report holds a failed\n"
        "verdict, 2 when the export failed (usage, an unreadable or broken\n"
        "report, an output that could not be written). record gives 0 once the\n"
        "run is stored; diff gives 3 only for a new failure (see --fail-on).\n",
        to);
}

bool isHelp(const char* arg) { return strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0; }

}  // namespace

bool parseCountArgument(const char* text, int64_t* value) {
  if (!*text) return false;
  int64_t v = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9' || v > 100000000) return false;
    v = v * 10 + (*p - '0');
  }
  *value = v;
  return true;
}

void printErrorLine(const std::string& text) {
  fprintf(stderr, "veldora-export: %s\n", text.c_str());
}

void printReportError(const std::string& path, const ReportErrorInfo& error) {
  printErrorLine(path + ":" + std::to_string(error.line) + ":" + std::to_string(error.column) +
                 ": " + error.message);
}

void printOutputError(const std::string& path, const std::string& reason) {
  printErrorLine(path + ": cannot write: " + reason);
}

int runExport(int argc, char** argv, const ExportCommand* commands, int count) {
  if (argc < 2) {
    printUsage(stderr, commands, count);
    return ExitBroken;
  }
  if (isHelp(argv[1])) {
    printUsage(stdout, commands, count);
    return ExitPassed;
  }
  if (strcmp(argv[1], "--version") == 0) {
    puts(kVersion);
    return ExitPassed;
  }
  for (int i = 0; i < count; ++i) {
    if (strcmp(argv[1], commands[i].name) != 0) continue;
    for (int a = 2; a < argc; ++a) {
      if (isHelp(argv[a])) {
        printUsage(stdout, commands, count);
        return ExitPassed;
      }
    }
    return commands[i].run(argc - 2, argv + 2);
  }
  printErrorLine(std::string("unknown command ") + argv[1] + " (see veldora-export --help)");
  return ExitBroken;
}

bool parseReportAndOutput(int argc, char** argv, const char* command,
                          const char* defaultExtension, ReportAndOutput* out) {
  bool haveReport = false;
  bool haveOutput = false;
  for (int i = 0; i < argc; ++i) {
    if (strcmp(argv[i], "-o") == 0) {
      if (i + 1 == argc || haveOutput) {
        printErrorLine(std::string(command) + ": -o needs one file name (see --help)");
        return false;
      }
      out->output = argv[++i];
      haveOutput = true;
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      printErrorLine(std::string(command) + ": unknown option " + argv[i] + " (see --help)");
      return false;
    } else if (haveReport) {
      printErrorLine(std::string(command) + ": one report file only (see --help)");
      return false;
    } else {
      out->report = argv[i];
      haveReport = true;
    }
  }
  if (!haveReport) {
    printErrorLine(std::string(command) + ": no report file named (see --help)");
    return false;
  }
  if (!haveOutput) out->output = replaceExtension(out->report, defaultExtension);
  if (out->output != "-" && sameFile(out->output, out->report)) {
    printErrorLine(out->output + ": the output would replace the report");
    return false;
  }
  return true;
}

bool openReportAndOutput(const ReportAndOutput& args, ReportReader& reader, OutputFile& output) {
  if (!reader.open(args.report.c_str())) {
    printReportError(args.report, reader.error());
    return false;
  }
  std::string reason;
  if (!output.open(args.output, &reason)) {
    printOutputError(args.output, reason);
    return false;
  }
  return true;
}

int finishOutput(const ReportAndOutput& args, OutputFile& output, bool failedVerdict) {
  std::string reason;
  if (!output.commit(&reason)) {
    printOutputError(args.output, reason);
    return ExitBroken;
  }
  return failedVerdict ? ExitFailedVerdict : ExitPassed;
}
