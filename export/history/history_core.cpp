// The history's rules over any back end (history_database.h), schema 3:
//
//   runs(id, project, branch, key)              key unique per project ('' for none)
//   attempts(id, run, part, content, generated, label, passed, inconclusive, failed, total,
//            objects, members)                  every report recorded; a run's part shows its last
//   objects(id, project, part, key, path)       each object once per (project, part, key)
//   results(attempt, object, status, checks, since)  only what did not pass
//
// members: the ids of the attempt's objects in report order (member_list.h),
// objects: how many there are. An object of the attempt without a result
// row passed. since: of a failure, the run its failing streak began in
// (the runs of the branch that hold the part, each by its last attempt),
// as it was when the attempt was recorded; 0 where unknown (recorded
// before schema 3, or after an attempt went into an earlier run of the
// branch). A streak is read from since at once, else by walking the runs.
// A run's totals are the sum over its parts' last attempts, its time and
// label its newest attempt's.
//
// Nothing read is trusted: every value is checked before it counts, sizes
// or stops anything, ids are looked up and never index or size memory, and
// a members list is read no further than its count. A value out of bounds
// fails the call with "damaged: ...".
#include "export/history/history_core.h"

#include "export/history/member_list.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <unordered_map>

std::string newerSchemaError(int64_t version) {
  return "made by a newer veldora-export (schema " + std::to_string(version) +
         "; this one knows up to " + std::to_string(kHistorySchema) + ")";
}

namespace {

// Names and keys are looked up through indexes: kept short, an index entry
// of a project, a part and a key stays inside SQLite's index pages, where
// its check sees all of it.
const size_t kLongestKey = 256;
// Runs read at once for a failing streak: few for the usual short one,
// growing for a long one.
const size_t kFirstChain = 8;
// Ids in one IN list.
const size_t kListed = 256;

bool integerIn(HistoryQuery& row, int column, int64_t low, int64_t high) {
  if (!row.isInteger(column)) return false;
  const int64_t value = row.integer(column);
  return value >= low && value <= high;
}

// The counts of the report: 32-bit, as the report's own counters.
bool isCount(HistoryQuery& row, int column) { return integerIn(row, column, 0, INT32_MAX); }

std::string runName(int64_t id) { return "run " + std::to_string(id); }

// "?3, ?4, ?5"
std::string placeholders(int first, size_t count) {
  std::string list;
  for (size_t i = 0; i < count; ++i) list += (i ? ", ?" : "?") + std::to_string(first + static_cast<int>(i));
  return list;
}

void bindValue(HistoryQuery& q, int i, int64_t value) { q.bind(i, value); }
void bindValue(HistoryQuery& q, int i, const std::string& value) { q.bindBlob(i, value); }

// The runs that `where` (on runs r) takes, the newest limit (?limit) of
// them, newest first (HistoryCore::readRuns reads them).
std::string runQuery(const std::string& where, int limit) {
  return "SELECT r.id, r.key, r.branch FROM runs r WHERE " + where + " ORDER BY r.id DESC LIMIT ?" +
         std::to_string(limit);
}

// The last attempt of each part of the listed runs, a row a part, by run
// and part.
const char kLastAttempts[] =
    "SELECT a.run, a.part, a.id, a.generated, a.label, a.passed, a.inconclusive, a.failed, a.total,"
    " (SELECT count(*) FROM attempts WHERE run = a.run AND part = a.part) FROM attempts a"
    " JOIN runs r ON r.id = a.run WHERE r.project = ?1 AND a.run IN (?LIST)"
    " AND a.id = (SELECT max(id) FROM attempts WHERE run = a.run AND part = a.part) ORDER BY a.run, a.part";

struct RunRows {
  RunInfo info;
  std::vector<PartInfo> parts;
};

// An attempt as the reads of its objects need it.
struct AttemptRow {
  int64_t id = 0;
  int64_t run = 0;
  int64_t objects = 0;
  std::string members;
};

// A run of a failing streak and its last attempt of the part.
struct ChainRun {
  int64_t run;
  int64_t attempt;
};

class HistoryCore : public HistoryStore {
 public:
  HistoryCore(std::unique_ptr<HistoryDatabase> db, std::string project)
      : db_(std::move(db)), project_(std::move(project)) {}

  bool record(const NewRun& run, int64_t keep, RecordedRun* recorded) override;
  bool runWithKey(const std::string& key, RunInfo* run, bool* found) override;
  bool runWithId(int64_t id, RunInfo* run, bool* found) override;
  bool runWithContent(const std::string& content, RunInfo* run, bool* found) override;
  bool holdsUntaggedContent(bool* holds) override;
  bool runParts(int64_t runId, std::vector<PartInfo>* parts) override;
  bool runsBefore(const RunFilter& filter, int64_t before, size_t count, std::vector<RunInfo>* runs) override;
  bool runObjects(int64_t runId, const std::string& part, std::vector<RunObject>* objects) override;
  bool statuses(const std::string& part, const std::vector<std::string>& keys,
                const std::vector<int64_t>& runIds, std::vector<RunStatus>* statuses) override;
  bool failingSince(const std::string& part, const std::vector<std::string>& keys, int64_t last,
                    const std::string& branch, std::vector<int64_t>* since) override;
  bool projects(std::vector<std::string>* names) override;
  bool attempts(int64_t after, size_t count, std::vector<StoredAttempt>* attempts, int64_t* next) override;

 private:
  // Holds a read transaction over one call where none is open (a store
  // opened for writing holds none between calls), so that the call's
  // queries see one state of the history.
  class ReadScope {
   public:
    explicit ReadScope(HistoryDatabase& db) : db_(db.inTransaction() ? nullptr : &db) {
      if (db_ && !db_->beginRead()) db_ = nullptr;
    }
    ~ReadScope() {
      if (db_) db_->endRead();
    }
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;

   private:
    HistoryDatabase* db_;
  };

  bool fail() {
    error_ = db_->error();
    return false;
  }
  bool damaged(const std::string& what) {
    error_ = "damaged: " + what;
    return false;
  }
  bool damagedMembers(int64_t run, const char* fault) {
    return damaged("the objects of " + runName(run) + " " + fault);
  }
  std::unique_ptr<HistoryQuery> query(const std::string& sql) {
    std::unique_ptr<HistoryQuery> q = db_->query(sql);
    q->bindText(1, project_);
    return q;
  }
  bool done(HistoryQuery& q) { return q.step() == HistoryQuery::Done || fail(); }

  bool readRuns(HistoryQuery& rows, std::vector<RunRows>* runs);
  bool addPart(HistoryQuery& row, const std::unordered_map<int64_t, RunRows*>& runOf,
               std::unordered_map<int64_t, int64_t>* newest);
  bool readTotals(HistoryQuery& row, int first, int64_t run, VerdictTotals* totals);
  bool findRun(HistoryQuery& query, RunInfo* run, bool* found);
  bool lastAttempt(int64_t runId, const std::string& part, AttemptRow* attempt, bool* held);
  bool attemptObjects(const AttemptRow& attempt, const std::string& part, std::vector<RunObject>* objects);
  bool memberOrder(const AttemptRow& attempt, const std::string& part,
                   std::vector<std::pair<int64_t, uint32_t>>* order);
  bool objectRows(const AttemptRow& attempt, const std::string& part,
                  const std::vector<std::pair<int64_t, uint32_t>>& order, std::vector<RunObject>* found);
  bool resultRows(const AttemptRow& attempt, const std::vector<std::pair<int64_t, uint32_t>>& order,
                  std::vector<RunObject>* found);
  bool objectIds(const std::string& part, const std::vector<std::string>& keys, std::vector<int64_t>* ids);
  bool attemptCells(const std::string& part, const std::vector<int64_t>& runIds,
                    const std::unordered_map<int64_t, size_t>& slotOf, std::vector<size_t>* runOf,
                    std::vector<int64_t>* attemptIds, std::vector<uint8_t>* cells);
  bool resultCells(const std::vector<int64_t>& attemptIds, const std::unordered_map<int64_t, size_t>& slotOf,
                   std::vector<uint8_t>* cells);
  bool chainRuns(const std::string& part, const std::string& branch, int64_t last, size_t size,
                 int64_t* below, std::vector<ChainRun>* chain, bool* ended);
  bool failingIn(const std::vector<int64_t>& objects, const std::vector<ChainRun>& chain, size_t from,
                 const std::string& part, const std::string& branch, std::vector<size_t>* failing,
                 std::vector<int64_t*> since);
  bool streakStarts(const std::string& part, const std::vector<int64_t>& ids, int64_t last,
                    const std::string& branch, std::vector<int64_t>* since);
  bool chainEnd(const std::string& part, const std::string& branch, int64_t below, bool newest, int64_t* run);
  template <typename Value>
  bool inLists(const std::string& sql, int first, const std::vector<Value>& values,
               const std::function<void(HistoryQuery&)>& bind, const std::function<bool(HistoryQuery&)>& row);

  bool checkNewRun(const NewRun& run);
  bool addAttempt(const NewRun& run, RecordedRun* recorded);
  bool runForAttempt(const NewRun& run, RecordedRun* recorded);
  bool addObjects(const NewRun& run, std::vector<int64_t>* members,
                  std::vector<std::pair<const RunObject*, int64_t>>* failures);
  bool insertAttempt(const NewRun& run, int64_t runId, const std::vector<int64_t>& members,
                     int64_t* attemptId);
  bool newStreaks(const NewRun& run, int64_t runId,
                  const std::vector<std::pair<const RunObject*, int64_t>>& failures, std::vector<int64_t>* since);
  bool forgetLaterStreaks(const NewRun& run, int64_t runId);
  bool dropOldRuns(const std::string& branch, int64_t keep);
  bool dropUnheldObjects(const std::string& part);
  bool heldObjects(const std::string& part, const std::vector<int64_t>& ids, std::vector<uint8_t>* held);
  bool readAttempts(HistoryQuery& rows, std::vector<StoredAttempt>* attempts, std::vector<AttemptRow>* rowsRead);

  std::unique_ptr<HistoryDatabase> db_;
  std::string project_;
};

// Checks a run's counts from column first on: passed, inconclusive,
// failed and total.
bool HistoryCore::readTotals(HistoryQuery& row, int first, int64_t run, VerdictTotals* totals) {
  for (int column = first; column < first + 4; ++column)
    if (!isCount(row, column)) return damaged("the totals of " + runName(run) + " are out of range");
  *totals = {row.integer(first), row.integer(first + 1), row.integer(first + 2), row.integer(first + 3)};
  if (totals->passed + totals->inconclusive + totals->failed != totals->total)
    return damaged("the totals of " + runName(run) + " do not add up");
  return true;
}

// Reads the runs of a runQuery, oldest first, each with its parts, its
// totals summed.
bool HistoryCore::readRuns(HistoryQuery& rows, std::vector<RunRows>* runs) {
  runs->clear();
  std::vector<int64_t> ids;
  HistoryQuery::Step step;
  while ((step = rows.step()) == HistoryQuery::Row) {
    if (!integerIn(rows, 0, 1, INT64_MAX)) return damaged("a run id out of range: " + rows.bytes(0));
    runs->emplace_back();
    RunInfo& info = runs->back().info;
    info.id = rows.integer(0);
    info.key = rows.bytes(1);
    info.branch = rows.bytes(2);
    info.attempts = 0;
    ids.push_back(info.id);
  }
  if (step == HistoryQuery::Failed) return fail();
  std::reverse(runs->begin(), runs->end());
  std::unordered_map<int64_t, RunRows*> runOf;
  for (RunRows& run : *runs) runOf[run.info.id] = &run;
  std::unordered_map<int64_t, int64_t> newest;  // run: its newest attempt
  if (!inLists(kLastAttempts, 2, ids, [](HistoryQuery&) {},
               [&](HistoryQuery& q) { return addPart(q, runOf, &newest); }))
    return false;
  for (const RunRows& run : *runs)
    if (run.parts.empty()) return damaged(runName(run.info.id) + " has no attempt");
  return true;
}

// Adds a row of kLastAttempts to its run.
bool HistoryCore::addPart(HistoryQuery& row, const std::unordered_map<int64_t, RunRows*>& runOf,
                          std::unordered_map<int64_t, int64_t>* newest) {
  const auto found = runOf.find(row.integer(0));
  if (found == runOf.end()) return true;
  RunRows& run = *found->second;
  const int64_t id = run.info.id;
  PartInfo part;
  if (!readTotals(row, 5, id, &part.totals)) return false;
  if (!integerIn(row, 9, 1, INT64_MAX)) return damaged("the attempts of " + runName(id) + " are out of range");
  part.name = row.bytes(1);
  part.generated = row.bytes(3);
  part.label = row.bytes(4);
  part.attempts = row.integer(9);
  run.info.totals.passed += part.totals.passed;
  run.info.totals.inconclusive += part.totals.inconclusive;
  run.info.totals.failed += part.totals.failed;
  run.info.totals.total += part.totals.total;
  run.info.attempts += part.attempts;
  int64_t& last = (*newest)[id];
  if (row.integer(2) > last) {
    last = row.integer(2);
    run.info.generated = part.generated;
    run.info.label = part.label;
  }
  run.parts.push_back(std::move(part));
  return true;
}

bool HistoryCore::findRun(HistoryQuery& query, RunInfo* run, bool* found) {
  std::vector<RunRows> runs;
  if (!readRuns(query, &runs)) return false;
  *found = !runs.empty();
  if (*found) *run = runs.front().info;
  return true;
}

bool HistoryCore::runWithKey(const std::string& key, RunInfo* run, bool* found) {
  *found = false;
  if (key.empty()) return true;  // no key: a run of its own
  ReadScope scope(*db_);
  auto q = query(runQuery("r.project = ?1 AND r.key = ?2 AND r.key <> ''", 3));
  q->bindText(2, key);
  q->bind(3, 1);
  return findRun(*q, run, found);
}

bool HistoryCore::runWithId(int64_t id, RunInfo* run, bool* found) {
  *found = false;
  ReadScope scope(*db_);
  auto q = query(runQuery("r.project = ?1 AND r.id = ?2", 3));
  q->bind(2, id);
  q->bind(3, 1);
  return findRun(*q, run, found);
}

bool HistoryCore::runWithContent(const std::string& content, RunInfo* run, bool* found) {
  *found = false;
  ReadScope scope(*db_);
  auto q = query(runQuery(
      "r.project = ?1 AND r.id = (SELECT max(a.run) FROM attempts a JOIN runs x ON x.id = a.run"
      " WHERE a.content = ?2 AND x.project = ?1)",
      3));
  q->bindBlob(2, content);
  q->bind(3, 1);
  return findRun(*q, run, found);
}

bool HistoryCore::holdsUntaggedContent(bool* holds) {
  ReadScope scope(*db_);
  // Two ranges of the content index: below the tag, and from the tag's
  // last byte raised by one; the project of each attempt found there.
  const std::string ofProject = " AND (SELECT project FROM runs WHERE id = a.run) = ?1";
  auto q = query("SELECT 1 FROM attempts a WHERE a.content < ?2" + ofProject +
                 " UNION ALL SELECT 1 FROM attempts a WHERE a.content >= ?3" + ofProject + " LIMIT 1");
  std::string tag = kDigestTag, above = kDigestTag;
  above.back() = static_cast<char>(above.back() + 1);
  q->bindBlob(2, tag);
  q->bindBlob(3, above);
  const HistoryQuery::Step step = q->step();
  *holds = step == HistoryQuery::Row;
  return step != HistoryQuery::Failed || fail();
}

bool HistoryCore::runParts(int64_t runId, std::vector<PartInfo>* parts) {
  parts->clear();
  ReadScope scope(*db_);
  auto q = query(runQuery("r.project = ?1 AND r.id = ?2", 3));
  q->bind(2, runId);
  q->bind(3, 1);
  std::vector<RunRows> runs;
  if (!readRuns(*q, &runs)) return false;
  if (runs.empty()) {
    error_ = "no " + runName(runId);
    return false;
  }
  parts->swap(runs.front().parts);
  return true;
}

bool HistoryCore::runsBefore(const RunFilter& filter, int64_t before, size_t count, std::vector<RunInfo>* runs) {
  runs->clear();
  ReadScope scope(*db_);
  std::string where = "r.project = ?1 AND r.id < ?2";
  int next = 3;
  const int branch = filter.branch ? next++ : 0;
  const int part = filter.part ? next++ : 0;
  if (branch) where += " AND r.branch = ?" + std::to_string(branch);
  if (part) where += " AND EXISTS(SELECT 1 FROM attempts a WHERE a.run = r.id AND a.part = ?" + std::to_string(part) + ")";
  auto q = query(runQuery(where, next));
  q->bind(2, before > 0 ? before : INT64_MAX);
  if (branch) q->bindText(branch, *filter.branch);
  if (part) q->bindText(part, *filter.part);
  q->bind(next, count > 0 && count <= INT64_MAX ? static_cast<int64_t>(count) : INT64_MAX);
  std::vector<RunRows> read;
  if (!readRuns(*q, &read)) return false;
  for (RunRows& run : read) runs->push_back(std::move(run.info));
  return true;
}

// The last attempt of a run's part, its count checked; *held false when
// the run does not hold the part.
bool HistoryCore::lastAttempt(int64_t runId, const std::string& part, AttemptRow* attempt, bool* held) {
  auto q = query(
      "SELECT (SELECT count(*) FROM attempts WHERE run = r.id), a.id, a.objects, a.members FROM runs r"
      " LEFT JOIN attempts a ON a.id = (SELECT max(id) FROM attempts WHERE run = r.id AND part = ?3)"
      " WHERE r.project = ?1 AND r.id = ?2");
  q->bind(2, runId);
  q->bindText(3, part);
  const HistoryQuery::Step step = q->step();
  if (step == HistoryQuery::Done) {
    error_ = "no " + runName(runId);
    return false;
  }
  if (step != HistoryQuery::Row) return fail();
  if (!integerIn(*q, 0, 1, INT64_MAX)) return damaged(runName(runId) + " has no attempt");
  *held = !q->isNull(1);
  if (*held && !isCount(*q, 2)) return damaged("the object count of " + runName(runId) + " is out of range");
  if (*held) *attempt = {q->integer(1), runId, q->integer(2), q->bytes(3)};
  return true;
}

bool HistoryCore::runObjects(int64_t runId, const std::string& part, std::vector<RunObject>* objects) {
  objects->clear();
  ReadScope scope(*db_);
  AttemptRow attempt;
  bool held = false;
  if (!lastAttempt(runId, part, &attempt, &held)) return false;
  return !held || attemptObjects(attempt, part, objects);
}

// The ids of an attempt's members list with their places in the report,
// sorted by id for one pass over the objects and one over the results.
bool HistoryCore::memberOrder(const AttemptRow& attempt, const std::string& part,
                              std::vector<std::pair<int64_t, uint32_t>>* order) {
  // Each id takes an object of its own, so no more ids than objects.
  auto count = query("SELECT count(*) FROM objects WHERE project = ?1 AND part = ?2");
  count->bindText(2, part);
  if (count->step() != HistoryQuery::Row) return fail();
  if (!count->isInteger(0) || attempt.objects > count->integer(0))
    return damaged(runName(attempt.run) + " counts more objects than the history has");
  MemberReader reader(attempt.members, attempt.objects);
  int64_t id;
  while (reader.next(&id)) order->emplace_back(id, static_cast<uint32_t>(order->size()));
  if (reader.fault()) return damagedMembers(attempt.run, reader.fault());
  if (static_cast<int64_t>(order->size()) != attempt.objects)
    return damagedMembers(attempt.run, "hold fewer ids than its report had objects");
  std::sort(order->begin(), order->end());
  for (size_t i = 1; i < order->size(); ++i)
    if ((*order)[i].first == (*order)[i - 1].first) return damagedMembers(attempt.run, "hold an id twice");
  return true;
}

// The key and path of each member, from one pass over the part's objects
// in the range of the ids.
bool HistoryCore::objectRows(const AttemptRow& attempt, const std::string& part,
                             const std::vector<std::pair<int64_t, uint32_t>>& order,
                             std::vector<RunObject>* found) {
  if (order.empty()) return true;
  auto rows = query(
      "SELECT id, key, path FROM objects WHERE project = ?1 AND part = ?2 AND id >= ?3 AND id <= ?4"
      " ORDER BY id");
  rows->bindText(2, part);
  rows->bind(3, order.front().first);
  rows->bind(4, order.back().first);
  HistoryQuery::Step step = HistoryQuery::Row;
  for (const auto& [id, place] : order) {
    while ((step = rows->step()) == HistoryQuery::Row && rows->integer(0) < id) {
    }
    if (step == HistoryQuery::Failed) return fail();
    if (step != HistoryQuery::Row || rows->integer(0) != id)
      return damagedMembers(attempt.run, "hold an id no object has");
    (*found)[place].key = rows->bytes(1);
    (*found)[place].path = rows->bytes(2);
  }
  return true;
}

bool HistoryCore::resultRows(const AttemptRow& attempt, const std::vector<std::pair<int64_t, uint32_t>>& order,
                             std::vector<RunObject>* found) {
  auto results = db_->query("SELECT object, status, checks FROM results WHERE attempt = ?1 ORDER BY object");
  results->bind(1, attempt.id);
  const std::string name = runName(attempt.run);
  size_t next = 0;
  HistoryQuery::Step step;
  while ((step = results->step()) == HistoryQuery::Row) {
    const int64_t object = results->integer(0);
    while (next < order.size() && order[next].first < object) ++next;
    if (!results->isInteger(0) || next == order.size() || order[next].first != object)
      return damaged("a result of " + name + " names an object not in it");
    if (!integerIn(*results, 1, StatusNotExecuted, StatusFailed))
      return damaged("a result of " + name + " has status " + results->bytes(1));
    RunObject& o = (*found)[order[next].second];
    o.status = static_cast<ObjectStatus>(results->integer(1));
    o.checks = results->bytes(2);
  }
  return step == HistoryQuery::Done || fail();
}

bool HistoryCore::attemptObjects(const AttemptRow& attempt, const std::string& part,
                                 std::vector<RunObject>* objects) {
  std::vector<std::pair<int64_t, uint32_t>> order;
  if (!memberOrder(attempt, part, &order)) return false;
  std::vector<RunObject> found(order.size());
  if (!objectRows(attempt, part, order, &found) || !resultRows(attempt, order, &found)) return false;
  objects->swap(found);
  return true;
}

// Runs sql, whose "?LIST" is an IN list of values from parameter first
// on, over kListed values at a time; bind binds the other parameters, row
// takes each row (false: stop with error_ set).
template <typename Value>
bool HistoryCore::inLists(const std::string& sql, int first, const std::vector<Value>& values,
                          const std::function<void(HistoryQuery&)>& bind,
                          const std::function<bool(HistoryQuery&)>& row) {
  const size_t at = sql.find("?LIST");
  for (size_t from = 0; from < values.size(); from += kListed) {
    const size_t n = std::min(kListed, values.size() - from);
    auto q = query(sql.substr(0, at) + placeholders(first, n) + sql.substr(at + 5));
    bind(*q);
    for (size_t i = 0; i < n; ++i) bindValue(*q, first + static_cast<int>(i), values[from + i]);
    HistoryQuery::Step step;
    while ((step = q->step()) == HistoryQuery::Row)
      if (!row(*q)) return false;
    if (step == HistoryQuery::Failed) return fail();
  }
  return true;
}

// The object id of each key of the part, 0 for an unknown key.
bool HistoryCore::objectIds(const std::string& part, const std::vector<std::string>& keys,
                            std::vector<int64_t>* ids) {
  std::unordered_map<std::string, int64_t> idOf;
  const bool read = inLists(
      "SELECT id, key FROM objects WHERE project = ?1 AND part = ?2 AND key IN (?LIST)", 3, keys,
      [&](HistoryQuery& q) { q.bindText(2, part); },
      [&](HistoryQuery& q) {
        if (!integerIn(q, 0, 1, INT64_MAX)) return damaged("an object id out of range: " + q.bytes(0));
        idOf[q.bytes(1)] = q.integer(0);
        return true;
      });
  ids->assign(keys.size(), 0);
  for (size_t k = 0; k < keys.size() && read; ++k) {
    const auto found = idOf.find(keys[k]);
    if (found != idOf.end()) (*ids)[k] = found->second;
  }
  return read;
}

// The attempts of the part in each run, each run's oldest first, and the
// status of each slot in each attempt: passed where its members hold it.
bool HistoryCore::attemptCells(const std::string& part, const std::vector<int64_t>& runIds,
                               const std::unordered_map<int64_t, size_t>& slotOf, std::vector<size_t>* runOf,
                               std::vector<int64_t>* attemptIds, std::vector<uint8_t>* cells) {
  const size_t slots = slotOf.size();
  std::unordered_map<int64_t, std::vector<size_t>> places;  // run id: its indexes into runIds
  for (size_t r = 0; r < runIds.size(); ++r) places[runIds[r]].push_back(r);
  return inLists(
      "SELECT a.run, a.id, a.objects, a.members FROM attempts a JOIN runs r ON r.id = a.run"
      " WHERE r.project = ?1 AND a.part = ?2 AND a.run IN (?LIST) ORDER BY a.id",
      3, runIds, [&](HistoryQuery& q) { q.bindText(2, part); },
      [&](HistoryQuery& q) {
        const int64_t run = q.integer(0);
        const auto at = places.find(run);
        if (at == places.end()) return true;
        if (!isCount(q, 2)) return damaged("the object count of " + runName(run) + " is out of range");
        std::vector<uint8_t> row(slots, StatusAbsent);
        MemberReader reader(q.bytes(3), q.integer(2));
        int64_t id;
        while (reader.next(&id)) {
          const auto slot = slotOf.find(id);
          if (slot != slotOf.end()) row[slot->second] = StatusPassed;
        }
        if (reader.fault()) return damagedMembers(run, reader.fault());
        if (reader.count() != q.integer(2)) return damagedMembers(run, "hold fewer ids than its report had objects");
        for (const size_t r : at->second) {
          runOf->push_back(r);
          attemptIds->push_back(q.integer(1));
          cells->insert(cells->end(), row.begin(), row.end());
        }
        return true;
      });
}

// The result rows of each slot's object over the range of the attempts.
bool HistoryCore::resultCells(const std::vector<int64_t>& attemptIds,
                              const std::unordered_map<int64_t, size_t>& slotOf, std::vector<uint8_t>* cells) {
  if (attemptIds.empty()) return true;
  std::vector<std::pair<int64_t, size_t>> byId;  // attempt id, index into attemptIds
  for (size_t a = 0; a < attemptIds.size(); ++a) byId.emplace_back(attemptIds[a], a);
  std::sort(byId.begin(), byId.end());
  std::vector<int64_t> objects;
  for (const auto& each : slotOf) objects.push_back(each.first);
  return inLists(
      "SELECT object, attempt, status FROM results WHERE attempt >= ?1 AND attempt <= ?2 AND object IN (?LIST)",
      3, objects,
      [&](HistoryQuery& q) {
        q.bind(1, byId.front().first);
        q.bind(2, byId.back().first);
      },
      [&](HistoryQuery& q) {
        if (!integerIn(q, 2, StatusNotExecuted, StatusFailed)) return damaged("a result has status " + q.bytes(2));
        const auto slot = slotOf.find(q.integer(0));
        if (slot == slotOf.end()) return true;
        auto at = std::lower_bound(byId.begin(), byId.end(), std::make_pair(q.integer(1), size_t{0}));
        for (; at != byId.end() && at->first == q.integer(1); ++at)
          (*cells)[at->second * slotOf.size() + slot->second] = static_cast<uint8_t>(q.integer(2));
        return true;
      });
}

bool HistoryCore::statuses(const std::string& part, const std::vector<std::string>& keys,
                           const std::vector<int64_t>& runIds, std::vector<RunStatus>* statuses) {
  ReadScope scope(*db_);
  // The distinct objects of the keys, each with a slot.
  std::vector<int64_t> ids;
  if (!objectIds(part, keys, &ids)) return false;
  std::unordered_map<int64_t, size_t> slotOf;
  for (const int64_t id : ids)
    if (id > 0) slotOf.emplace(id, slotOf.size());
  const size_t slots = slotOf.size();
  std::vector<size_t> runOf;
  std::vector<int64_t> attemptIds;
  std::vector<uint8_t> cells;  // attempts x slots
  if (slots > 0 && (!attemptCells(part, runIds, slotOf, &runOf, &attemptIds, &cells) ||
                    !resultCells(attemptIds, slotOf, &cells)))
    return false;
  // Each run: its last attempt's status and the bits of all of them.
  const size_t width = runIds.size();
  std::vector<RunStatus> perSlot(slots * width);
  for (size_t a = 0; a < attemptIds.size(); ++a) {
    for (size_t s = 0; s < slots; ++s) {
      const auto status = static_cast<ObjectStatus>(cells[a * slots + s]);
      RunStatus& cell = perSlot[s * width + runOf[a]];
      cell.last = status;
      if (status != StatusAbsent) cell.seen |= static_cast<uint8_t>(1 << status);
    }
  }
  statuses->assign(keys.size() * width, RunStatus());
  for (size_t k = 0; k < keys.size(); ++k) {
    if (ids[k] == 0) continue;
    const size_t slot = slotOf[ids[k]];
    std::copy_n(perSlot.begin() + static_cast<std::ptrdiff_t>(slot * width), width,
                statuses->begin() + static_cast<std::ptrdiff_t>(k * width));
  }
  return true;
}

// The next runs of the branch at or below *below, newest first, that hold
// the part, each with its last attempt of it; runs without the part are
// passed over. The first must be run last itself, else the chain ends.
bool HistoryCore::chainRuns(const std::string& part, const std::string& branch, int64_t last, size_t size,
                            int64_t* below, std::vector<ChainRun>* chain, bool* ended) {
  auto q = query(
      "SELECT r.id, (SELECT count(*) FROM attempts WHERE run = r.id),"
      " (SELECT max(id) FROM attempts WHERE run = r.id AND part = ?3) FROM runs r"
      " WHERE r.project = ?1 AND r.branch = ?2 AND r.id <= ?4 ORDER BY r.id DESC LIMIT ?5");
  q->bindText(2, branch);
  q->bindText(3, part);
  q->bind(4, *below);
  q->bind(5, static_cast<int64_t>(size));
  size_t read = 0;
  HistoryQuery::Step step;
  while ((step = q->step()) == HistoryQuery::Row) {
    const int64_t run = q->integer(0);
    if (!integerIn(*q, 0, 1, INT64_MAX)) return damaged("a run id out of range: " + q->bytes(0));
    if (!integerIn(*q, 1, 1, INT64_MAX)) return damaged(runName(run) + " has no attempt");
    if (*below == last && read == 0 && (run != last || q->isNull(2))) break;
    ++read;
    *below = run - 1;
    if (!q->isNull(2)) chain->push_back({run, q->integer(2)});
  }
  if (step == HistoryQuery::Failed) return fail();
  *ended = read < size;
  return true;
}

// For each object, walks the chain from `from` on while its last attempt
// in each run failed, up to where a failure keeps its streak's start:
// (*failing)[o] is where it stopped (chain.size(): still failing), *since[o]
// the run it reached.
bool HistoryCore::failingIn(const std::vector<int64_t>& objects, const std::vector<ChainRun>& chain, size_t from,
                            const std::string& part, const std::string& branch, std::vector<size_t>* failing,
                            std::vector<int64_t*> since) {
  // The chain's attempts by their ids (read from the store as integers, so
  // written into the statement): the key's seeks reach only their rows,
  // never those of other branches' attempts between them.
  std::unordered_map<int64_t, size_t> place;  // attempt: its run's index in the chain
  std::string attempts;
  for (size_t i = from; i < chain.size(); ++i) {
    place.emplace(chain[i].attempt, i);
    attempts += (i == from ? "" : ",") + std::to_string(chain[i].attempt);
  }
  const std::string start = db_->schema() >= 3 ? "since" : "0";
  // object: in each run of the chain 0 (did not fail), -1 (failed) or the
  // run the streak began in
  std::unordered_map<int64_t, std::vector<int64_t>> failed;
  const bool read = inLists(
      "SELECT object, attempt, status, " + start + " FROM results WHERE attempt IN (" + attempts +
          ") AND object IN (?LIST)",
      1, objects, [](HistoryQuery&) {},
      [&](HistoryQuery& q) {
        const auto at = place.find(q.integer(1));
        if (at == place.end()) return true;  // an attempt of another part, branch or project
        const int64_t run = chain[at->second].run;
        if (!integerIn(q, 2, StatusNotExecuted, StatusFailed))
          return damaged("a result of " + runName(run) + " has status " + q.bytes(2));
        if (!integerIn(q, 3, 0, run)) return damaged("a failure of " + runName(run) + " began in run " + q.bytes(3));
        std::vector<int64_t>& row = failed[q.integer(0)];
        row.resize(chain.size(), 0);
        if (q.integer(2) == StatusFailed) row[at->second] = q.integer(3) > 0 ? q.integer(3) : -1;
        return true;
      });
  failing->assign(objects.size(), from);
  int64_t oldest = -1;  // the branch's oldest run of the part, read once where needed
  for (size_t o = 0; o < objects.size() && read; ++o) {
    const std::vector<int64_t>& row = failed[objects[o]];
    size_t& at = (*failing)[o];
    for (; at < row.size() && row[at] != 0; ++at) {
      *since[o] = chain[at].run;
      if (row[at] < 0) continue;
      // A start older than the runs read may be one --keep dropped: the
      // streak then reaches the oldest run left.
      if (row[at] < chain.back().run && oldest < 0 && !chainEnd(part, branch, INT64_MAX, false, &oldest))
        return false;
      *since[o] = std::max(row[at], oldest);
      break;
    }
  }
  return read;
}

// The newest (else the oldest) run of the branch below run `below` that
// holds the part; 0 for none.
bool HistoryCore::chainEnd(const std::string& part, const std::string& branch, int64_t below, bool newest,
                           int64_t* run) {
  auto q = query(std::string("SELECT r.id FROM runs r WHERE r.project = ?1 AND r.branch = ?2 AND r.id < ?3"
                             " AND EXISTS(SELECT 1 FROM attempts a WHERE a.run = r.id AND a.part = ?4)"
                             " ORDER BY r.id") +
                 (newest ? " DESC" : "") + " LIMIT 1");
  q->bindText(2, branch);
  q->bind(3, below);
  q->bindText(4, part);
  const HistoryQuery::Step step = q->step();
  if (step == HistoryQuery::Failed) return fail();
  *run = step == HistoryQuery::Row ? q->integer(0) : 0;
  return true;
}

bool HistoryCore::failingSince(const std::string& part, const std::vector<std::string>& keys, int64_t last,
                               const std::string& branch, std::vector<int64_t>* since) {
  ReadScope scope(*db_);
  std::vector<int64_t> ids;
  return objectIds(part, keys, &ids) && streakStarts(part, ids, last, branch, since);
}

// The run where each object's (id, 0 for none) failing streak up to run
// last began, 0 where it did not fail there.
bool HistoryCore::streakStarts(const std::string& part, const std::vector<int64_t>& ids, int64_t last,
                               const std::string& branch, std::vector<int64_t>* since) {
  since->assign(ids.size(), 0);
  // Objects still failing at the end of the chain read so far, and the
  // chain, read only as far as the longest streak reaches.
  std::vector<size_t> open;
  for (size_t k = 0; k < ids.size(); ++k)
    if (ids[k] != 0) open.push_back(k);
  std::vector<ChainRun> chain;
  int64_t below = last;
  bool ended = false;
  for (size_t size = kFirstChain; !open.empty() && !ended; size *= 4) {
    const size_t from = chain.size();
    if (!chainRuns(part, branch, last, size, &below, &chain, &ended)) return false;
    if (chain.size() == from) continue;  // only runs without the part
    std::vector<int64_t> objects;
    std::vector<int64_t*> reached;
    for (const size_t k : open) {
      objects.push_back(ids[k]);
      reached.push_back(&(*since)[k]);
    }
    std::vector<size_t> failing;
    if (!failingIn(objects, chain, from, part, branch, &failing, reached)) return false;
    std::vector<size_t> still;
    for (size_t o = 0; o < open.size(); ++o)
      if (failing[o] == chain.size()) still.push_back(open[o]);
    open.swap(still);
  }
  return true;
}

bool HistoryCore::projects(std::vector<std::string>* names) {
  names->clear();
  ReadScope scope(*db_);
  auto q = db_->query("SELECT DISTINCT project FROM runs ORDER BY project");
  HistoryQuery::Step step;
  while ((step = q->step()) == HistoryQuery::Row) names->push_back(q->bytes(0));
  return step == HistoryQuery::Done || fail();
}

bool HistoryCore::readAttempts(HistoryQuery& rows, std::vector<StoredAttempt>* attempts,
                               std::vector<AttemptRow>* rowsRead) {
  HistoryQuery::Step step;
  while ((step = rows.step()) == HistoryQuery::Row) {
    const int64_t run = rows.integer(1);
    if (!integerIn(rows, 0, 1, INT64_MAX) || !integerIn(rows, 1, 1, INT64_MAX))
      return damaged("an attempt id out of range: " + rows.bytes(0));
    StoredAttempt attempt;
    attempt.runId = run;
    NewRun& r = attempt.run;
    r.info.id = run;
    r.info.key = rows.bytes(2);
    r.info.branch = rows.bytes(3);
    r.part = rows.bytes(4);
    r.content = rows.bytes(5);
    r.info.generated = rows.bytes(6);
    r.info.label = rows.bytes(7);
    if (!readTotals(rows, 8, run, &r.info.totals)) return false;
    if (!isCount(rows, 12)) return damaged("the object count of " + runName(run) + " is out of range");
    rowsRead->push_back({rows.integer(0), run, rows.integer(12), rows.bytes(13)});
    attempts->push_back(std::move(attempt));
  }
  return step == HistoryQuery::Done || fail();
}

bool HistoryCore::attempts(int64_t after, size_t count, std::vector<StoredAttempt>* attempts, int64_t* next) {
  attempts->clear();
  *next = after;
  ReadScope scope(*db_);
  auto q = query(
      "SELECT a.id, a.run, r.key, r.branch, a.part, a.content, a.generated, a.label, a.passed,"
      " a.inconclusive, a.failed, a.total, a.objects, a.members FROM attempts a JOIN runs r ON r.id = a.run"
      " WHERE r.project = ?1 AND a.id > ?2 ORDER BY a.id LIMIT ?3");
  q->bind(2, after);
  q->bind(3, count > 0 && count <= INT64_MAX ? static_cast<int64_t>(count) : INT64_MAX);
  std::vector<AttemptRow> rows;
  if (!readAttempts(*q, attempts, &rows)) return false;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!attemptObjects(rows[i], (*attempts)[i].run.part, &(*attempts)[i].run.objects)) return false;
    *next = rows[i].id;
  }
  return true;
}

// What reads would call damaged is never written.
bool HistoryCore::checkNewRun(const NewRun& run) {
  const VerdictTotals& t = run.info.totals;
  bool counts = t.passed + t.inconclusive + t.failed == t.total;
  for (const int64_t count : {t.passed, t.inconclusive, t.failed, t.total})
    counts = counts && count >= 0 && count <= INT32_MAX;
  if (!counts) {
    error_ = "the run's totals are no counts of a report";
    return false;
  }
  bool shortKeys = true;
  for (const std::string* name :
       std::initializer_list<const std::string*>{&project_, &run.info.key, &run.info.branch, &run.part, &run.content})
    shortKeys = shortKeys && name->size() <= kLongestKey;
  bool statuses = true;
  for (const RunObject& object : run.objects) {
    shortKeys = shortKeys && object.key.size() <= kLongestKey;
    statuses = statuses && object.status <= StatusAbsent;
  }
  if (!shortKeys || !statuses) {
    error_ = !statuses ? "an object's status is none of ObjectStatus"
                       : "a key or content longer than " + std::to_string(kLongestKey) + " bytes";
    return false;
  }
  return true;
}

bool HistoryCore::record(const NewRun& run, int64_t keep, RecordedRun* recorded) {
  if (!checkNewRun(run)) return false;
  int64_t schema = 0;
  if (!db_->beginWrite(project_, &schema)) return fail();
  if (schema != kHistorySchema) {
    error_ = kSchemaChanged;
    db_->rollback();
    return false;
  }
  const bool written = addAttempt(run, recorded) && (keep <= 0 || dropOldRuns(run.info.branch, keep)) &&
                       (db_->commit() || fail());
  if (!written) db_->rollback();
  return written;
}

// The run of the report's key, else a new run; the attempt's number.
bool HistoryCore::runForAttempt(const NewRun& run, RecordedRun* recorded) {
  *recorded = RecordedRun();
  if (!run.info.key.empty()) {
    auto same = query(
        "SELECT id, (SELECT count(*) FROM attempts WHERE run = runs.id AND part = ?3) FROM runs"
        " WHERE project = ?1 AND key = ?2 AND key <> ''");
    same->bindText(2, run.info.key);
    same->bindText(3, run.part);
    const HistoryQuery::Step step = same->step();
    if (step == HistoryQuery::Failed) return fail();
    if (step == HistoryQuery::Row) {
      if (!integerIn(*same, 0, 1, INT64_MAX)) return damaged("a run id out of range: " + same->bytes(0));
      *recorded = {same->integer(0), same->integer(1) + 1};
      return true;
    }
  }
  std::vector<int64_t> id;
  if (!db_->newIds("runs", 1, &id)) return fail();
  *recorded = {id[0], 1};
  return db_->insert({"runs", {"id", "project", "branch", "key"}, 1,
                      [&](size_t, std::vector<SqlValue>* v) {
                        *v = {SqlValue::of(id[0]), SqlValue::text(project_), SqlValue::text(run.info.branch),
                              SqlValue::text(run.info.key)};
                      }}) ||
         fail();
}

// The ids of the report's objects in its order (a key named again counts
// once), new objects added; and the objects that did not pass.
bool HistoryCore::addObjects(const NewRun& run, std::vector<int64_t>* members,
                             std::vector<std::pair<const RunObject*, int64_t>>* failures) {
  std::unordered_map<std::string, int64_t> known;  // key: id, 0 for one to add
  auto all = query("SELECT id, key FROM objects WHERE project = ?1 AND part = ?2");
  all->bindText(2, run.part);
  HistoryQuery::Step step;
  while ((step = all->step()) == HistoryQuery::Row) {
    if (!integerIn(*all, 0, 1, INT64_MAX)) return damaged("an object id out of range: " + all->bytes(0));
    known.emplace(all->bytes(1), all->integer(0));
  }
  if (step == HistoryQuery::Failed) return fail();
  std::vector<const RunObject*> fresh;
  for (const RunObject& object : run.objects)
    if (object.status != StatusAbsent && known.emplace(object.key, 0).second) fresh.push_back(&object);
  std::vector<int64_t> ids;
  if (!db_->newIds("objects", fresh.size(), &ids)) return fail();
  for (size_t i = 0; i < fresh.size(); ++i) known[fresh[i]->key] = ids[i];
  const TableRows rows = {"objects", {"id", "project", "part", "key", "path"}, fresh.size(),
                          [&](size_t i, std::vector<SqlValue>* v) {
                            *v = {SqlValue::of(ids[i]), SqlValue::text(project_), SqlValue::text(run.part),
                                  SqlValue::blob(fresh[i]->key), SqlValue::text(fresh[i]->path)};
                          }};
  if (!fresh.empty() && !db_->insert(rows)) return fail();
  for (const RunObject& object : run.objects) {
    if (object.status == StatusAbsent) continue;
    int64_t& id = known[object.key];
    if (id <= 0) continue;  // named before in this report
    members->push_back(id);
    if (object.status != StatusPassed) failures->emplace_back(&object, id);
    id = -id;
  }
  return true;
}

bool HistoryCore::insertAttempt(const NewRun& run, int64_t runId, const std::vector<int64_t>& members,
                                int64_t* attemptId) {
  std::vector<int64_t> id;
  if (!db_->newIds("attempts", 1, &id)) return fail();
  *attemptId = id[0];
  const std::string packed = encodeMembers(members);
  const VerdictTotals& t = run.info.totals;
  const TableRows rows = {
      "attempts",
      {"id", "run", "part", "content", "generated", "label", "passed", "inconclusive", "failed", "total",
       "objects", "members"},
      1,
      [&](size_t, std::vector<SqlValue>* v) {
        *v = {SqlValue::of(id[0]), SqlValue::of(runId), SqlValue::text(run.part), SqlValue::blob(run.content),
              SqlValue::text(run.info.generated), SqlValue::text(run.info.label), SqlValue::of(t.passed),
              SqlValue::of(t.inconclusive), SqlValue::of(t.failed), SqlValue::of(t.total),
              SqlValue::of(static_cast<int64_t>(members.size())), SqlValue::blob(packed)};
      }};
  return db_->insert(rows) || fail();
}

bool HistoryCore::addAttempt(const NewRun& run, RecordedRun* recorded) {
  std::vector<int64_t> members;
  std::vector<std::pair<const RunObject*, int64_t>> failures;
  std::vector<int64_t> since;
  int64_t attemptId = 0;
  if (!runForAttempt(run, recorded) || !addObjects(run, &members, &failures) ||
      !newStreaks(run, recorded->run, failures, &since) ||
      !insertAttempt(run, recorded->run, members, &attemptId) || !forgetLaterStreaks(run, recorded->run))
    return false;
  const TableRows rows = {"results", {"attempt", "object", "status", "checks", "since"}, failures.size(),
                          [&](size_t i, std::vector<SqlValue>* v) {
                            *v = {SqlValue::of(attemptId), SqlValue::of(failures[i].second),
                                  SqlValue::of(failures[i].first->status),
                                  SqlValue::text(failures[i].first->checks), SqlValue::of(since[i])};
                          }};
  return failures.empty() || db_->insert(rows) || fail();
}

// The run each failure's streak began in: that of the branch's run of the
// part before this one where the object failed there too, else this run.
bool HistoryCore::newStreaks(const NewRun& run, int64_t runId,
                             const std::vector<std::pair<const RunObject*, int64_t>>& failures,
                             std::vector<int64_t>* since) {
  since->assign(failures.size(), 0);
  std::vector<int64_t> ids;
  for (const auto& failure : failures) ids.push_back(failure.first->status == StatusFailed ? failure.second : 0);
  int64_t before = 0;
  std::vector<int64_t> going(failures.size(), 0);
  if (!chainEnd(run.part, run.info.branch, runId, true, &before) ||
      (before > 0 && !streakStarts(run.part, ids, before, run.info.branch, &going)))
    return false;
  for (size_t i = 0; i < failures.size(); ++i)
    if (ids[i] != 0) (*since)[i] = going[i] != 0 ? going[i] : runId;
  return true;
}

// An attempt into a run older than the branch's newest changes the
// streaks of the runs after it: theirs are walked again when read.
bool HistoryCore::forgetLaterStreaks(const NewRun& run, int64_t runId) {
  auto later = query(
      "SELECT a.id FROM runs r JOIN attempts a ON a.run = r.id"
      " WHERE r.project = ?1 AND r.branch = ?2 AND r.id > ?3 AND a.part = ?4");
  later->bindText(2, run.info.branch);
  later->bind(3, runId);
  later->bindText(4, run.part);
  std::vector<int64_t> attempts;
  HistoryQuery::Step step;
  while ((step = later->step()) == HistoryQuery::Row) attempts.push_back(later->integer(0));
  if (step == HistoryQuery::Failed) return fail();
  return inLists("UPDATE results SET since = 0 WHERE since <> 0 AND attempt IN (?LIST)", 1, attempts,
                 [](HistoryQuery&) {}, [](HistoryQuery&) { return true; });
}

bool HistoryCore::dropOldRuns(const std::string& branch, int64_t keep) {
  auto cut = query("SELECT id FROM runs WHERE project = ?1 AND branch = ?2 ORDER BY id DESC LIMIT 1 OFFSET ?3");
  cut->bindText(2, branch);
  cut->bind(3, keep - 1);
  const HistoryQuery::Step step = cut->step();
  if (step != HistoryQuery::Row) return step == HistoryQuery::Done || fail();
  const int64_t oldestKept = cut->integer(0);
  // First the parts of the dropped runs (the only rows these give): only
  // objects of those parts may be held by no run left.
  const std::string dropped = "SELECT id FROM runs WHERE project = ?1 AND branch = ?2 AND id < ?3";
  const std::string statements[] = {
      "SELECT DISTINCT part FROM attempts WHERE run IN (" + dropped + ")",
      "DELETE FROM results WHERE attempt IN (SELECT id FROM attempts WHERE run IN (" + dropped + "))",
      "DELETE FROM attempts WHERE run IN (" + dropped + ")",
      "DELETE FROM runs WHERE id IN (" + dropped + ")",
  };
  std::vector<std::string> parts;
  for (const std::string& sql : statements) {
    auto q = query(sql);
    q->bindText(2, branch);
    q->bind(3, oldestKept);
    HistoryQuery::Step each;
    while ((each = q->step()) == HistoryQuery::Row) parts.push_back(q->bytes(0));
    if (each == HistoryQuery::Failed) return fail();
  }
  for (const std::string& part : parts)
    if (!dropUnheldObjects(part)) return false;
  return true;
}

// Marks the objects (ids, ascending) that an attempt of the part holds:
// every list is read, each of its ids found among the objects (mostly
// right after the id before).
bool HistoryCore::heldObjects(const std::string& part, const std::vector<int64_t>& ids,
                              std::vector<uint8_t>* held) {
  auto q = query(
      "SELECT a.run, a.objects, a.members FROM attempts a JOIN runs r ON r.id = a.run"
      " WHERE r.project = ?1 AND a.part = ?2");
  q->bindText(2, part);
  HistoryQuery::Step step;
  while ((step = q->step()) == HistoryQuery::Row) {
    const int64_t run = q->integer(0);
    if (!isCount(*q, 1)) return damaged("the object count of " + runName(run) + " is out of range");
    MemberReader reader(q->bytes(2), q->integer(1));
    size_t at = 0;
    int64_t id;
    while (reader.next(&id)) {
      if (at + 1 < ids.size() && ids[at + 1] == id) {
        ++at;
      } else {
        const auto found = std::lower_bound(ids.begin(), ids.end(), id);
        if (found == ids.end() || *found != id) return damagedMembers(run, "hold an id no object has");
        at = static_cast<size_t>(found - ids.begin());
      }
      (*held)[at] = 1;
    }
    if (reader.fault()) return damagedMembers(run, reader.fault());
    if (reader.count() != q->integer(1)) return damagedMembers(run, "hold fewer ids than its report had objects");
  }
  return step == HistoryQuery::Done || fail();
}

bool HistoryCore::dropUnheldObjects(const std::string& part) {
  std::vector<int64_t> ids;
  auto all = query("SELECT id FROM objects WHERE project = ?1 AND part = ?2 ORDER BY id");
  all->bindText(2, part);
  HistoryQuery::Step step;
  while ((step = all->step()) == HistoryQuery::Row) {
    if (!integerIn(*all, 0, 1, INT64_MAX)) return damaged("an object id out of range: " + all->bytes(0));
    ids.push_back(all->integer(0));
  }
  if (step == HistoryQuery::Failed) return fail();
  std::vector<uint8_t> held(ids.size(), 0);
  if (!heldObjects(part, ids, &held)) return false;
  std::vector<int64_t> unheld;
  for (size_t i = 0; i < ids.size(); ++i)
    if (!held[i]) unheld.push_back(ids[i]);
  for (size_t from = 0; from < unheld.size(); from += kListed) {
    const size_t n = std::min(kListed, unheld.size() - from);
    auto drop = db_->query("DELETE FROM objects WHERE id IN (" + placeholders(1, n) + ")");
    for (size_t i = 0; i < n; ++i) drop->bind(static_cast<int>(i) + 1, unheld[from + i]);
    if (!done(*drop)) return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<HistoryStore> makeHistoryStore(std::unique_ptr<HistoryDatabase> database,
                                               const std::string& project) {
  return std::make_unique<HistoryCore>(std::move(database), project);
}
