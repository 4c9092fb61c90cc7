// veldora: reads the symbol files and the trace file of a component test run
// into one test object tree, settles every status and writes the XML report.
// Exit status: 0 no failed verdict, 3 at least one, -1 usage/file/report
// errors, 1 after a fatal diagnostic.
#include "driver/command_line.h"
#include "model/model.h"
#include "model/status.h"
#include "readers/readers.h"
#include "report/report.h"
#include "support/diagnostics.h"
#include "support/localisation.h"
#include "support/runtime.h"

#include <QCoreApplication>
#include <cstdlib>

namespace {

void printBanner() {
  writeToStandardError(QCoreApplication::translate("VOSKIdent", "Tessaloft") + QLatin1Char(' ') +
                       QCoreApplication::translate("VOSKIdent", "C++ Test Report Generator") +
                       QLatin1Char(' ') +
                       QCoreApplication::translate("VOSKIdent", "8.2.0.1.070.020") +
                       QLatin1Char('\n'));
}

enum InputCheck { InputsFound, InputMissing, ReportIsInput };

// Tests every input, so that every missing one is reported, trace file
// first, and whether an existing report file is one of them (by device and
// inode, so also through links), which writing the report would destroy.
// One stat() per file: there may be a hundred thousand.
InputCheck checkInputs(const RunSettings& settings) {
  FileIdentity report;
  const bool reportExists = fileExists(settings.reportFileName, &report);
  bool allFound = true;
  bool isReport = false;
  auto check = [&](const char* name) {
    FileIdentity input;
    if (!fileExists(name, &input)) {
      reportMessageS1(MsgNoSuchFile, NoLocation, 0, name);
      allFound = false;
    } else if (reportExists && input == report) {
      isReport = true;
    }
  };
  check(settings.traceFileName);
  for (int i = 0; i < settings.symbolFileCount; ++i)
    check(settings.symbolFileNames[i]);
  if (!allFound) return InputMissing;
  FileIdentity header;
  if (reportExists && fileExists(settings.headerFileName, &header) && header == report)
    isReport = true;
  return isReport ? ReportIsInput : InputsFound;
}

// The run after start-up; returns the exit status.
int run(int argc, char** argv, RunSettings& settings) {
  if (parseCommandLine(argc, argv, &settings) != 0) {
    printUsage(argv[0]);
    return -1;
  }
  switch (checkInputs(settings)) {
    case InputMissing:
      return -1;
    case ReportIsInput:
      reportMessageS1(MsgReportIsInput, NoLocation, 0, settings.reportFileName);
      return -1;
    case InputsFound:
      break;
  }

  Model model;
  for (int i = 0; i < settings.symbolFileCount; ++i) {
    int result = readSymbolFile(model, settings.symbolFileNames[i], i);
    if (result != 0) {
      reportMessageS1(MsgFormatNotRecognized, NoLocation, 0, settings.symbolFileNames[i]);
      return result;
    }
  }
  if (readTraceFile(model, settings.traceFileName) != 0) {
    reportMessageS1(MsgFormatNotRecognized, NoLocation, 0, settings.traceFileName);
    return -1;
  }
  computeStatuses(model);

  int result = writeReport(model, settings.reportFileName, settings.headerFileName);
  if (result == ReportCannotCreate) {
    reportMessageS1(MsgPermissionDenied, NoLocation, 0, settings.reportFileName);
    return -1;
  }
  if (result == ReportWriteFailed) {
    reportMessageS1(MsgWriteFailed, NoLocation, 0, settings.reportFileName);
    return -1;
  }
  if (result == ReportSummaryLost) {
    reportMessageS1(MsgWriteFailed, NoLocation, 0, settings.headerFileName);
    return -1;
  }
  return result > 0 ? 3 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  useLocaleCodec();
  installTranslators(app, QStringList{QStringLiteral("voskident_"), QStringLiteral("plinth_"),
                                      QStringLiteral("veldora_")});
  printBanner();

  RunSettings settings;
  int status = run(argc, argv, settings);
  free(settings.symbolFileNames);
  return status;
}
