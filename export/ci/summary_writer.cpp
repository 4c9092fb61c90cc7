// The summary writer: one line per failed check or failed object, at most
// the first N kept (the rest only counted), then the totals. Everything is
// written only once the report was read to its end, so a broken report
// prints nothing but its error line.
//
//   src/stack.h:25: error: state chart violation: Open (1 multiple exits, 0 illegal exits) [Contracts > Door > State Chart Violations]
//   and 3 more
//   Passed 6, Inconclusive 2, Failed 1, Total 9
#include "export/ci/summary_writer.h"

#include "export/command_line.h"
#include "export/xrd/test_objects.h"
#include "support/decimal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

const char kBold[] = "\x1b[1m";
const char kRed[] = "\x1b[1;31m";
const char kGreen[] = "\x1b[32m";
const char kYellow[] = "\x1b[33m";
const char kReset[] = "\x1b[0m";

struct FailureLine {
  SourceLink location;
  std::string what;    // "check failed", "state chart violation", "failed"
  std::string detail;  // the expression, the state, the object
  std::string path;    // "stack_test > Stack > overflow"
};

std::string joinedPath(const std::vector<std::string>& path) {
  std::string text;
  for (const std::string& name : path) {
    if (!text.empty()) text += " > ";
    text += name;
  }
  return text;
}

std::string paint(const std::string& text, const char* colour, bool on) {
  return on ? colour + text + kReset : text;
}

// Workflow command escaping: data and, with properties, ":" and "," too.
std::string githubEscaped(const std::string& text, bool property) {
  std::string out;
  for (const char c : text) {
    if (c == '%') out += "%25";
    else if (c == '\r') out += "%0D";
    else if (c == '\n') out += "%0A";
    else if (property && c == ':') out += "%3A";
    else if (property && c == ',') out += "%2C";
    else out += c;
  }
  return out;
}

// Markdown table cell text: the characters that start emphasis, code,
// links, HTML, entities, math or a new column are escaped; line feeds
// become spaces.
std::string markdownEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n' || c == '\r') out += ' ';
    else if (c != '\0' && strchr("\\`*_~[]<>|&$", c)) out += {'\\', c};
    else out += c;
  }
  return out;
}

std::string placeText(const SourceLink& link) { return singleLine(locationText(link)); }

// Keeps the first lines and counts the rest; what it gathered is read
// directly once the report has been read.
struct SummaryCollector : TestObjectVisitor {
  explicit SummaryCollector(int64_t keep) : keep(keep) {}

  void document(const ReportDocumentInfo& info) override { title = info.title; }
  void summary(const ReportTotals& report) override { totals = report; }
  void object(const TestObject& object) override;
  void finish();

  void add(const SourceLink& location, const char* what, const std::string& detail,
           const std::string& path);

  int64_t keep;
  std::string title;
  ReportTotals totals;
  std::vector<FailureLine> lines;
  int64_t count = 0;  // all failure lines, kept or not
  int64_t failedObjects = 0;
};

void SummaryCollector::add(const SourceLink& location, const char* what,
                           const std::string& detail, const std::string& path) {
  if (count++ >= keep) return;
  lines.push_back({location, what, singleLine(detail), singleLine(path)});
}

// Failed verdicts that the report counts but lists in no table (as the
// JUnit export's suite "unlisted" holds them).
void SummaryCollector::finish() {
  for (int64_t i = failedObjects; i < totals.failed; ++i)
    add(SourceLink(), "failed", "a verdict that the report counts but lists in no table",
        "unlisted");
}

void SummaryCollector::object(const TestObject& object) {
  if (object.state != StateFailed) return;
  ++failedObjects;
  if (object.kind == ObjectHiddenStateChart) {
    add(object.location, "state chart violation",
        object.title + ": an observation state left by an illegal or a multiple exit", joinedPath(object.path));
    return;
  }
  if (object.checks.empty()) add(object.location, "failed", object.title, joinedPath(object.path));
  for (const FailedCheck& check : object.checks) {
    if (object.kind == ObjectStateChart)
      add(check.link, "state chart violation",
          check.expression + " " + checkCounts(check, object.kind), joinedPath(object.path));
    else
      add(check.link, "check failed", check.expression, joinedPath(object.path));
  }
}

std::string totalsLine(const ReportTotals& t, bool colour) {
  const std::string passed = "Passed " + std::to_string(t.passed);
  const std::string inconclusive = "Inconclusive " + std::to_string(t.inconclusive);
  const std::string failed = "Failed " + std::to_string(t.failed);
  return paint(passed, kGreen, colour && t.passed > 0) + ", " +
         paint(inconclusive, kYellow, colour && t.inconclusive > 0) + ", " +
         paint(failed, kRed, colour && t.failed > 0) + ", Total " + std::to_string(t.total) +
         "\n";
}

std::string plainLine(const FailureLine& line, bool colour) {
  const std::string place = placeText(line.location);
  return (place.empty() ? "" : paint(place + ":", kBold, colour) + " ") +
         paint("error:", kRed, colour) + " " + line.what + ": " + line.detail + " [" + line.path +
         "]\n";
}

std::string githubLine(const FailureLine& line) {
  std::string text = "::error ";
  const std::string place = placeText(line.location);
  if (!place.empty())
    text += "file=" + githubEscaped(line.location.file, true) +
            (line.location.line == 0 ? std::string() : ",line=" + std::to_string(line.location.line)) +
            ",";
  const std::string message =
      line.what == std::string("check failed") ? line.detail : line.what + ": " + line.detail;
  return text + "title=" + githubEscaped(line.path, true) + "::" + githubEscaped(message, false) +
         "\n";
}

std::string markdownOf(const SummaryCollector& c) {
  const ReportTotals& t = c.totals;
  std::string md = "### " + markdownEscaped(c.title) + "\n\n";
  md += "| Passed | Inconclusive | Failed | Total |\n|---:|---:|---:|---:|\n";
  md += "| " + std::to_string(t.passed) + " | " + std::to_string(t.inconclusive) + " | " +
        std::to_string(t.failed) + " | " + std::to_string(t.total) + " |\n";
  if (c.count > 0) {
    md += "\n| Failure | Location | Test |\n|---|---|---|\n";
    for (const FailureLine& line : c.lines)
      md += "| " + markdownEscaped(line.what + ": " + line.detail) + " | " +
            markdownEscaped(placeText(line.location)) + " | " + markdownEscaped(line.path) + " |\n";
    const int64_t more = c.count - static_cast<int64_t>(c.lines.size());
    if (more > 0) md += "\nand " + std::to_string(more) + " more\n";
  }
  return md + "\n";
}

bool parseMax(const char* text, int64_t* value) { return parseDecimal(text, 0, 1000000000, value); }

bool parseSummaryArguments(int argc, char** argv, std::string* report, SummaryOptions* options) {
  bool maxGiven = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--format" || arg == "--max") {
      if (i + 1 == argc) {
        printErrorLine("summary: " + arg + " needs a value (see --help)");
        return false;
      }
      const char* value = argv[++i];
      if (arg == "--max") {
        if (!parseMax(value, &options->maxFailures)) {
          printErrorLine(std::string("summary: --max needs a number, not ") + value);
          return false;
        }
        maxGiven = true;
      } else if (strcmp(value, "plain") == 0) {
        options->format = SummaryPlain;
      } else if (strcmp(value, "github") == 0) {
        options->format = SummaryGithub;
      } else {
        printErrorLine(std::string("summary: unknown format ") + value + " (plain or github)");
        return false;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      printErrorLine("summary: unknown option " + arg + " (see --help)");
      return false;
    } else if (!report->empty()) {
      printErrorLine("summary: one report file only (see --help)");
      return false;
    } else {
      *report = arg;
    }
  }
  if (report->empty()) {
    printErrorLine("summary: no report file named (see --help)");
    return false;
  }
  // GitHub keeps 10 annotations of each kind per step.
  if (!maxGiven && options->format == SummaryGithub) options->maxFailures = 10;
  return true;
}

bool appendToFile(const char* path, const std::string& text, std::string* reason) {
  FILE* file = fopen(path, "ab");
  if (!file) {
    *reason = strerror(errno);
    return false;
  }
  const bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
  const int writeErrno = errno;
  if (fclose(file) != 0 || !written) {
    *reason = strerror(written ? errno : writeErrno);
    return false;
  }
  return true;
}

}  // namespace

bool writeSummary(ReportReader& reader, const SummaryOptions& options, SummaryOutput* output) {
  SummaryCollector collector(options.maxFailures);
  if (!readTestObjects(reader, collector)) return false;
  collector.finish();
  const bool colour = options.colour && options.format == SummaryPlain;
  for (const FailureLine& line : collector.lines)
    output->text += options.format == SummaryGithub ? githubLine(line) : plainLine(line, colour);
  const int64_t more = collector.count - static_cast<int64_t>(collector.lines.size());
  if (more > 0) output->text += "and " + std::to_string(more) + " more\n";
  output->text += totalsLine(collector.totals, colour);
  if (options.format == SummaryGithub) output->markdown = markdownOf(collector);
  output->failedVerdict = collector.totals.failed > 0;
  return true;
}

int runSummaryCommand(int argc, char** argv) {
  std::string report;
  SummaryOptions options;
  if (!parseSummaryArguments(argc, argv, &report, &options)) return ExitBroken;
  options.colour = isatty(STDOUT_FILENO) && getenv("NO_COLOR") == nullptr;
  ReportReader reader;
  SummaryOutput output;
  if (!reader.open(report.c_str()) || !writeSummary(reader, options, &output)) {
    printReportError(report, reader.error());
    return ExitBroken;
  }
  const char* stepSummary = getenv("GITHUB_STEP_SUMMARY");
  std::string reason;
  if (options.format == SummaryGithub && stepSummary && *stepSummary &&
      !appendToFile(stepSummary, output.markdown, &reason)) {
    printOutputError(stepSummary, reason);
    return ExitBroken;
  }
  if (fwrite(output.text.data(), 1, output.text.size(), stdout) != output.text.size() ||
      fflush(stdout) != 0) {
    printOutputError("standard output", strerror(errno));
    return ExitBroken;
  }
  return output.failedVerdict ? ExitFailedVerdict : ExitPassed;
}
