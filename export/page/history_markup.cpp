// The history section of the page; see history_markup.h for its shape.
#include "export/page/history_markup.h"

#include "export/command_line.h"
#include "export/history/report_run.h"
#include "export/page/page_markup.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string escaped(std::string_view text) {
  std::string out;
  appendEscapedHtml(&out, text);
  return out;
}

std::string number(double value) {
  char text[32];
  snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string totalsText(const RunTotals& t) {
  return "Passed " + std::to_string(t.passed) + ", Inconclusive " + std::to_string(t.inconclusive) +
         ", Failed " + std::to_string(t.failed) + ", Total " + std::to_string(t.total);
}

std::string nameOf(const RunInfo& run) { return run.id == 0 ? "this report" : runName(run); }

// One column per run, its height the run's total against the largest, split
// into passed (bottom), inconclusive and failed (top).
std::string trendChart(const std::vector<RunInfo>& runs) {
  const double height = 100, column = 10, width = 8;
  int64_t largest = 1;
  for (const RunInfo& run : runs) {
    const RunTotals& t = run.totals;
    if (t.passed >= 0 && t.inconclusive >= 0 && t.failed >= 0)
      largest = std::max(largest, t.passed + t.inconclusive + t.failed);
  }
  std::string s = "<svg class=\"bar trend\" viewBox=\"0 0 " +
                  number(column * static_cast<double>(runs.size())) + " " + number(height) +
                  "\" preserveAspectRatio=\"none\" width=\"100%\" height=\"120\" role=\"img\" "
                  "aria-label=\"Passed, inconclusive and failed of the last " +
                  std::to_string(runs.size()) + " runs, oldest first\">\n";
  for (size_t i = 0; i < runs.size(); ++i) {
    const RunTotals& t = runs[i].totals;
    s += "<g><title>" + escaped(nameOf(runs[i])) + ": " + totalsText(t) + "</title>";
    const int64_t parts[] = {t.passed, t.inconclusive, t.failed};
    static const char* const kClasses[] = {"passed", "inconclusive", "failed"};
    double bottom = height;
    for (int p = 0; p < 3; ++p) {
      if (parts[p] <= 0) continue;
      const double h = height * static_cast<double>(parts[p]) / static_cast<double>(largest);
      bottom = std::max(0.0, bottom - h);
      s += "<rect class=\"" + std::string(kClasses[p]) + "\" x=\"" +
           number(column * static_cast<double>(i)) + "\" y=\"" + number(bottom) + "\" width=\"" +
           number(width) + "\" height=\"" + number(h) + "\"/>";
    }
    s += "</g>\n";
  }
  s += "</svg>\n<p class=\"meta\">" + std::to_string(runs.size()) + " runs, from " +
       escaped(nameOf(runs.front())) + " to " + escaped(nameOf(runs.back())) +
       "; each column's title gives its run and totals.</p>\n";
  return s;
}

const char* statusWord(ResultStatus status) {
  static const char* const kWords[] = {"passed", "not executed", "failed", "not in the run"};
  return kWords[status];
}

// The last statuses as squares, oldest first; a run without the object as
// an empty square.
std::string strip(const std::vector<ResultStatus>& statuses) {
  static const char* const kClasses[] = {"passed", "inconclusive", "failed"};
  std::string title = "Last " + std::to_string(statuses.size()) + " runs, oldest first:";
  std::string squares;
  for (size_t i = 0; i < statuses.size(); ++i) {
    title += std::string(i ? ", " : " ") + statusWord(statuses[i]);
    const std::string x = std::to_string(10 * i + 1);
    squares += statuses[i] == ResultAbsent
                   ? "<rect x=\"" + x + "\" y=\"1\" width=\"8\" height=\"8\" fill=\"none\" "
                                        "stroke=\"currentColor\" stroke-opacity=\"0.4\"/>"
                   : "<rect class=\"" + std::string(kClasses[statuses[i]]) + "\" x=\"" + x +
                         "\" y=\"1\" width=\"8\" height=\"8\"/>";
  }
  return "<svg class=\"bar strip\" viewBox=\"0 0 " + std::to_string(10 * statuses.size()) +
         " 10\" width=\"" + std::to_string(10 * statuses.size()) + "\" height=\"10\" role=\"img\" "
         "aria-label=\"" + title + "\"><title>" + title + "</title>" + squares + "</svg>";
}

std::string badgeText(const FailureBadge& badge) {
  switch (badge.kind) {
    case BadgeNew: return "<strong>new</strong>";
    case BadgeFlaky: return "<strong>flaky</strong>";
    case BadgeFailingSince: return "failing since " + escaped(runName(badge.since));
  }
  return std::string();
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

std::string historyMarkup(const ReportHistory& history, const std::vector<RunObject>& objects,
                          const std::vector<SourceLink>& locations) {
  std::string s = "<section id=\"history\" aria-label=\"History\">\n<h2>History</h2>\n";
  s += trendChart(history.trend);
  s += "<h3>New failures <span class=\"count\">" +
       std::to_string(history.diff.newFailures.size()) + "</span></h3>\n";
  if (history.diff.newFailures.empty()) {
    s += "<p class=\"none\">No new failure against " +
         (history.trend.size() > 1 ? escaped(nameOf(history.trend[history.trend.size() - 2]))
                                   : std::string("an empty history")) +
         ".</p>\n";
  } else {
    s += "<ul class=\"new-failures\">\n";
    for (const size_t i : history.diff.newFailures) {
      s += "<li>" + escaped(objects[i].path);
      const std::string place = locationText(locations[i]);
      if (!place.empty()) s += " <span class=\"location\">" + escaped(place) + "</span>";
      s += " <span class=\"type\">" + escaped(firstLine(objects[i].checks)) + "</span></li>\n";
    }
    s += "</ul>\n";
  }
  if (!history.badges.empty()) {
    s += "<h3>Failures against the history</h3>\n<table class=\"information history\">\n"
         "<tr><th>Test</th><th>Since</th><th>Last runs</th></tr>\n";
    for (const FailureBadge& badge : history.badges)
      s += "<tr><td>" + escaped(objects[badge.object].path) + "</td><td>" + badgeText(badge) +
           "</td><td>" + strip(badge.strip) + "</td></tr>\n";
    s += "</table>\n";
  }
  return s + "</section>\n";
}

std::string headerTrendMarkup(const std::vector<RunInfo>& runs) {
  std::string s = "<section id=\"history\" aria-label=\"History\">\n<h2>History</h2>\n";
  if (runs.empty()) return s + "<p class=\"none\">The header text file holds no test summary.</p>\n</section>\n";
  return s + trendChart(runs) + "</section>\n";
}

namespace {

// A value of the test summary: "Passed=6" with its key, a count of at most
// ten digits.
bool summaryValue(const std::string& line, const char* key, int64_t* value) {
  const size_t length = strlen(key);
  if (line.compare(0, length, key) != 0 || line.size() == length || line.size() > length + 10)
    return false;
  int64_t v = 0;
  for (size_t i = length; i < line.size(); ++i) {
    if (line[i] < '0' || line[i] > '9') return false;
    v = v * 10 + (line[i] - '0');
  }
  *value = v;
  return true;
}

}  // namespace

bool readHeaderTotals(const std::string& path, std::vector<RunInfo>* runs, std::string* error) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) {
    *error = std::string("cannot open: ") + strerror(errno);
    return false;
  }
  static const char* const kKeys[] = {"Passed=", "Inconclusive=", "Failed=", "Total="};
  // Lines are read in bounded pieces; a longer line is no summary line.
  char buffer[64];
  std::string line;
  int next = -1;  // the summary line expected next, -1 outside a summary
  RunInfo run;
  int64_t number = 0;
  while (fgets(buffer, sizeof buffer, file)) {
    line = buffer;
    const bool whole = !line.empty() && line.back() == '\n';
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (!whole && !feof(file)) {
      // Skip the rest of a long line.
      int c;
      while ((c = fgetc(file)) != EOF && c != '\n') {
      }
      next = -1;
      continue;
    }
    if (line == "-Test summary") {
      next = 0;
      run = RunInfo();
      continue;
    }
    int64_t value = 0;
    if (next < 0 || !summaryValue(line, kKeys[next], &value)) {
      next = -1;
      continue;
    }
    int64_t* fields[] = {&run.totals.passed, &run.totals.inconclusive, &run.totals.failed,
                         &run.totals.total};
    *fields[next] = value;
    if (++next < 4) continue;
    next = -1;
    run.id = ++number;
    runs->push_back(run);
    if (runs->size() > 2 * kTrendRuns) runs->erase(runs->begin(), runs->end() - kTrendRuns);
  }
  const bool failed = ferror(file) != 0;
  fclose(file);
  if (failed) {
    *error = "cannot read";
    return false;
  }
  if (runs->size() > kTrendRuns) runs->erase(runs->begin(), runs->end() - kTrendRuns);
  return true;
}

bool takePageHistoryOptions(int* argc, char** argv, PageHistoryOptions* options) {
  int kept = 0;
  for (int i = 0; i < *argc; ++i) {
    const bool history = strcmp(argv[i], "--history") == 0;
    if (!history && strcmp(argv[i], "--header") != 0) {
      argv[kept++] = argv[i];
      continue;
    }
    if (i + 1 == *argc) {
      printErrorLine(std::string("html: ") + argv[i] + " needs a file name (see --help)");
      return false;
    }
    (history ? options->history : options->header) = argv[++i];
  }
  *argc = kept;
  if (!options->history.empty() && !options->header.empty()) {
    printErrorLine("html: --history and --header plot the same trend; give one of them");
    return false;
  }
  return true;
}

namespace {

// Beside each object of the run: where it is.
struct LocatedRun : RunCollector {
  void object(const TestObject& object) override {
    RunCollector::object(object);
    locations.push_back(object.location);
  }
  std::vector<SourceLink> locations;
};

}  // namespace

bool pageHistorySection(const std::string& report, const std::string& sourceRoot,
                        const PageHistoryOptions& options, std::string* markup, std::string* error) {
  if (!options.header.empty()) {
    std::vector<RunInfo> runs;
    if (!readHeaderTotals(options.header, &runs, error)) {
      *error = options.header + ": " + *error;
      return false;
    }
    *markup = headerTrendMarkup(runs);
    return true;
  }
  if (options.history.empty()) return true;
  LocatedRun run;
  ReportHistory history;
  if (!readReportRun(report, sourceRoot, run, error) ||
      !loadReportHistory(options.history, report, run.run, &history, error))
    return false;
  *markup = historyMarkup(history, run.run.objects, run.locations);
  return true;
}
