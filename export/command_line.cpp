// Dispatch, usage text and the shared argument forms of veldora-export.
//
//   veldora-export --help | --version
//   veldora-export COMMAND REPORT [options]
#include "export/command_line.h"

#include "export/ots/check_lines.h"
#include "export/xrd/test_objects.h"
#include "support/output_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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
        "is complete. Every command takes --source-root DIR: paths under DIR are\n"
        "written relative to it (default: GITHUB_WORKSPACE or CI_PROJECT_DIR).\n"
        "html, junit, summary and diff take --ots FILES..., the symbol files that\n"
        "veldora read, up to the next option: failed checks get their own lines.\n"
        "\n"
        "Exit status: 0 when no verdict failed, 3 when the report holds a failed\n"
        "verdict, 2 when the export failed (usage, an unreadable or broken\n"
        "report, an output that could not be written). record gives 0 once the\n"
        "run is stored; diff gives 3 only for a new failure (see --fail-on).\n",
        to);
}

// "-" alone names standard output, not an option.
bool isOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

bool isHelp(const char* arg) { return strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0; }

// Options that take the next argument as their value, whatever it looks
// like: "-o -h" names a file "-h".
const char* const kValueOptions[] = {"-o",        "--source-root", "--format", "--max",
                                     "--system-out", "--history",   "--header", "--label",
                                     "--keep",       "--fail-on",   "--run"};

bool takesValue(const char* arg) {
  for (const char* option : kValueOptions)
    if (strcmp(arg, option) == 0) return true;
  return false;
}

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

}  // namespace

bool sameFile(const std::string& a, const std::string& b) {
  struct stat first, second;
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Quoted report text stays on the line: controls are escaped or replaced,
// runner commands made inert.
void printErrorLine(const std::string& text) {
  fprintf(stderr, "veldora-export: %s\n", runnerInert(singleLine(text)).c_str());
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
      if (takesValue(argv[a])) {
        ++a;
      } else if (isHelp(argv[a])) {
        printUsage(stdout, commands, count);
        return ExitPassed;
      }
    }
    return commands[i].run(argc - 2, argv + 2);
  }
  printErrorLine(std::string("unknown command ") + argv[1] + " (see veldora-export --help)");
  return ExitBroken;
}

std::string defaultSourceRoot() {
  for (const char* name : {"GITHUB_WORKSPACE", "CI_PROJECT_DIR"}) {
    const char* value = getenv(name);
    if (value && *value) return value;
  }
  return std::string();
}

bool takeSymbolFiles(int argc, char** argv, int* i, const std::string& command,
                     std::vector<std::string>* files) {
  const bool twice = !files->empty();
  while (*i + 1 < argc && !isOption(argv[*i + 1])) files->push_back(argv[++*i]);
  if (files->empty() || twice) {
    printErrorLine(command + ": --ots needs the symbol files, once (see --help)");
    return false;
  }
  return true;
}

bool parseArguments(int argc, char** argv, const ArgumentForms& forms, ReportAndOutput* out) {
  const std::string command = forms.command;
  bool haveReport = false;
  bool haveOutput = false;
  bool haveRoot = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool own = std::find(forms.options.begin(), forms.options.end(), arg) != forms.options.end();
    const bool output = arg == "-o" && forms.defaultExtension;
    if (output || arg == "--source-root" || own) {
      bool twice = output ? haveOutput : !own && haveRoot;
      for (const auto& option : out->options) twice = twice || option.first == arg;
      if (i + 1 == argc || twice) {
        printErrorLine(command + ": " + arg + " needs one value (see --help)");
        return false;
      }
      const std::string value = argv[++i];
      if (output) out->output = value, haveOutput = true;
      else if (!own) out->sourceRoot = value, haveRoot = true;
      else out->options.emplace_back(arg, value);
    } else if (arg == "--ots") {
      if (!takeSymbolFiles(argc, argv, &i, command, &out->symbolFiles)) return false;
    } else if (isOption(arg)) {
      printErrorLine(command + ": unknown option " + arg + " (see --help)");
      return false;
    } else if (haveReport) {
      printErrorLine(command + ": one report file only (see --help)");
      return false;
    } else {
      out->report = arg;
      haveReport = true;
    }
  }
  if (!haveReport) {
    printErrorLine(command + ": no report file named (see --help)");
    return false;
  }
  if (!haveRoot) out->sourceRoot = defaultSourceRoot();
  if (!forms.defaultExtension) return true;
  if (!haveOutput) out->output = replaceExtension(out->report, forms.defaultExtension);
  if (out->output != "-" && sameFile(out->output, out->report)) {
    printErrorLine(out->output + ": the output would replace the report");
    return false;
  }
  return true;
}

bool parseReportAndOutput(int argc, char** argv, const char* command,
                          const char* defaultExtension, ReportAndOutput* out) {
  return parseArguments(argc, argv, {command, defaultExtension, {}}, out);
}

bool openReport(const ReportAndOutput& args, ReportReader& reader) {
  reader.setSourceRoot(args.sourceRoot);
  if (!args.symbolFiles.empty()) {
    auto lines = std::make_unique<CheckLines>();
    std::string error;
    if (!lines->read(args.symbolFiles, &error)) {
      printErrorLine(error);
      return false;
    }
    reader.setCheckLines(std::move(lines));
  }
  if (reader.open(args.report.c_str())) return true;
  printReportError(args.report, reader.error());
  return false;
}

bool openReportAndOutput(const ReportAndOutput& args, ReportReader& reader, OutputFile& output) {
  if (!openReport(args, reader)) return false;
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
