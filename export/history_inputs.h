// What the commands that use the run history share: the report read as a
// run (with the digest of its bytes beside it when asked), the run key and
// label from the options or the CI's environment, the quarantine list, and
// the report judged against the history.
//
//   CI_PIPELINE_ID=4711 CI_COMMIT_SHORT_SHA=3f2a9c1e
//   veldora-export diff history.sqlite report.xrd --quarantine quarantine.txt
//   -> run key "4711"; quarantine.txt: "# known to hang on the CI's runners"
//                                      "stack_test > Stack > push_pop"
#pragma once

#include "export/ci/gate_writer.h"
#include "export/command_inputs.h"
#include "export/history/report_history.h"
#include "export/history/report_run.h"

#include <memory>
#include <string>
#include <vector>

// The report read as a run, with what the outputs show of each object:
// where it is, its node in the page, and a failed object's lines.
struct LocatedRun : RunCollector {
  void object(const TestObject& object) override;
  std::vector<SourceLink> locations;
  std::vector<int> nodes;
  std::vector<std::vector<FailureLine>> lines;
};

// The report's CI run: --run-key, else CI_PIPELINE_ID, else GITHUB_RUN_ID,
// else none.
std::string runKeyOf(const CommandArguments& args);
// The run's label: --label, else CI_COMMIT_SHORT_SHA, else the first 8
// characters of GITHUB_SHA, else none; at most kLabelBytes.
std::string runLabelOf(const CommandArguments& args);

// The quarantine list (--quarantine FILE): one object path a line, as the
// outputs write it ("stack_test > Stack > push_pop"); blank lines and
// lines whose first character other than a blank is "#" are none. In
// *quarantined the objects it names, beside objects; in *stale a warning
// line for each entry that names none of them. False, with the error
// line's text, when the file cannot be read.
bool quarantineOf(const CommandArguments& args, const std::vector<RunObject>& objects,
                  std::vector<bool>* quarantined, std::vector<FailureLine>* stale,
                  std::string* error);

// The gate's view of run judged in history: against names the base.
GateView gateViewOf(const ReportHistory& history, bool againstHistory, const std::string& against,
                    const LocatedRun& run, const std::vector<FailureLine>& staleQuarantine);

// The report read as run (its digest beside it when it has no run key),
// judged against the history at historyPath: its own run found by the run
// key, else by the digest; the base by --run, else the newest run before
// it. False, with the error line's text, when the history cannot be read.
bool judgeAgainstHistory(const CommandArguments& args, const std::string& historyPath,
                         const std::string& reportPath, const NewRun& run,
                         const std::string& digest, const std::vector<bool>& quarantined,
                         ReportHistory* history, std::string* error);
