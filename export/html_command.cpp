// veldora-export html REPORT [-o OUT] [--history FILE | --header FILE]:
// opens the report and the output, chooses the page's language, reads the
// history beside the report, has the page writer write, and puts the page
// in place.
#include "export/html_command.h"

#include "export/history_inputs.h"
#include "export/page/history_markup.h"
#include "export/page/page_writer.h"
#include "support/localisation.h"
#include "support/output_file.h"

#include <QTranslator>
#include <utility>

namespace {

// The history section the options ask for (none for none), for the
// report read into run. False, with the error line's text, when the
// history or the header file cannot be read.
bool historySection(const CommandArguments& args, const ReportInput& input, const LocatedRun& run,
                    const std::string& digest, const PageLabels& labels, PageHistory* page,
                    std::string* error) {
  if (args.has("--header")) {
    std::vector<RunInfo> runs;
    const std::string& header = args.value("--header");
    if (!readHeaderTotals(header, &runs, error)) {
      *error = header + ": " + *error;
      return false;
    }
    page->section = headerTrendMarkup(runs, labels);
    return true;
  }
  if (!args.has("--history")) return true;
  std::vector<bool> quarantined;
  std::vector<FailureLine> stale;
  ReportHistory history;
  if (!quarantineOf(args, run.run.objects, &quarantined, &stale, error) ||
      !judgeAgainstHistory(args, args.value("--history"), input.path, run.run, digest, quarantined,
                           &history, error))
    return false;
  *page = historyMarkup(history, run.run.objects, run.locations, run.nodes, labels);
  return true;
}

}  // namespace

int runHtmlCommand(const CommandArguments& args) {
  const ReportInput input = reportInput(args, 0);
  const std::string output = outputPath(args, input.path, ".html");
  std::vector<CommandInput> inputs = inputsOf(input);
  inputs.push_back({args.value("--history"), "the run history"});
  inputs.push_back({args.value("--header"), "the header text file"});
  std::string error;
  if (args.has("--history") && args.has("--header")) {
    printErrorLine("html: --history and --header plot the same trend; give one of them");
    return ExitBroken;
  }
  if (!outputAvoidsInputs(output, inputs, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  // The page speaks the user's language as veldora does: veldora's own
  // translation for the locale, when installed; else English.
  QTranslator translator;
  loadTranslation(translator, QStringLiteral("veldora_"));
  const PageLabels labels = pageLabels(translator);
  // One read: the page's parts, and the run the history judges.
  PageBuilder page(labels);
  LocatedRun run;
  VisitorFanOut objects;
  objects.add(page.objects());
  const bool withHistory = args.has("--history");
  if (withHistory) objects.add(run);
  std::string digest;
  if (!readReportOnce(input, objects, [&](const ReportReader& r, ReportItemKind kind) { page.item(r, kind); },
                      withHistory && runKeyOf(args).empty() ? &digest : nullptr, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  PageHistory history;
  OutputFile file;
  if (!historySection(args, input, run, digest, labels, &history, &error) ||
      !openOutput(output, file, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  page.write(file.file(), history);
  if (!finishOutput(output, file, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  return page.failedVerdict() ? ExitFailedVerdict : ExitPassed;
}
