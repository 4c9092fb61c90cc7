// veldora-export html REPORT... [-o OUT] [--history H | --header FILE]:
// reads each report once into the page (a run of several reports: a level
// per part above the drivers) and, with a history, into the run it judges;
// chooses the page's language, and puts the page in place.
#include "export/html_command.h"

#include "export/history_inputs.h"
#include "export/page/history_markup.h"
#include "export/page/page_writer.h"
#include "support/localisation.h"
#include "support/output_file.h"

#include <QTranslator>
#include <utility>

namespace {

// The parts read once each into the page and into their runs.
bool readParts(const CommandArguments& args, bool history, bool digest, PageBuilder& page,
               std::vector<PartReport>* parts, std::vector<PartObjects>* shown, std::string* error) {
  if (!partReports(args, 0, parts, error)) return false;
  const bool several = parts->size() > 1;
  for (PartReport& part : *parts) {
    if (several) page.beginPart(part.run.run.part);
    const int offset = page.nodeOffset();
    if (!readPart(&part, &page.objects(), [&](const ReportReader& r, ReportItemKind kind) { page.item(r, kind); },
                  {history, digest && &part == &parts->front()}, error))
      return false;
    if (several) page.endPart();
    PartObjects objects{several ? part.run.run.part : std::string(), &part.run.run.objects,
                        &part.run.locations, part.run.nodes};
    for (int& node : objects.nodes) node += offset;
    shown->push_back(std::move(objects));
  }
  return true;
}

// The history section the options ask for (none for none). False, with
// the error line's text, when the history or the header file cannot be
// read.
bool historySection(const CommandArguments& args, const std::string& history,
                    std::vector<PartReport>* parts, const std::vector<PartObjects>& shown,
                    const PageLabels& labels, PageHistory* page, std::string* error) {
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
  if (history.empty()) return true;
  std::vector<FailureLine> stale;
  RunHistory judged;
  if (!quarantineOf(args, parts, &stale, error) || !judgeRun(args, history, *parts, &judged, error))
    return false;
  *page = historyMarkup(judged, shown, labels);
  return true;
}

}  // namespace

int runHtmlCommand(const CommandArguments& args) {
  const std::string history = args.has("--header") ? std::string() : historyOf(args);
  const std::string output = outputPath(args, args.operands().front(), ".html");
  std::vector<CommandInput> inputs;
  for (const std::string& report : args.operands()) inputs.push_back({report, "a report"});
  for (const std::string& file : args.files("--ots")) inputs.push_back({file, "a symbol file"});
  inputs.push_back({history, "the run history"});
  inputs.push_back({args.value("--header"), "the header text file"});
  std::string error;
  if (args.has("--history") && args.has("--header")) {
    printErrorLine("html: --history and --header plot the same trend; give one of them");
    return ExitBroken;
  }
  // The page speaks the user's language as veldora does: veldora's own
  // translation for the locale, when installed; else English.
  QTranslator translator;
  loadTranslation(translator, QStringLiteral("veldora_"));
  const PageLabels labels = pageLabels(translator);
  PageBuilder page(labels);
  std::vector<PartReport> parts;
  std::vector<PartObjects> shown;
  PageHistory past;
  OutputFile file;
  if (!outputAvoidsInputs(output, inputs, &error) ||
      !readParts(args, !history.empty(), !history.empty() && runKeyOf(args).empty(), page, &parts,
                 &shown, &error) ||
      !historySection(args, history, &parts, shown, labels, &past, &error) ||
      !openOutput(output, file, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  page.write(file.file(), past);
  if (!finishOutput(output, file, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  return page.failedVerdict() ? ExitFailedVerdict : ExitPassed;
}
