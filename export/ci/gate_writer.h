// The merge gate's output: what a report changed against its base, as
// compiler lines, GitHub workflow commands or a merge request comment.
//
//   src/stack_test.cpp:50: error: new failure: check failed: size() == n [stack_test > fill]
//   src/stack_test.cpp:60: error: no longer executed: passed before [stack_test > copy]
//   src/stack_test.cpp:44: warning: flaky: check failed: pop() == 3 && pop() == 2 [stack_test > Stack > pop]
//   src/stack_test.cpp:30: warning: still failing since run 1 (3f2a9c1, 2026-12-07T09:30:12): check failed: size() == capacity() [stack_test > Stack > overflow]
//   New 1, Lost 1, Flaky 1, Quarantined 0, Fixed 0, Still failing 1, Added 0, Removed 0
//
// The comment opens with the verdict and its reason:
//
//   ❌ 1 new failure, 1 lost
//   ✅ no new failures (2 flaky, 1 still failing)
#pragma once

#include "export/ci/summary_writer.h"
#include "export/history/report_history.h"

#include <string>
#include <vector>

enum GateFormat { GatePlain, GateGithub, GateMarkdown };

// One part's report and its base as the gate shows them.
struct GateView {
  const RunDiff* diff = nullptr;
  const ReportHistory* history = nullptr;  // null against a report
  std::string part;  // shown before each path: a run of several parts
  const std::vector<RunObject>* now = nullptr;
  const std::vector<RunObject>* base = nullptr;
  const std::vector<std::vector<FailureLine>>* lines = nullptr;  // beside now: a failed object's
  const std::vector<SourceLink>* locations = nullptr;             // beside now
};

// The run: its parts, and what the gate says of the whole.
struct GateReport {
  std::vector<GateView> parts;
  // Parts of the base that this run lacks: a shard that did not report.
  std::vector<std::string> missingParts;
  VerdictTotals totals;  // the run's
  std::string against;   // "run 5 (...)", or the base report's name
  // Quarantine entries that match no object of the run.
  const std::vector<FailureLine>* staleQuarantine = nullptr;
};

// The counts of all parts.
GateCounts gateCounts(const GateReport& report);

struct GateOptions {
  GateFormat format = GatePlain;
  int64_t max = 50;  // lines of each kind before "and K more"
  bool colour = false;
  FailOn failOn;
  std::string pageUrl;  // linked from the comment
};

// The lines and the totals line (plain and github), or the comment (markdown).
std::string gateText(const GateReport& report, const GateOptions& options);
// The merge request comment.
std::string gateMarkdown(const GateReport& report, const GateOptions& options);

// The verdict line of the comment, without its mark: "1 new failure, 1
// lost" when the gate fails (*passed false), else "no new failures (2
// flaky, 1 still failing)".
std::string gateVerdict(const GateCounts& counts, const FailOn& failOn, int64_t reportFailed,
                        bool* passed);

// The most a merge request comment holds: what does not fit is "and N more".
constexpr size_t kCommentBytes = 60000;
