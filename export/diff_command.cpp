// veldora-export diff: what a report changed against an earlier one or
// against the run history, in the summary's forms; with --format github
// also the Markdown into the job's step summary.
//
//   veldora-export diff history.sqlite run/report.xrd
//   src/stack_test.cpp:30: error: new failure: check failed: size() == capacity() [stack_test > Stack > overflow]
//   src/stack_test.cpp:44: warning: still failing since run 3 (3f2a9c1, 2026-12-07T09:30:12): check failed: pop() == 2 [stack_test > Stack > pop]
//   src/stack_test.cpp:20: note: fixed: top() == 1 [stack_test > Stack > push]
//   src/stack_test.cpp:60: note: added: passed [stack_test > Stack > clear]
//   note: removed: failed [stack_test > Stack > resize]
//   New 1, Fixed 1, Still failing 1, Added 1, Removed 1
#include "export/diff_command.h"

#include "export/ci/step_summary.h"
#include "export/ci/summary_writer.h"
#include "export/command_line.h"
#include "support/decimal.h"
#include "export/history/report_run.h"
#include "export/history/run_diff.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

enum DiffFormat { DiffPlain, DiffGithub, DiffMarkdown };
enum FailOn { FailOnNew, FailOnAny, FailOnNone };

struct DiffArguments {
  std::string base;
  std::string report;
  DiffFormat format = DiffPlain;
  FailOn failOn = FailOnNew;
  int64_t run = 0;  // 0: the newest run before the report
  int64_t max = 50;
  bool maxGiven = false;
  std::string sourceRoot = defaultSourceRoot();
  std::vector<std::string> symbolFiles;  // of REPORT
};

// Beside each object of the run: where it is and, when it failed, its lines.
struct DiffCollector : RunCollector {
  void object(const TestObject& object) override {
    RunCollector::object(object);
    locations.push_back(object.location);
    lines.push_back(object.state == StateFailed ? failureLines(object) : std::vector<FailureLine>());
  }
  std::vector<SourceLink> locations;
  std::vector<std::vector<FailureLine>> lines;
};

bool choose(const std::string& option, const char* value, const char* const names[], int count,
            int* chosen) {
  for (int i = 0; i < count; ++i) {
    if (strcmp(value, names[i]) == 0) {
      *chosen = i;
      return true;
    }
  }
  std::string known;
  for (int i = 0; i < count; ++i) known += std::string(i ? ", " : "") + names[i];
  printErrorLine("diff: unknown " + option + " " + value + " (" + known + ")");
  return false;
}

bool parseDiffArguments(int argc, char** argv, DiffArguments* args) {
  static const char* const kFormats[] = {"plain", "github", "markdown"};
  static const char* const kFailOn[] = {"new", "any", "none"};
  std::vector<std::string> files;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--format" || arg == "--fail-on" || arg == "--run" || arg == "--max" ||
        arg == "--source-root") {
      if (i + 1 == argc) {
        printErrorLine("diff: " + arg + " needs a value (see --help)");
        return false;
      }
      const char* value = argv[++i];
      int chosen = 0;
      if (arg == "--source-root") {
        args->sourceRoot = value;
      } else if (arg == "--format") {
        if (!choose("format", value, kFormats, 3, &chosen)) return false;
        args->format = static_cast<DiffFormat>(chosen);
      } else if (arg == "--fail-on") {
        if (!choose("--fail-on value", value, kFailOn, 3, &chosen)) return false;
        args->failOn = static_cast<FailOn>(chosen);
      } else if (!parseDecimal(value, arg == "--run" ? 1 : 0, 1000000000,
                              arg == "--run" ? &args->run : &args->max)) {
        printErrorLine("diff: " + arg + " needs a number" + (arg == "--run" ? " above 0" : "") +
                       ", not " + value);
        return false;
      } else if (arg == "--max") {
        args->maxGiven = true;
      }
    } else if (arg == "--ots") {
      if (!takeSymbolFiles(argc, argv, &i, "diff", &args->symbolFiles)) return false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      printErrorLine("diff: unknown option " + arg + " (see --help)");
      return false;
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2) {
    printErrorLine("diff: needs BASE and REPORT (see --help)");
    return false;
  }
  args->base = files[0];
  args->report = files[1];
  // GitHub keeps 10 annotations of each kind per step.
  if (!args->maxGiven && args->format == DiffGithub) args->max = 10;
  return true;
}

const char* statusWord(ResultStatus status) {
  static const char* const kWords[] = {"passed", "not executed", "failed", "absent"};
  return kWords[status];
}

// The base's objects: the run of a history, or those of another report.
struct Base {
  RunTotals totals;
  std::vector<RunObject> objects;
  std::vector<RunInfo> runs;  // of the history, oldest first; empty for a report
  const RunInfo* run = nullptr;
  std::unique_ptr<HistoryStore> history;
};

bool readBase(const DiffArguments& args, const RunInfo& report, Base* base) {
  if (!looksLikeHistory(args.base)) {
    if (args.run > 0) {
      printErrorLine(args.base + ": --run needs a history file as BASE, not a report");
      return false;
    }
    RunCollector collector;
    std::string error;
    if (!readReportRun(args.base, args.sourceRoot, collector, &error)) {
      printErrorLine(error);
      return false;
    }
    base->objects = std::move(collector.run.objects);
    base->totals = collector.run.info.totals;
    return true;
  }
  std::string error;
  base->history = openHistory(args.base, HistoryRead, &error);
  std::vector<std::string> contents;
  int64_t own = -1;
  if (base->history && base->history->runs(&base->runs, &contents)) {
    if (!findOwnRun(base->runs, contents, args.report, report, &own, &error)) {
      printErrorLine(error);
      return false;
    }
    base->run = baseRun(base->runs, own, args.run, &error);
    if (base->run && base->history->runObjects(base->run->id, &base->objects)) {
      base->totals = base->run->totals;
      return true;
    }
    if (base->run) error = base->history->error();
  } else if (base->history) {
    error = base->history->error();
  }
  printErrorLine(args.base + ": " + error);
  return false;
}

// The lines of one kind of change, at most max, then "and K more".
struct Section {
  const char* title;  // for Markdown
  std::vector<FailureLine> lines;
  int64_t more = 0;
};

void addLine(Section* section, int64_t max, FailureLine line) {
  if (static_cast<int64_t>(section->lines.size()) < max) section->lines.push_back(std::move(line));
  else ++section->more;
}

std::string markdownOf(const std::vector<Section>& sections, const RunDiff& diff,
                       const std::string& against) {
  std::string md = "### Changes against " + markdownEscaped(against) + "\n\n" + changesLine(diff);
  for (const Section& section : sections) {
    if (section.lines.empty()) continue;
    md += "\n#### " + std::string(section.title) + "\n\n| Change | Location | Test |\n|---|---|---|\n";
    for (const FailureLine& line : section.lines)
      md += "| " + markdownEscaped(line.what + ": " + line.detail) + " | " +
            markdownEscaped(placeText(line.location)) + " | " + markdownEscaped(line.path) + " |\n";
    if (section.more > 0) md += "\nand " + std::to_string(section.more) + " more\n";
  }
  return md;
}

// The lines of each kind of change, as many as max allows.
std::vector<Section> sectionsOf(const RunDiff& diff, const DiffCollector& now, const Base& base,
                                int64_t max) {
  std::vector<Section> sections = {
      {"New failures", {}}, {"Still failing", {}}, {"Fixed", {}}, {"Added", {}}, {"Removed", {}}};
  for (const size_t i : diff.newFailures)
    for (FailureLine line : now.lines[i]) {
      line.what = "new failure: " + line.what;
      addLine(&sections[0], max, std::move(line));
    }
  if (diff.unlistedNew > 0)
    addLine(&sections[0], max,
            {SourceLink(), "new failure: failed",
             std::to_string(diff.unlistedNew) +
                 " more verdicts that the report counts but lists in no table",
             "unlisted"});
  for (size_t k = 0; k < diff.stillFailing.size(); ++k) {
    const RunInfo* first = findRun(base.runs, diff.failingSince[k]);
    const std::string since = first ? "still failing since " + runName(*first) : "still failing";
    for (FailureLine line : now.lines[diff.stillFailing[k]]) {
      line.what = since + ": " + line.what;
      line.severity = SeverityWarning;
      addLine(&sections[1], max, std::move(line));
    }
  }
  auto note = [&](Section* section, const SourceLink& location, const char* what,
                  const std::string& detail, const std::string& path) {
    addLine(section, max, {location, what, detail, path, SeverityNote});
  };
  for (size_t k = 0; k < diff.fixed.size(); ++k) {
    const std::string& checks = base.objects[diff.fixedBefore[k]].checks;
    note(&sections[2], now.locations[diff.fixed[k]], "fixed",
         singleLine(checks.substr(0, checks.find('\n'))), now.run.objects[diff.fixed[k]].path);
  }
  for (const size_t i : diff.added)
    note(&sections[3], now.locations[i], "added", statusWord(now.run.objects[i].status),
         now.run.objects[i].path);
  for (const size_t i : diff.removed)
    note(&sections[4], SourceLink(), "removed", statusWord(base.objects[i].status),
         base.objects[i].path);
  return sections;
}

// The exit status that --fail-on asks for.
int exitStatusOf(FailOn failOn, const RunDiff& diff, const RunTotals& now) {
  switch (failOn) {
    case FailOnNew:
      return diff.newFailures.empty() && diff.unlistedNew == 0 ? ExitPassed : ExitFailedVerdict;
    case FailOnAny:
      return now.failed > 0 || !diff.newFailures.empty() || !diff.stillFailing.empty()
                 ? ExitFailedVerdict
                 : ExitPassed;
    case FailOnNone: break;
  }
  return ExitPassed;
}

}  // namespace

int runDiffCommand(int argc, char** argv) {
  DiffArguments args;
  if (!parseDiffArguments(argc, argv, &args)) return ExitBroken;
  const char* stepSummary = nullptr;
  if (args.format == DiffGithub &&
      !stepSummaryPath({{args.report, "the report"},
                        {args.base, looksLikeHistory(args.base) ? "the run history" : "the base report"}},
                       &stepSummary))
    return ExitBroken;
  DiffCollector now;
  std::string error;
  if (!readReportRun(args.report, args.sourceRoot, now, &error, args.symbolFiles)) {
    printErrorLine(error);
    return ExitBroken;
  }
  Base base;
  if (!readBase(args, now.run.info, &base)) return ExitBroken;
  RunDiff diff = diffRuns(base.totals, base.objects, now.run.info.totals, now.run.objects);
  if (base.run && !findFailingSince(*base.history, base.runs, base.run->id, now.run.objects, &diff)) {
    printErrorLine(args.base + ": " + base.history->error());
    return ExitBroken;
  }

  const std::vector<Section> sections = sectionsOf(diff, now, base, args.max);
  const std::string against = base.run ? runName(*base.run) : args.base;
  if (stepSummary && !appendStepSummary(stepSummary, markdownOf(sections, diff, against)))
    return ExitBroken;
  std::string text;
  if (args.format == DiffMarkdown) {
    text = markdownOf(sections, diff, against);
  } else {
    const bool colour = args.format == DiffPlain && isatty(STDOUT_FILENO) && !getenv("NO_COLOR");
    for (const Section& section : sections) {
      for (const FailureLine& line : section.lines)
        text += args.format == DiffGithub ? githubLine(line) : plainLine(line, colour);
      if (section.more > 0) text += "and " + std::to_string(section.more) + " more\n";
    }
    text += changesLine(diff);
  }
  if (fwrite(text.data(), 1, text.size(), stdout) != text.size() || fflush(stdout) != 0) {
    printOutputError("standard output", strerror(errno));
    return ExitBroken;
  }
  return exitStatusOf(args.failOn, diff, now.run.info.totals);
}
