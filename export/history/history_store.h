// The run history: the runs of CI, per project and branch, each with the
// parts it holds (one report a part: a test program, a shard, a matrix
// job) and the attempts recorded for each part (a retried job records its
// report again under the same run key), every attempt with its totals and
// the status of every counted object. The commands see only this
// interface; the SQL lives in the back ends (sqlite_history.cpp for one
// file, postgres_history.cpp for a team's server), which behave alike.
//
//   project "group/app"
//   run 1  key "4711"  branch "main"
//          part "stack_test"  attempt 1: 2026-12-07T09:30:12 "3f2a9c1" Passed 6, ... , Failed 1
//                             {stack_test, Stack, overflow} failed "size() == capacity()\t(failed 1 of 1 executions)"
//          part "queue_test"  attempt 1: failed overflow; attempt 2 (the retried job): all passed
//   run 2  key ""      branch "feature/x"   part "stack_test" attempt 1 ...
#pragma once

#include "export/xrd/report_reader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct RunInfo {
  int64_t id = 0;         // 1, 2, ...: increasing with the order of first recording
  std::string key;        // the CI's run ("4711"), or empty
  std::string branch;     // "main", or empty
  std::string generated;  // "2026-12-07T09:30:12": of its newest attempt
  std::string label;      // of its newest attempt: a short commit, or empty
  VerdictTotals totals;   // summed over its parts' last attempts
  int64_t attempts = 1;   // over all its parts
};

// A part of a run, as its last attempt gave it.
struct PartInfo {
  std::string name;  // "stack_test"
  std::string generated;
  std::string label;
  VerdictTotals totals;
  int64_t attempts = 1;
};

struct RunObject {
  std::string key;   // the object's identity key within its part (object_identity.h)
  std::string path;  // "stack_test > Stack > overflow", to name it once it is gone
  ObjectStatus status = StatusPassed;
  // What failed, one check a line: its expression, a tab and its counts in
  // words ("size() == n\t(failed 1 of 3 executions)"; the counts may be
  // empty), or the object's title alone when no row of it failed. Empty
  // unless failed.
  std::string checks;
};

// One report to record: an attempt of a part of the run with its key.
struct NewRun {
  std::string content;  // the digest of the report's bytes
  std::string part;     // the part's name: --part, else the report's file name without its extension
  RunInfo info;         // key, branch, generated, label and totals; id and attempts unused
  std::vector<RunObject> objects;
};

struct RecordedRun {
  int64_t run = 0;
  int64_t attempt = 0;  // of the part: 1, then 2, 3, ... for a retried job
};

// The statuses of one object in one run: its last attempt's, and every
// status any attempt gave it, as bits (1 << StatusPassed, ...; 0 when no
// attempt held it), which tell when attempts disagreed.
struct RunStatus {
  ObjectStatus last = StatusAbsent;
  uint8_t seen = 0;
};

// Which runs a listing takes: those of one branch or of every branch, and
// of those only the runs that hold one part or any.
struct RunFilter {
  const std::string* branch = nullptr;  // null: every branch
  const std::string* part = nullptr;    // null: any part
};

// A whole attempt as it was recorded, for copying a history.
struct StoredAttempt {
  NewRun run;  // part, content, key, branch, generated, label, totals, objects
  int64_t runId = 0;  // the run it belongs to, in the history it came from
};

class HistoryStore {
 public:
  virtual ~HistoryStore() = default;

  // Adds the report in one transaction: a new run (of its branch) when its
  // key is empty or no run of the project has it, else the next attempt of
  // its part in that run (a part the run did not hold yet: its first).
  // keep > 0 then drops all but the newest keep runs of the report's
  // branch and the objects that no kept run holds, and gives the space
  // back. Many processes may record at once, into one run or others.
  virtual bool record(const NewRun& run, int64_t keep, RecordedRun* recorded) = 0;

  // Reading. A store opened for reading sees one state of the history from
  // its opening to its end, whatever is recorded meanwhile. Every call
  // sees only the store's project.

  // The run of that key, that id, or the newest run one of whose attempts
  // has that content; *found false when there is none.
  virtual bool runWithKey(const std::string& key, RunInfo* run, bool* found) = 0;
  virtual bool runWithId(int64_t id, RunInfo* run, bool* found) = 0;
  virtual bool runWithContent(const std::string& content, RunInfo* run, bool* found) = 0;
  // True when a run was recorded before contents were tagged (kDigestTag):
  // only then is the earlier digest of a report worth taking.
  virtual bool holdsUntaggedContent(bool* holds) = 0;
  // The parts of a run, by name.
  virtual bool runParts(int64_t runId, std::vector<PartInfo>* parts) = 0;
  // The newest count runs that filter takes with ids below before (0: of
  // all), oldest first. Cost O(count), whatever the history's length.
  virtual bool runsBefore(const RunFilter& filter, int64_t before, size_t count,
                          std::vector<RunInfo>* runs) = 0;
  // The objects of the last attempt of a run's part with their status, in
  // the order of its report; none when the run does not hold the part.
  virtual bool runObjects(int64_t runId, const std::string& part, std::vector<RunObject>* objects) = 0;
  // For each key of part, its statuses in each of the runs (ascending ids):
  // (*statuses)[k * runIds.size() + r]. Unknown keys are absent everywhere.
  virtual bool statuses(const std::string& part, const std::vector<std::string>& keys,
                        const std::vector<int64_t>& runIds, std::vector<RunStatus>* statuses) = 0;
  // For each key of part, the first run of the unbroken streak of runs of
  // branch that hold the part, up to and with run last, in which its last
  // attempt failed (a run of the part without the object breaks it; runs
  // without the part are passed over); 0 when it did not fail in run last.
  // Cost proportional to the streak.
  virtual bool failingSince(const std::string& part, const std::vector<std::string>& keys,
                            int64_t last, const std::string& branch,
                            std::vector<int64_t>* since) = 0;

  // Copying (history copy): the projects of the history, and every attempt
  // of the store's project in the order of recording, after attempt
  // position `after` (0: from the first), at most count of them; *next is
  // the position to go on from.
  virtual bool projects(std::vector<std::string>* names) = 0;
  virtual bool attempts(int64_t after, size_t count, std::vector<StoredAttempt>* attempts,
                        int64_t* next) = 0;

  // Why the last call failed: "damaged: the objects of run 3 hold more ids
  // than its report had objects", "db.example.com:5432: connection refused".
  // Never holds a password.
  const std::string& error() const { return error_; }

 protected:
  std::string error_;
};

enum HistoryAccess {
  HistoryRead,   // never writes; a read-only file or folder will do
  HistoryWrite,  // creates the file (or the server's tables) when missing
};

// Opens the history at location for project ("" is a project too): a file
// name (SQLite), or postgresql://USER@HOST:PORT/DB?sslmode=... (also
// postgres://; libpq's environment and password file are honoured). Null,
// with *error ("not a history file", "made by a newer veldora-export
// (schema 3; this one knows up to 2)", "damaged: ...", "HOST:PORT: why"),
// when it cannot be used; such a history is left as it was. For writing,
// only a sound history is taken.
std::unique_ptr<HistoryStore> openHistory(const std::string& location, const std::string& project,
                                          HistoryAccess access, std::string* error);

// True when location names a history server rather than a file.
bool isHistoryServer(const std::string& location);
// True when the location is a server or a file that starts like an SQLite
// database (else it may be a report).
bool looksLikeHistory(const std::string& location);
// The location as messages may show it: a server's without its password.
std::string shownLocation(const std::string& location);

// The digest tag of the contents recorded today: "sha256:" and 32 bytes.
// Runs of earlier versions have the 32 bytes of a SHA3-256 without a tag.
constexpr char kDigestTag[] = "sha256:";
