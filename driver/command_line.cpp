// Command-line parsing. One pass over the arguments; each position is tried
// against -ots, -xrd, -h and -tdf in that order, and a value just taken is
// itself tried against the options that follow in the same pass.
#include "driver/command_line.h"

#include "support/diagnostics.h"
#include "support/runtime.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>

namespace {

bool is(const char* argument, const char* option) { return strcmp(argument, option) == 0; }

bool endsSymbolList(const char* argument) { return is(argument, "-tdf") || is(argument, "-xrd"); }

}  // namespace

int parseCommandLine(int argc, char** argv, RunSettings* settings) {
  *settings = RunSettings();
  int counted = 0;

  // The -ots list takes everything up to -tdf or -xrd; size the array for
  // the longest list the line can hold.
  settings->symbolFileNames =
      static_cast<const char**>(checkedMalloc(sizeof(const char*) * (argc > 0 ? argc : 1)));

  int i = 0;
  while (i < argc) {
    if (is(argv[i], "-ots")) {
      ++counted;
      while (i + 1 < argc && !endsSymbolList(argv[i + 1]))
        settings->symbolFileNames[settings->symbolFileCount++] = argv[++i];
      ++i;  // the terminating argument, tried by the checks below
      if (i >= argc)
        break;
    }
    if (is(argv[i], "-xrd")) {
      ++counted;
      settings->reportFileName = i + 1 < argc ? argv[++i] : nullptr;
    }
    if (i < argc && is(argv[i], "-h"))
      settings->headerFileName = i + 1 < argc ? argv[++i] : nullptr;
    if (i < argc && is(argv[i], "-tdf")) {
      ++counted;
      settings->traceFileName = i + 1 < argc ? argv[++i] : nullptr;
    }
    ++i;
  }

  return counted == 3 && settings->reportFileName && settings->traceFileName ? 0 : -1;
}

void printUsage(const char* programName) {
  writeToStandardError(QCoreApplication::translate("VELDORA", "\nUsage: "));
  fputs(programName, stderr);
  writeToStandardError(QCoreApplication::translate(
      "VELDORA",
      " -ots <otsFiles> -tdf <tdfFile> -xrd <xrdFile> [-h <headerTextFile>]\n"
      "         <otsFiles>    Object Testing symbol filenames\n"
      "         <tdfFile>     Trace dynamic filename\n"
      "         <xrdFile>     Results filename\n"
      "\n"));
}
