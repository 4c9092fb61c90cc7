// The run history: the runs of CI, each with the attempts recorded for it
// (a retried job records its report again under the same run key), every
// attempt with its totals and the status of every counted object, kept in
// one store that CI carries from job to job. The commands see only this
// interface; the SQL lives in the back end (sqlite_history.cpp), so that a
// database server can take a back end of its own.
//
//   run 1  key "4711"  2026-12-07T09:30:12  "3f2a9c1"  Passed 6, Inconclusive 2, Failed 1, Total 9
//          attempt 1: {stack_test, Stack, overflow} failed "size() == capacity()\t(failed 1 of 1 executions)"
//   run 2  key ""      2026-12-08T10:02:45  "b41e007"  Passed 7, Inconclusive 2, Failed 0, Total 9
//          attempt 1: failed overflow; attempt 2 (the retried job): all passed -> the run shows attempt 2
#pragma once

#include "export/xrd/report_reader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>


struct RunInfo {
  int64_t id = 0;         // 1, 2, ...: increasing with the order of recording
  std::string key;        // the CI's run ("4711"), or empty
  std::string generated;  // "2026-12-07T09:30:12": the report's time row, else the time of recording
  std::string label;      // a short commit, or empty
  VerdictTotals totals;       // of its last attempt
  int64_t attempts = 1;
};

struct RunObject {
  std::string key;   // the object's identity key (object_identity.h)
  std::string path;  // "stack_test > Stack > overflow", to name it once it is gone
  ObjectStatus status = StatusPassed;
  // What failed, one check a line: its expression, a tab and its counts in
  // words ("size() == n\t(failed 1 of 3 executions)"; the counts may be
  // empty), or the object's title alone when no row of it failed. Empty
  // unless failed.
  std::string checks;
};

// One report to record: an attempt of the run with its key.
struct NewRun {
  std::string content;  // the digest of the report's bytes
  RunInfo info;         // key, generated, label and totals; id and attempts unused
  std::vector<RunObject> objects;
};

struct RecordedRun {
  int64_t run = 0;
  int64_t attempt = 0;  // 1 for a new run, 2, 3, ... for a retried job
};

// The statuses of one object in one run: its last attempt's, and every
// status any attempt gave it, as bits (1 << StatusPassed, ...; 0 when no
// attempt held it), which tell when attempts disagreed.
struct RunStatus {
  ObjectStatus last = StatusAbsent;
  uint8_t seen = 0;
};

class HistoryStore {
 public:
  virtual ~HistoryStore() = default;

  // Adds the report in one transaction: a new run when its key is empty or
  // no run has it, else the next attempt of that run (whose time, label and
  // totals become this report's). keep > 0 then drops all but the newest
  // keep runs and the objects that no kept run holds, and gives the space
  // back.
  virtual bool record(const NewRun& run, int64_t keep, RecordedRun* recorded) = 0;

  // Reading. A store opened for reading sees one state of the history from
  // its opening to its end, whatever is recorded meanwhile.

  // The run of that key, that id, or the newest run one of whose attempts
  // has that content; *found false when there is none.
  virtual bool runWithKey(const std::string& key, RunInfo* run, bool* found) = 0;
  virtual bool runWithId(int64_t id, RunInfo* run, bool* found) = 0;
  virtual bool runWithContent(const std::string& content, RunInfo* run, bool* found) = 0;
  // True when a run was recorded before contents were tagged (kDigestTag):
  // only then is the earlier digest of a report worth taking.
  virtual bool holdsUntaggedContent(bool* holds) = 0;
  // The newest count runs with ids below before (0: of all), oldest first.
  virtual bool runsBefore(int64_t before, size_t count, std::vector<RunInfo>* runs) = 0;
  // The objects of a run's last attempt with their status, in the order of
  // its report.
  virtual bool runObjects(int64_t runId, std::vector<RunObject>* objects) = 0;
  // For each key, its statuses in each of the runs (ascending ids):
  // (*statuses)[k * runIds.size() + r]. Unknown keys are absent everywhere.
  virtual bool statuses(const std::vector<std::string>& keys, const std::vector<int64_t>& runIds,
                        std::vector<RunStatus>* statuses) = 0;
  // For each key, the first run of the unbroken streak of runs up to and
  // with run last in which its last attempt failed (a run without the
  // object breaks it); 0 when it did not fail in run last.
  virtual bool failingSince(const std::vector<std::string>& keys, int64_t last,
                            std::vector<int64_t>* since) = 0;

  // Why the last call failed: "database disk image is malformed", "damaged:
  // the objects of run 3 hold more ids than its report had objects".
  const std::string& error() const { return error_; }

 protected:
  std::string error_;
};

enum HistoryAccess {
  HistoryRead,   // never writes; a read-only file or folder will do
  HistoryWrite,  // creates the file when it is missing
};

// Opens the history file. Null, with *error ("not a history file", "made
// by a newer veldora-export (schema 3; this one knows up to 2)", "damaged:
// ...", what SQLite says), when it cannot be used; such a file is left as
// it was. For writing, only a sound file is taken.
std::unique_ptr<HistoryStore> openHistory(const std::string& path, HistoryAccess access,
                                          std::string* error);

// True when the file starts like an SQLite database (else it may be a report).
bool looksLikeHistory(const std::string& path);

// The digest tag of the contents recorded today: "sha256:" and 32 bytes.
// Runs of earlier versions have the 32 bytes of a SHA3-256 without a tag.
constexpr char kDigestTag[] = "sha256:";
