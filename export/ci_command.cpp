// veldora-export ci: the whole CI job after veldora in one read of the
// report: the page, the JUnit file, the summary on standard output, the
// merge request comment, the run recorded on the default branch, and the
// gate's exit status.
//
//   veldora-export ci report.xrd --history history.sqlite --ots stack_test.ots stack_classes.ots
//   -> report.html, report.junit.xml, report.comment.md beside the report;
//      the failures and the gate's line on standard output; run 12 recorded
//      (default branch only); exit 3 when the gate fails
#include "export/ci_command.h"

#include "export/ci/step_summary.h"
#include "export/history_inputs.h"
#include "export/junit_command.h"
#include "export/page/history_markup.h"
#include "export/page/page_writer.h"
#include "export/record_command.h"
#include "support/localisation.h"
#include "support/output_file.h"

#include <QTranslator>
#include <cstdlib>
#include <unistd.h>

namespace {

// One call of the command: its inputs, options and outputs, from the
// arguments and the CI's environment.
struct CiContext {
  ReportInput input;
  std::string history;  // "" without one
  bool firstRun = false;  // the history does not exist yet
  std::string page, junit, comment, stepSummary;
  SystemOut systemOut = SystemOutFailures;
  SummaryOptions summary;
  GateOptions gate;
  bool record = false;  // the run is on the default branch
};

// What the one read gathers, and the history's judgement of it.
struct CiParts {
  explicit CiParts(const PageLabels& labels, const CiContext& ctx)
      : page(labels), junit(junitOptions(ctx.systemOut)), summary(ctx.summary.maxFailures) {}
  PageBuilder page;
  JunitBuilder junit;
  SummaryBuilder summary;
  LocatedRun run;
  std::string digest;
  std::vector<bool> quarantined;
  std::vector<FailureLine> stale;
  ReportHistory history;
};

std::string environment(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

// The run is on the default branch: --branch against --default-branch,
// by default GitLab's or GitHub's names of them.
bool onDefaultBranch(const CommandArguments& args) {
  std::string branch = environment("CI_COMMIT_BRANCH");
  if (branch.empty() && environment("GITHUB_EVENT_NAME") == "push") branch = environment("GITHUB_REF_NAME");
  const std::string defaultBranch = args.value("--default-branch", environment("CI_DEFAULT_BRANCH"));
  branch = args.value("--branch", branch);
  return !branch.empty() && branch == defaultBranch;
}

bool configure(const CommandArguments& args, CiContext* ctx, std::string* error) {
  ctx->input = reportInput(args, 0);
  ctx->history = args.value("--history");
  ctx->firstRun = !ctx->history.empty() && access(ctx->history.c_str(), F_OK) != 0;
  ctx->page = args.value("--page", besideReport(ctx->input.path, ".html"));
  ctx->junit = args.value("--junit", besideReport(ctx->input.path, ".junit.xml"));
  ctx->comment = args.value("--comment", besideReport(ctx->input.path, ".comment.md"));
  ctx->record = !ctx->history.empty() && onDefaultBranch(args);
  // Under GitHub Actions the summary is workflow commands and the step summary.
  int format = environment("GITHUB_ACTIONS") == "true" ? SummaryGithub : SummaryPlain;
  int systemOut = SystemOutFailures;
  if (!args.choice("--format", &format, error) || !args.choice("--system-out", &systemOut, error))
    return false;
  ctx->systemOut = static_cast<SystemOut>(systemOut);
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
  std::vector<CommandInput> inputs = inputsOf(ctx->input);
  inputs.push_back({ctx->history, "the run history"});
  inputs.push_back({args.value("--quarantine"), "the quarantine list"});
  for (const std::string* output : {&ctx->page, &ctx->junit, &ctx->comment})
    if (!outputAvoidsInputs(*output, inputs, error)) return false;
  return ctx->summary.format != SummaryGithub || stepSummaryPath(inputs, &ctx->stepSummary, error);
}

bool readOnce(const CommandArguments& args, const CiContext& ctx, CiParts* parts,
              std::string* error) {
  if (!parts->junit.start(error)) return false;
  VisitorFanOut objects;
  objects.add(parts->page.objects());
  objects.add(parts->junit.objects());
  objects.add(parts->summary);
  objects.add(parts->run);
  // The digest finds the report's run by its bytes, and is what a record keeps.
  const bool digest = !ctx.history.empty();
  return readReportOnce(ctx.input, objects,
                        [&](const ReportReader& reader, ReportItemKind kind) { parts->page.item(reader, kind); },
                        digest ? &parts->digest : nullptr, error) &&
         quarantineOf(args, parts->run.run.objects, &parts->quarantined, &parts->stale, error);
}

// Against the history; without one, or before its first run, every
// failure is new.
bool judge(const CommandArguments& args, const CiContext& ctx, CiParts* parts, std::string* error) {
  if (!ctx.history.empty() && !ctx.firstRun)
    return judgeAgainstHistory(args, ctx.history, ctx.input.path, parts->run.run, parts->digest,
                               parts->quarantined, &parts->history, error);
  FailureExcuses excuses;
  excuses.quarantined = parts->quarantined;
  const NewRun& run = parts->run.run;
  parts->history.own = run.info;
  parts->history.diff = diffRuns(VerdictTotals(), {}, run.info.totals, run.objects, excuses);
  parts->history.trend = {run.info};
  return true;
}

bool writeFile(const std::string& path, const std::function<bool(FILE*)>& write,
               std::string* error) {
  OutputFile file;
  return openOutput(path, file, error) && write(file.file()) && finishOutput(path, file, error);
}

bool writeOutputs(const CiContext& ctx, CiParts* parts, const PageLabels& labels,
                  std::string* error) {
  const LocatedRun& run = parts->run;
  const std::string against = parts->history.haveBase ? runName(parts->history.base) : "no earlier run";
  const GateView view = gateViewOf(parts->history, parts->history.haveBase, against, run, parts->stale);
  const PageHistory history = ctx.history.empty() ? PageHistory()
      : historyMarkup(parts->history, run.run.objects, run.locations, run.nodes, labels);
  JunitResult junit;
  const std::string comment = gateMarkdown(view, ctx.gate);
  if (!writeFile(ctx.page, [&](FILE* out) { parts->page.write(out, history); return true; }, error) ||
      !writeFile(ctx.junit, [&](FILE* out) { return parts->junit.write(out, ctx.input.path, &junit, error); }, error) ||
      !writeFile(ctx.comment, [&](FILE* out) { put(out, comment); return true; }, error))
    return false;
  printJunitWarnings(ctx.input.path, ctx.junit, junit);
  SummaryOptions summary = ctx.summary;
  summary.history = &parts->history.diff;
  if (ctx.history.empty()) summary.changes = "no run history: every failure is new\n";
  else if (ctx.firstRun) summary.changes = "no run recorded yet: every failure is new\n";
  for (const FailureLine& line : parts->stale)
    summary.changes += summary.format == SummaryGithub ? githubLine(line) : plainLine(line, false);
  summary.changes += gateLine(gateCounts(parts->history.diff));
  SummaryOutput output;
  ReportErrorInfo refused;
  if (!parts->summary.finish(summary, &output, &refused)) {
    *error = errorLine(ctx.input.path, refused);
    return false;
  }
  return (ctx.stepSummary.empty() || appendStepSummary(ctx.stepSummary, output.markdown, error)) &&
         writeStandardOutput(output.text);
}

}  // namespace

int runCiCommand(const CommandArguments& args) {
  CiContext ctx;
  std::string error;
  if (!configure(args, &ctx, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  QTranslator translator;
  loadTranslation(translator, QStringLiteral("veldora_"));
  const PageLabels labels = pageLabels(translator);
  CiParts parts(labels, ctx);
  if (!readOnce(args, ctx, &parts, &error) || !judge(args, ctx, &parts, &error) ||
      !writeOutputs(ctx, &parts, labels, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  const int64_t failed = parts.run.run.info.totals.failed;
  parts.run.run.content = parts.digest;
  if (ctx.record && !recordRun(args, ctx.history, std::move(parts.run.run), &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  bool passed = true;
  gateVerdict(gateCounts(parts.history.diff), ctx.gate.failOn, failed, &passed);
  return passed ? ExitPassed : ExitFailedVerdict;
}
