// Dispatch, usage text and the shared argument forms of veldora-export.
//
//   veldora-export --help | --version
//   veldora-export COMMAND REPORT [options]
#include "export/command_line.h"

#include "support/output_file.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

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
        "report, an output that could not be written).\n",
        to);
}

bool isHelp(const char* arg) { return strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0; }

// The report's name with its extension (the part of the last path component
// from its last dot, unless that dot begins the component) replaced by the
// given one: "run/report.xrd" and ".html" give "run/report.html".
std::string replaceExtension(const std::string& path, const char* extension) {
  const size_t slash = path.rfind('/');
  const size_t base = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = path.rfind('.');
  if (dot != std::string::npos && dot > base) return path.substr(0, dot) + extension;
  return path + extension;
}

// True when both names exist and are the same file.
bool sameFile(const std::string& a, const std::string& b) {
  struct stat first, second;
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

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
  if (args.output == "-") {
    output.openStandardOutput();
  } else if (!output.open(args.output.c_str())) {
    printOutputError(args.output, output.error());
    return false;
  }
  return true;
}

int finishOutput(const ReportAndOutput& args, OutputFile& output, bool failedVerdict) {
  if (!output.commit()) {
    printOutputError(args.output, output.error());
    return ExitBroken;
  }
  return failedVerdict ? ExitFailedVerdict : ExitPassed;
}
