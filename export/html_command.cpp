// veldora-export html REPORT [-o OUT] [--history FILE | --header FILE]:
// parses the arguments, opens the report and the output, chooses the page's
// language, reads the history beside the report, has the page writer write,
// and puts the page in place.
#include "export/html_command.h"

#include "export/command_line.h"
#include "export/history/background_task.h"
#include "export/page/history_markup.h"
#include "export/page/page_writer.h"
#include "support/output_file.h"
#include "support/localisation.h"

#include <QTranslator>
#include <utility>

int runHtmlCommand(int argc, char** argv) {
  PageHistoryOptions historyOptions;
  if (!takePageHistoryOptions(&argc, argv, &historyOptions)) return ExitBroken;
  ReportAndOutput args;
  if (!parseReportAndOutput(argc, argv, "html", ".html", &args)) return ExitBroken;
  // The page speaks the user's language as veldora does: veldora's own
  // translation for the locale, when installed; else English.
  QTranslator translator;
  loadTranslation(translator, QStringLiteral("veldora_"));
  const PageLabels labels = pageLabels(translator);
  // The history's part reads the report beside the page's reading.
  PageHistory history;
  std::string historyError;
  bool historyRead = false;
  BackgroundTask historyTask([&] {
    historyRead = pageHistorySection(args.report, args.sourceRoot, historyOptions, labels,
                                     &history, &historyError);
  });
  ReportReader reader;
  OutputFile output;
  if (!openReportAndOutput(args, reader, output)) return ExitBroken;
  bool failedVerdict = false;
  auto historyMarkup = [&] {
    historyTask.join();
    return std::move(history);
  };
  if (!writePage(reader, labels, output.file(), &failedVerdict, historyMarkup)) {
    printReportError(args.report, reader.error());
    return ExitBroken;
  }
  historyTask.join();
  if (!historyRead) {
    printErrorLine(historyError);
    return ExitBroken;
  }
  return finishOutput(args, output, failedVerdict);
}
