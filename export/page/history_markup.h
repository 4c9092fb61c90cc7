// The page's history section, ahead of its failures: a trend of the last
// runs' totals as stacked columns, and with a run history the report's new
// failures and every failed object with its badge and its last statuses.
//
//   <section id="history"><h2>History</h2>
//   <svg class="bar trend" viewBox="0 0 500 120"><g><title>run 3 (3f2a9c1, 2026-12-07T09:30:12):
//   Passed 6, Inconclusive 2, Failed 1, Total 9</title><rect class="passed" .../>...</g>...</svg>
//   <p class="gate">New 1, Lost 0, Flaky 0, Quarantined 0, Fixed 0, Still failing 1, ...</p>
//   <h3>New failures <span>1</span></h3><ul><li><a href="#n4">stack_test › Stack › overflow</a>
//   ...</li></ul>
//   <table class="history"><tr><td>stack_test › Stack › pop</td><td><span class="badge since">
//   failing since run 2</span></td><td><span class="strip">ten glyphs</span></td></tr>
//   </table><p class="meta">The runs named above: run 2 (3f2a9c1, ...).</p></section>
//
// The drawing takes its colours from the page's style (the summary bar's
// classes), so it needs no style of its own under the page's policy. Its
// words are the page's labels. Only the section and the badges are built
// here; the page writer places them.
#pragma once

#include "export/history/report_history.h"
#include "export/page/page_badges.h"
#include "export/page/page_labels.h"
#include "export/xrd/report_reader.h"

#include <string>
#include <vector>

// A part's report as the page shows it: beside each of its objects,
// where it is and its node in the page.
struct PartObjects {
  std::string name;  // shown before the paths in a run of several parts
  const std::vector<RunObject>* objects = nullptr;
  const std::vector<SourceLink>* locations = nullptr;
  std::vector<int> nodes;
};

// The section and the badges for html REPORT... --history FILE (parts
// beside history.parts).
PageHistory historyMarkup(const RunHistory& history, const std::vector<PartObjects>& parts,
                          const PageLabels& labels);

// The section for html REPORT --header FILE: the totals of the test
// summaries that veldora appends to the header text file after each run.
std::string headerTrendMarkup(const std::vector<RunInfo>& runs, const PageLabels& labels);

// The test summaries of a header text file, oldest first, numbered from 1:
//
//   -Test summary
//   Passed=6
//   Inconclusive=2
//   Failed=1
//   Total=9
//
// The last kTrendRuns are kept. False, with *error, when the file cannot be
// read.
bool readHeaderTotals(const std::string& path, std::vector<RunInfo>* runs, std::string* error);
