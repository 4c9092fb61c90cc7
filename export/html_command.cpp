// veldora-export html REPORT [-o OUT]: parses the arguments, opens the
// report and the output, chooses the page's language, has the page writer
// write, and puts the page in place.
#include "export/html_command.h"

#include "export/command_line.h"
#include "export/page/page_writer.h"
#include "support/output_file.h"
#include "support/localisation.h"

#include <QTranslator>

int runHtmlCommand(int argc, char** argv) {
  ReportAndOutput args;
  if (!parseReportAndOutput(argc, argv, "html", ".html", &args)) return ExitBroken;
  ReportReader reader;
  OutputFile output;
  if (!openReportAndOutput(args, reader, output)) return ExitBroken;
  // The page speaks the user's language as veldora does: veldora's own
  // translation for the locale, when installed; else English.
  QTranslator translator;
  loadTranslation(translator, QStringLiteral("veldora_"));
  bool failedVerdict = false;
  if (!writePage(reader, pageLabels(translator), output.file(), &failedVerdict)) {
    printReportError(args.report, reader.error());
    return ExitBroken;
  }
  return finishOutput(args, output, failedVerdict);
}
