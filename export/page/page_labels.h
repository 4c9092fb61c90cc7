// The page's own words (headings, controls, the script's messages), in the
// language of the translation veldora itself would use (context "Page" of
// translations/veldora_<language>.ts), else in English. A report's own
// words are never translated: they are data.
#pragma once

#include <string>
#include <vector>

struct PageLabels {
  std::string language;  // for <html lang>: "en", "de"
  std::string report, summary, information, failures, noFailures, failedCount, showMore;
  std::string unlisted, testObjects, search, failuresOnly, notExecutedOnly, expandAll;
  std::string collapseAll, skipToTree, controls, noScript, bar;
  std::string notExecuted, passed, failed, tally, link, nodes, matches, shown, matchOf;
  std::string printEnd, cannotShow;
  // The history section and the badges of failed objects.
  std::string history, trendChart, trendRuns, runTotals, run, thisReport, newFailures, noNewFailure;
  std::string emptyHistory, againstHistory, test, since, lastRuns, badgeNew, badgeFlaky;
  std::string badgeQuarantined, failingSince, strip, notInRun, noHeaderSummary, gate, lost;
  std::string runsNamed, part;
};

class QTranslator;

// The labels as translator gives them (each one it lacks in English).
// Texts with %1, %2 take numbers: see fill().
PageLabels pageLabels(const QTranslator& translator);

// text with %1 (and %2, %3) replaced by the numbers.
std::string fill(const std::string& text, long long a, long long b = 0, long long c = 0);
// text with %1, %2, ... replaced by the texts (at most nine).
std::string fillText(const std::string& text, const std::vector<std::string>& values);

// The labels the script uses, as a JSON object whose text holds no "<", so
// that it can stand in a <script> block.
std::string scriptLabelsJson(const PageLabels& labels);
