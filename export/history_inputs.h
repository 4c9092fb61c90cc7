// What the commands that use the run history share: the reports of a run,
// one a part, read as runs (with the digest of their bytes beside them when
// asked); the history, project, run key, branches and label from the
// options or the CI's environment; the quarantine list; and the run judged
// against the history.
//
//   CI_PIPELINE_ID=4711 CI_COMMIT_SHORT_SHA=3f2a9c1e CI_COMMIT_BRANCH=main
//   veldora-export diff history.sqlite shard1/stack_test.xrd shard2/queue_test.xrd --quarantine q.txt
//   -> run key "4711", branch "main", parts "stack_test" and "queue_test";
//      q.txt: "# known to hang on the CI's runners"
//             "stack_test > Stack > push_pop"
#pragma once

#include "export/ci/gate_writer.h"
#include "export/command_inputs.h"
#include "export/history/report_history.h"
#include "export/history/report_run.h"

#include <memory>
#include <string>
#include <vector>

// A report read as a run, with what the outputs show of each object:
// where it is, its node in the page, and a failed object's lines.
struct LocatedRun : RunCollector {
  void object(const TestObject& object) override;
  std::vector<SourceLink> locations;
  std::vector<int> nodes;
  std::vector<std::vector<FailureLine>> lines;
};

// A report of the run: one part.
struct PartReport {
  ReportInput input;
  LocatedRun run;  // run.run.part is the part's name
  std::string digest;  // of its bytes, when taken
  std::vector<bool> quarantined;  // beside its objects
};

// The reports named by the operands from first on, each a part named by
// --part (one report only), else by its file name without its extension.
// False, with the error line's text, for two parts of one name or --ots
// beside several reports.
bool partReports(const CommandArguments& args, size_t first, std::vector<PartReport>* parts,
                 std::string* error);
// What a part's reading gathers beside the command's own outputs.
struct PartReading {
  bool run = true;      // the part as a run: its objects, keys, places and lines
  bool digest = false;  // the digest of its bytes, beside the reading
};
// Reads a part's report once into extra (the command's own outputs, items
// beside) and what reading asks for. False, with the error line's text,
// when it cannot be read.
bool readPart(PartReport* part, TestObjectVisitor* extra, const ReportItems& items,
              PartReading reading, std::string* error);

// The parts of the run of --run-key as the history at location holds
// them, each as its report would have given it (its objects, their checks
// as lines without places). False, with the error line's text, when the
// history cannot be read or holds no run of that key.
bool storedParts(const CommandArguments& args, const std::string& location,
                 std::vector<PartReport>* parts, std::string* error);

// The history: --history, else VELDORA_HISTORY (a masked CI variable keeps
// a server's password out of job logs); "" for none.
std::string historyOf(const CommandArguments& args);
// The project in the history: --project, else for a server CI_PROJECT_PATH
// or GITHUB_REPOSITORY; a history file holds one project, "".
std::string projectOf(const CommandArguments& args, const std::string& history);
// The run's CI run: --run-key, else CI_PIPELINE_ID, else GITHUB_RUN_ID,
// else none.
std::string runKeyOf(const CommandArguments& args);
// The run's branch: --branch, else CI_MERGE_REQUEST_SOURCE_BRANCH_NAME,
// CI_COMMIT_BRANCH, GITHUB_HEAD_REF or GITHUB_REF_NAME.
std::string branchOf(const CommandArguments& args);
// The branch a run is compared with: --base-branch, else
// CI_MERGE_REQUEST_TARGET_BRANCH_NAME, CI_DEFAULT_BRANCH or GITHUB_BASE_REF,
// else the run's own.
std::string baseBranchOf(const CommandArguments& args);
// The run's label: --label, else CI_COMMIT_SHORT_SHA, else the first 8
// characters of GITHUB_SHA, else none; at most kLabelBytes.
std::string runLabelOf(const CommandArguments& args);

// The quarantine list (--quarantine FILE): one object path a line, as the
// outputs write it ("stack_test > Stack > push_pop"; of a run of several
// parts also with the part before it, "shard1 > stack_test > ..."); blank
// lines and lines whose first character other than a blank is "#" are
// none. Sets each part's quarantined; in *stale a warning line for each
// entry that names no object. False, with the error line's text, when the
// file cannot be read.
bool quarantineOf(const CommandArguments& args, std::vector<PartReport>* parts,
                  std::vector<FailureLine>* stale, std::string* error);

// The run judged against the history at location: its own run found by
// the run key, else by the first report's digest; each part's base by
// --run, else the newest run of the base branch before it that holds the
// part. False, with the error line's text, when the history cannot be read.
bool judgeRun(const CommandArguments& args, const std::string& location,
              const std::vector<PartReport>& parts, RunHistory* history, std::string* error);

// The gate's report of the run judged in history (parts beside
// history.parts, each shown with its name when there are several);
// againstHistory false: its base is a report named by against.
GateReport gateReportOf(const RunHistory& history, bool againstHistory, const std::string& against,
                        const std::vector<PartReport>& parts, const std::vector<FailureLine>& stale);
