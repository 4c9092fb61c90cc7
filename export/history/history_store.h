// The run history: the runs recorded from reports, each with its totals
// and the status of every counted object, kept in one store that CI carries
// from job to job. The commands see only this interface; the SQL lives in
// the back end (sqlite_history.cpp), so that a database server can take a
// back end of its own.
//
//   run 1  2026-12-07T09:30:12  "3f2a9c1"  Passed 6, Inconclusive 2, Failed 1, Total 9
//          objects: {stack_test, Stack, overflow} failed "size() == capacity()", ...
//   run 2  2026-12-08T10:02:45  "b41e007"  Passed 7, Inconclusive 2, Failed 0, Total 9
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The status of an object in one run. Absent: the run did not hold it.
enum ResultStatus : uint8_t { ResultPassed, ResultNotExecuted, ResultFailed, ResultAbsent };

struct RunTotals {
  int64_t passed = 0;
  int64_t inconclusive = 0;
  int64_t failed = 0;
  int64_t total = 0;
};

struct RunInfo {
  int64_t id = 0;         // 1, 2, ...: increasing with the order of recording
  std::string generated;  // "2026-12-07T09:30:12", the report's local time
  std::string label;      // a commit, or empty
  RunTotals totals;
};

struct RunObject {
  std::string key;   // the object's identity key (object_identity.h)
  std::string path;  // "stack_test > Stack > overflow", to name it once it is gone
  ResultStatus status = ResultPassed;
  std::string checks;  // what failed, one check a line; empty unless failed
};

struct NewRun {
  std::string content;  // the digest of the report's bytes: one run per report
  RunInfo info;         // id unused
  std::vector<RunObject> objects;
};

class HistoryStore {
 public:
  virtual ~HistoryStore() = default;

  // Adds the run in one transaction. When a run of the same content is
  // there already, adds nothing and sets *added to false; *runId is the
  // run's number either way. keep > 0 then drops all but the newest keep
  // runs and the objects that no kept run holds.
  virtual bool addRun(const NewRun& run, int64_t keep, int64_t* runId, bool* added) = 0;
  // Every run, oldest first, with the digests of their reports beside.
  virtual bool runs(std::vector<RunInfo>* runs, std::vector<std::string>* contents) = 0;
  // The objects of one run with their status.
  virtual bool runObjects(int64_t runId, std::vector<RunObject>* objects) = 0;
  // For each key, its status in each of the runs (ascending ids):
  // statuses[k * runIds.size() + r]. Unknown keys are absent everywhere.
  virtual bool statuses(const std::vector<std::string>& keys, const std::vector<int64_t>& runIds,
                        std::vector<ResultStatus>* statuses) = 0;

  // Why the last call failed: "database disk image is malformed".
  const std::string& error() const { return error_; }

 protected:
  std::string error_;
};

enum HistoryAccess {
  HistoryRead,   // never writes; a read-only file or folder will do
  HistoryWrite,  // creates the file when it is missing
};

// Opens the history file. Null, with *error ("not a history file", "made
// by a newer veldora-export (schema 3; this one knows up to 1)", what SQLite
// says), when it cannot be used; such a file is left as it was.
std::unique_ptr<HistoryStore> openHistory(const std::string& path, HistoryAccess access,
                                          std::string* error);

// True when the file starts like an SQLite database (else it may be a report).
bool looksLikeHistory(const std::string& path);
