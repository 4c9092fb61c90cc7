// veldora-export ci: the whole CI job after veldora in one read of each
// report: the page, the JUnit file, the summary on standard output, the
// merge request comment, the run recorded into the history, and the gate's
// exit status. Several reports are the parts of one run.
//
//   veldora-export ci report.xrd --history history.sqlite --ots stack_test.ots stack_classes.ots
//   -> report.html, report.junit.xml, report.comment.md beside the report;
//      the failures and the gate's line on standard output; run 12
//      recorded; exit 3 when the gate fails
#include "export/ci_command.h"

#include "export/ci/step_summary.h"
#include "export/history/background_task.h"
#include "export/history_inputs.h"
#include "export/junit_command.h"
#include "export/page/history_markup.h"
#include "export/page/page_writer.h"
#include "export/record_command.h"
#include "export/summary_command.h"
#include "support/localisation.h"
#include "support/output_file.h"

#include <QTranslator>
#include <cstdlib>
#include <functional>
#include <unistd.h>

namespace {

// One call of the command: its inputs, options and outputs, from the
// arguments and the CI's environment.
struct CiContext {
  std::string history;    // "" without one
  bool firstRun = false;  // the history does not exist yet
  std::string page, junit, comment, stepSummary;
  SummaryOptions summary;
  GateOptions gate;
  std::vector<CommandInput> inputs;
};

// What the one read of each report gathers, and the history's judgement.
struct CiParts {
  explicit CiParts(const PageLabels& labels) : page(labels) {}
  PageBuilder page;
  JunitParts junit;
  std::vector<std::unique_ptr<SummaryBuilder>> summaries;
  std::vector<PartReport> reports;
  std::vector<PartObjects> shown;
  std::vector<FailureLine> stale;
  RunHistory history;
};

std::string environment(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

bool configureSummary(const CommandArguments& args, CiContext* ctx, std::string* error) {
  // Under GitHub Actions the summary is workflow commands and the step summary.
  int format = environment("GITHUB_ACTIONS") == "true" ? SummaryGithub : SummaryPlain;
  if (!args.choice("--format", &format, error)) return false;
  ctx->summary.format = static_cast<SummaryFormat>(format);
  // GitHub keeps 10 annotations of each kind per step.
  ctx->summary.maxFailures = format == SummaryGithub ? 10 : 50;
  ctx->summary.colour = format == SummaryPlain && isatty(STDOUT_FILENO) && !getenv("NO_COLOR");
  if (!args.number("--max", 0, 1000000000, &ctx->summary.maxFailures, error)) return false;
  if (args.has("--fail-on") && !parseFailOn(args.value("--fail-on"), &ctx->gate.failOn, error)) {
    *error = "ci: " + *error;
    return false;
  }
  ctx->gate.format = GateMarkdown;
  ctx->gate.pageUrl = args.value("--page-url");
  return true;
}

bool configure(const CommandArguments& args, CiContext* ctx, std::string* error) {
  const std::string& first = args.operands().front();
  ctx->history = historyOf(args);
  ctx->firstRun = !ctx->history.empty() && !isHistoryServer(ctx->history) &&
                  access(ctx->history.c_str(), F_OK) != 0;
  ctx->page = args.value("--page", besideReport(first, ".html"));
  ctx->junit = args.value("--junit", besideReport(first, ".junit.xml"));
  ctx->comment = args.value("--comment", besideReport(first, ".comment.md"));
  for (const std::string& report : args.operands()) ctx->inputs.push_back({report, "a report"});
  for (const std::string& file : args.files("--ots")) ctx->inputs.push_back({file, "a symbol file"});
  ctx->inputs.push_back({ctx->history, "the run history"});
  ctx->inputs.push_back({args.value("--quarantine"), "the quarantine list"});
  if (!configureSummary(args, ctx, error)) return false;
  for (const std::string* output : {&ctx->page, &ctx->junit, &ctx->comment})
    if (!outputAvoidsInputs(*output, ctx->inputs, error)) return false;
  return ctx->summary.format != SummaryGithub || stepSummaryPath(ctx->inputs, &ctx->stepSummary, error);
}

// Each report once, into the page, the JUnit file, the summary and its run.
bool readOnce(const CommandArguments& args, const CiContext& ctx, CiParts* parts, std::string* error) {
  if (!partReports(args, 0, &parts->reports, error) || !parts->junit.start(args, &parts->reports, error))
    return false;
  const bool several = parts->reports.size() > 1;
  for (size_t p = 0; p < parts->reports.size(); ++p) {
    PartReport& report = parts->reports[p];
    report.run.keyed = !ctx.history.empty();
    parts->summaries.push_back(std::make_unique<SummaryBuilder>(ctx.summary.maxFailures));
    if (several) parts->page.beginPart(report.run.run.part);
    const int offset = parts->page.nodeOffset();
    VisitorFanOut objects;
    objects.add(parts->page.objects());
    objects.add(parts->junit.builders[p]->objects());
    objects.add(*parts->summaries.back());
    // The digest finds the run by its bytes, and is what a record keeps.
    if (!readPart(&report, &objects,
                  [&](const ReportReader& r, ReportItemKind kind) { parts->page.item(r, kind); },
                  {true, !ctx.history.empty()}, error))
      return false;
    if (several) parts->page.endPart();
    PartObjects shown{several ? report.run.run.part : std::string(), &report.run.run.objects,
                      &report.run.locations, report.run.nodes};
    for (int& node : shown.nodes) node += offset;
    parts->shown.push_back(std::move(shown));
  }
  return quarantineOf(args, &parts->reports, &parts->stale, error);
}

// Against the history; without one, or before its first run, every
// failure is new.
bool judge(const CommandArguments& args, const CiContext& ctx, CiParts* parts, std::string* error) {
  if (!ctx.history.empty() && !ctx.firstRun)
    return judgeRun(args, ctx.history, parts->reports, &parts->history, error);
  RunHistory& history = parts->history;
  for (const PartReport& report : parts->reports) {
    history.parts.emplace_back();
    history.parts.back().part = report.run.run.part;
    FailureExcuses excuses;
    excuses.quarantined = report.quarantined;
    history.parts.back().diff =
        diffRuns(VerdictTotals(), {}, report.run.run.info.totals, report.run.run.objects, excuses);
    history.own.totals += report.run.run.info.totals;
  }
  history.trend = {history.own};
  return true;
}

bool writeFile(const std::string& path, const std::function<bool(FILE*)>& write, std::string* error) {
  OutputFile file;
  return openOutput(path, file, error) && write(file.file()) && finishOutput(path, file, error);
}

// The summary on standard output, each failure marked as the gate sees it.
bool writeSummary(const CiContext& ctx, const CiParts& parts, const GateReport& report,
                  std::string* error) {
  SummaryOptions summary = ctx.summary;
  if (ctx.history.empty()) summary.changes = "no run history: every failure is new\n";
  else if (ctx.firstRun) summary.changes = "no run recorded yet: every failure is new\n";
  for (const FailureLine& line : parts.stale)
    summary.changes += summary.format == SummaryGithub ? githubLine(line) : plainLine(line, false);
  summary.changes += gateLine(gateCounts(report));
  SummaryOutput output;
  return writeSummaries(parts.reports, parts.summaries, &parts.history, summary, &output, error) &&
         (ctx.stepSummary.empty() || appendStepSummary(ctx.stepSummary, output.markdown, error)) &&
         writeStandardOutput(output.text);
}

bool writeOutputs(const CiContext& ctx, CiParts* parts, const GateReport& report,
                  const PageLabels& labels, std::string* error) {
  const PageHistory history =
      ctx.history.empty() ? PageHistory() : historyMarkup(parts->history, parts->shown, labels);
  JunitResult junit;
  const std::string comment = gateMarkdown(report, ctx.gate);
  const bool written =
      writeFile(ctx.page, [&](FILE* out) { parts->page.write(out, history); return true; }, error) &&
      writeFile(ctx.junit, [&](FILE* out) { return writeJunitRun(out, parts->junit.of(parts->reports), &junit, error); }, error) &&
      writeFile(ctx.comment, [&](FILE* out) { put(out, comment); return true; }, error);
  if (written) printJunitWarnings(parts->reports.front().input.path, ctx.junit, junit);
  return written && writeSummary(ctx, *parts, report, error);
}

std::string againstName(const RunHistory& history) {
  for (const ReportHistory& part : history.parts)
    if (part.haveBase) return runName(part.base);
  return "no earlier run";
}

}  // namespace

int runCiCommand(const CommandArguments& args) {
  CiContext ctx;
  std::string error;
  QTranslator translator;
  loadTranslation(translator, QStringLiteral("veldora_"));
  const PageLabels labels = pageLabels(translator);
  CiParts parts(labels);
  if (!configure(args, &ctx, &error) || !readOnce(args, ctx, &parts, &error) ||
      !judge(args, ctx, &parts, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  const GateReport report = gateReportOf(parts.history, !ctx.history.empty() && !ctx.firstRun,
                                         againstName(parts.history), parts.reports, parts.stale);
  bool passed = true;
  gateVerdict(gateCounts(report), ctx.gate.failOn, report.totals.failed, &passed);
  // The record goes beside the outputs: it only reads the run.
  const bool record = !ctx.history.empty() && !args.has("--no-record");
  int64_t keep = 0;
  if (record && !prepareRecord(args, &parts.reports, &keep, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  std::string said, recordError;
  bool recorded = true;
  BackgroundTask recording([&] {
    if (record)
      recorded = recordPrepared(ctx.history, projectOf(args, ctx.history), parts.reports, keep,
                                recordsNamedParts(args, parts.reports), &said, &recordError);
  });
  const bool written = writeOutputs(ctx, &parts, report, labels, &error);
  recording.join();
  if (!written || !recorded || !writeStandardOutput(said)) {
    if (!written || !recorded) printErrorLine(written ? recordError : error);
    return ExitBroken;
  }
  return passed ? ExitPassed : ExitFailedVerdict;
}
