// The SQLite back end of the history: one file, schema version 2.
//
//   runs(id, key)                                  a CI run, its key ("4711", or '' for none)
//   attempts(id, run, content, generated, label, passed, inconclusive, failed, total,
//            objects, members, sum)                every report recorded; a run shows its newest
//   objects(id, key UNIQUE, path, sum)             each object once, from its first attempt on
//   results(attempt, object, status, checks, sum)  only what did not pass
//
// members: the ids of the attempt's objects in report order (member_list.h),
// objects: how many there are. An object of the attempt without a result
// row passed. sum: of a row's long values (see kSummedBytes), else null.
// application_id marks the file as a history, user_version its schema.
//
// Nothing read from the file is trusted: every value is checked before it
// counts, sizes or stops anything, ids are looked up and never index or
// size memory, and a members list is read no further than its count. A
// value out of bounds fails the call with "damaged: ...".
//
// The file keeps SQLite's rollback journal, not WAL: when record returns,
// the run is in the file itself (CI caches that file alone), and a write
// that finds the disk full is undone from the journal. Readers and writers
// wait for each other (busy timeout); a store opened for reading holds its
// read transaction until its end, so it sees one state of the history.
// record checks the file (PRAGMA quick_check and the sums) in its write
// transaction before it writes anything, and gives the pages of dropped
// runs back (auto_vacuum INCREMENTAL).
#include "export/history/history_store.h"

#include "export/history/member_list.h"
#include "support/output_file.h"

#include <sqlite3.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

const int kApplicationId = 0x76656c64;  // "veld"
const int kBusyMilliseconds = 120000;   // how long one waits for another
const int64_t kSchema1 = 1;

// kMigrations[v] takes a file from schema v to v + 1: a new schema adds a
// step and never edits an earlier one, so every older file can be brought
// up to date. value_sum and the schema1_ functions are SqliteHistory's.
const char* const kMigrations[] = {
    "CREATE TABLE runs(id INTEGER PRIMARY KEY, content BLOB NOT NULL UNIQUE,"
    " generated TEXT NOT NULL, label TEXT NOT NULL, passed INTEGER NOT NULL,"
    " inconclusive INTEGER NOT NULL, failed INTEGER NOT NULL, total INTEGER NOT NULL,"
    " members BLOB NOT NULL);"
    "CREATE TABLE objects(id INTEGER PRIMARY KEY, key BLOB NOT NULL UNIQUE, path TEXT NOT NULL);"
    "CREATE TABLE results(run INTEGER NOT NULL, object INTEGER NOT NULL,"
    " status INTEGER NOT NULL, checks TEXT NOT NULL, PRIMARY KEY(run, object)) WITHOUT ROWID;"
    "CREATE INDEX results_by_object ON results(object, run);",

    // Runs with attempts: each schema-1 run is a run without a key and its
    // one attempt of the same number; checks get the tab before their
    // counts; rows with long values get their sum.
    "ALTER TABLE runs RENAME TO runs_schema1;"
    "CREATE TABLE runs(id INTEGER PRIMARY KEY, key TEXT NOT NULL);"
    "CREATE UNIQUE INDEX runs_by_key ON runs(key) WHERE key <> '';"
    "CREATE TABLE attempts(id INTEGER PRIMARY KEY, run INTEGER NOT NULL, content BLOB NOT NULL,"
    " generated TEXT NOT NULL, label TEXT NOT NULL, passed INTEGER NOT NULL,"
    " inconclusive INTEGER NOT NULL, failed INTEGER NOT NULL, total INTEGER NOT NULL,"
    " objects INTEGER NOT NULL, members BLOB NOT NULL, sum INTEGER);"
    "CREATE INDEX attempts_by_run ON attempts(run, id);"
    "CREATE INDEX attempts_by_content ON attempts(content, run);"
    "CREATE INDEX attempts_summed ON attempts(sum) WHERE sum IS NOT NULL;"
    "INSERT INTO runs(id, key) SELECT id, '' FROM runs_schema1;"
    "INSERT INTO attempts SELECT id, id, content, generated, label, passed, inconclusive, failed,"
    " total, schema1_count(id, members), schema1_members(id, members), NULL FROM runs_schema1;"
    "UPDATE attempts SET sum = value_sum(content, generated, label, members);"
    "DROP TABLE runs_schema1;"
    "ALTER TABLE results RENAME COLUMN run TO attempt;"
    "ALTER TABLE results ADD COLUMN sum INTEGER;"
    "UPDATE results SET checks = schema1_checks(checks) WHERE status = 2;"
    "UPDATE results SET sum = value_sum(checks);"
    "CREATE INDEX results_summed ON results(sum) WHERE sum IS NOT NULL;"
    "ALTER TABLE objects ADD COLUMN sum INTEGER;"
    "UPDATE objects SET sum = value_sum(key, path);"
    "CREATE INDEX objects_summed ON objects(sum) WHERE sum IS NOT NULL;",
};
const int64_t kSchemaVersion = sizeof kMigrations / sizeof kMigrations[0];

// Values longer than this in one row may spill into overflow pages, the
// last of which SQLite's check cannot judge (a lost one reads as zeros):
// such a row keeps a sum of its values (value_sum), which record checks.
const int64_t kSummedBytes = 1024;

// Keys are looked up through indexes: kept short, their entries stay
// inside the index's pages, where SQLite's check sees all of them.
const size_t kLongestKey = 256;

// The rows with long values whose sum does not match them, one query per
// table (SqliteHistory::checkSums).
const char* const kSummed[][2] = {
    {"attempts",
     "SELECT 1 FROM attempts WHERE sum IS NOT NULL"
     " AND sum IS NOT value_sum(content, generated, label, members) LIMIT 1"},
    {"results", "SELECT 1 FROM results WHERE sum IS NOT NULL AND sum IS NOT value_sum(checks) LIMIT 1"},
    {"objects", "SELECT 1 FROM objects WHERE sum IS NOT NULL AND sum IS NOT value_sum(key, path) LIMIT 1"},
};

// A run as every run query selects it: its last attempt's values and the
// number of its attempts (SqliteHistory::takeRun reads them).
const std::string kRunQuery =
    "SELECT r.id, r.key, a.id, a.generated, a.label, a.passed, a.inconclusive, a.failed, a.total,"
    " (SELECT count(*) FROM attempts WHERE run = r.id) FROM runs r LEFT JOIN attempts a"
    " ON a.id = (SELECT max(id) FROM attempts WHERE run = r.id) ";

// Owns a prepared statement; columns and binds by 0-based and 1-based index
// as SQLite counts them.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  Statement(sqlite3* db, const std::string& sql) : Statement(db, sql.c_str()) {}
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void bind(int i, int64_t value) { sqlite3_bind_int64(stmt_, i, value); }
  void bind(int i, const std::string& text) {
    sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  }
  void bindBlob(int i, const std::string& bytes) {
    sqlite3_bind_blob(stmt_, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
  }
  // SQLITE_ROW, SQLITE_DONE or an error.
  int step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
  // Ready for the next binds.
  void reset() { sqlite3_reset(stmt_); }
  bool isNull(int column) { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  int64_t integer(int column) { return sqlite3_column_int64(stmt_, column); }
  // An integer from low to high, stored as one (not as text or a real).
  bool integerIn(int column, int64_t low, int64_t high) {
    const int64_t value = integer(column);
    return sqlite3_column_type(stmt_, column) == SQLITE_INTEGER && value >= low && value <= high;
  }
  std::string bytes(int column) {
    const void* data = sqlite3_column_blob(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    return data ? std::string(static_cast<const char*>(data), size) : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// The counts of the report: 32-bit, as the report's own counters.
bool isCount(Statement& row, int column) { return row.integerIn(column, 0, INT32_MAX); }

// A schema-1 check line with its counts after a space: "x == 1 (failed 1 of
// 3 executions)", "(2 executions)", "(1 multiple exits, 0 illegal exits)";
// where they start, else npos.
size_t schema1Counts(const std::string& line) {
  const size_t open = line.rfind(" (");
  if (open == std::string::npos || line.back() != ')') return std::string::npos;
  const char* at = line.c_str() + open + 2;
  // Consumes the word, or the digits for "#"; false when they are not there.
  auto take = [&at](const char* word) {
    if (strcmp(word, "#") == 0) {
      if (*at < '0' || *at > '9') return false;
      while (*at >= '0' && *at <= '9') ++at;
      return true;
    }
    const size_t size = strlen(word);
    if (strncmp(at, word, size) != 0) return false;
    at += size;
    return true;
  };
  static const char* const kForms[][6] = {
      {"failed ", "#", " of ", "#", " executions)", nullptr},
      {"#", " executions)", nullptr},
      {"#", " multiple exits, ", "#", " illegal exits)", nullptr},
  };
  for (const auto& form : kForms) {
    at = line.c_str() + open + 2;
    bool matches = true;
    for (const char* const* word = form; *word && matches; ++word) matches = take(*word);
    if (matches && *at == '\0') return open;
  }
  return std::string::npos;
}

// value_sum(values...): null for values of kSummedBytes or less together;
// else the CRC-32 of each value's length and bytes.
void valueSum(sqlite3_context* context, int count, sqlite3_value** values) {
  int64_t size = 0;
  for (int i = 0; i < count; ++i) size += sqlite3_value_bytes(values[i]);
  if (size <= kSummedBytes) return;
  uLong sum = crc32(0, nullptr, 0);
  for (int i = 0; i < count; ++i) {
    const auto* bytes = static_cast<const Bytef*>(sqlite3_value_blob(values[i]));
    const uint64_t length = static_cast<uint64_t>(sqlite3_value_bytes(values[i]));
    sum = crc32(sum, reinterpret_cast<const Bytef*>(&length), sizeof length);
    if (bytes) sum = crc32(sum, bytes, static_cast<uInt>(length));
  }
  sqlite3_result_int64(context, static_cast<int64_t>(sum));
}

// Holds a read transaction over one call where none is open (a store opened
// for writing holds none between calls), so that the call's queries see
// one state of the history.
class ReadScope {
 public:
  explicit ReadScope(sqlite3* db) : db_(sqlite3_get_autocommit(db) ? db : nullptr) {
    if (db_) sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
  }
  ~ReadScope() {
    if (db_) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  }
  ReadScope(const ReadScope&) = delete;
  ReadScope& operator=(const ReadScope&) = delete;

 private:
  sqlite3* db_;
};

// An attempt as the reads of its objects need it.
struct AttemptRow {
  int64_t id = 0;
  int64_t run = 0;
  int64_t objects = 0;
  std::string members;
};

class SqliteHistory : public HistoryStore {
 public:
  explicit SqliteHistory(sqlite3* db) : db_(db) {}
  ~SqliteHistory() override { sqlite3_close(db_); }

  bool record(const NewRun& run, int64_t keep, RecordedRun* recorded) override;
  bool runWithKey(const std::string& key, RunInfo* run, bool* found) override;
  bool runWithId(int64_t id, RunInfo* run, bool* found) override;
  bool runWithContent(const std::string& content, RunInfo* run, bool* found) override;
  bool holdsUntaggedContent(bool* holds) override;
  bool runsBefore(int64_t before, size_t count, std::vector<RunInfo>* runs) override;
  bool runObjects(int64_t runId, std::vector<RunObject>* objects) override;
  bool statuses(const std::vector<std::string>& keys, const std::vector<int64_t>& runIds,
                std::vector<RunStatus>* statuses) override;
  bool failingSince(const std::vector<std::string>& keys, int64_t last,
                    std::vector<int64_t>* since) override;

  // Takes the file for writing: checks its marks, brings its schema up to
  // date, leaves WAL for the rollback journal and makes it shrinkable.
  bool prepareWriting();
  // Takes the file for reading: checks its marks and opens the read
  // transaction that lasts until the store's end. An older schema is
  // brought up to date in a copy in memory, the file left as it is.
  bool prepareReading();

 private:
  // SQLite's own word for a file it finds broken is a damaged history too.
  bool fail() {
    const int code = sqlite3_errcode(db_) & 0xff;
    error_ = code == SQLITE_CORRUPT || code == SQLITE_NOTADB ? "damaged: " : "";
    error_ += sqlite3_errmsg(db_);
    return false;
  }
  bool damaged(const std::string& what) {
    error_ = "damaged: " + what;
    return false;
  }
  bool damagedMembers(int64_t run, const char* fault) {
    return damaged("the objects of run " + std::to_string(run) + " " + fault);
  }
  bool exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK || fail(); }
  // Undoes the write transaction; false. A write that failed (a full
  // disk) may leave SQLite's journal to be played back by the next reader:
  // this reads at once, so that the file is as it was when record returns.
  bool rollback() {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    return false;
  }
  bool pragma(const char* name, std::string* value);
  bool pragma(const char* name, int64_t* value);
  bool checkMarks(bool writing, int64_t* version);
  bool quickCheck();
  bool checkSums();
  bool migrate();
  void addFunctions();
  bool countSchema1Objects();
  bool checkOnce(bool* checked);  // quickCheck unless *checked
  bool leaveWal(bool* checked);
  bool makeShrinkable(bool* checked);

  bool queryRun(Statement& query, RunInfo* run, bool* found);
  bool takeRun(Statement& row, RunInfo* run);
  bool lastAttempt(int64_t runId, AttemptRow* attempt);
  bool objectIds(const std::vector<std::string>& keys, std::vector<int64_t>* ids);
  bool addAttempt(const NewRun& run, RecordedRun* recorded);
  bool dropOldRuns(int64_t keep);
  bool dropUnheldObjects();

  static void schema1Count(sqlite3_context* context, int, sqlite3_value** values);
  static void schema1Members(sqlite3_context* context, int, sqlite3_value** values);
  static void schema1Checks(sqlite3_context* context, int, sqlite3_value** values);
  // The ids of a schema-1 list, or false with the result's error set.
  bool schema1Ids(sqlite3_context* context, sqlite3_value** values, std::vector<int64_t>* ids);

  sqlite3* db_;
  int64_t schema1Objects_ = 0;  // the bound of a schema-1 members list
};

bool SqliteHistory::pragma(const char* name, std::string* value) {
  Statement query(db_, std::string("PRAGMA ") + name);
  if (query.step() != SQLITE_ROW) return fail();
  *value = query.bytes(0);
  return true;
}

bool SqliteHistory::pragma(const char* name, int64_t* value) {
  std::string text;
  if (!pragma(name, &text)) return false;
  *value = strtoll(text.c_str(), nullptr, 10);
  return true;
}

// False, with error_, for a file that is not a history of a schema this
// one knows; an empty database is one to be made (for writing).
bool SqliteHistory::checkMarks(bool writing, int64_t* version) {
  int64_t application = 0;
  if (!pragma("application_id", &application) || !pragma("user_version", version)) return false;
  if (application != kApplicationId) {
    Statement tables(db_, "SELECT count(*) FROM sqlite_master");
    if (tables.step() != SQLITE_ROW) return fail();
    if (application != 0 || *version != 0 || tables.integer(0) != 0 || !writing) {
      error_ = "not a history file (an SQLite database of another kind)";
      return false;
    }
  }
  if (*version > kSchemaVersion || *version < 0) {
    error_ = "made by a newer veldora-export (schema " + std::to_string(*version) +
             "; this one knows up to " + std::to_string(kSchemaVersion) + ")";
    return false;
  }
  return true;
}

bool SqliteHistory::checkSums() {
  for (const auto& [table, query] : kSummed) {
    Statement mismatch(db_, query);
    const int rc = mismatch.step();
    if (rc == SQLITE_ROW) return damaged(std::string("a row of ") + table + " does not match its sum");
    if (rc != SQLITE_DONE) return fail();
  }
  return true;
}

bool SqliteHistory::quickCheck() {
  Statement check(db_, "PRAGMA quick_check(1)");
  if (check.step() != SQLITE_ROW) return fail();
  std::string verdict = check.bytes(0);
  if (verdict == "ok") return true;
  // "*** in database main ***\nPage 5: ...": SQLite's first finding.
  const size_t line = verdict.find('\n');
  if (verdict.compare(0, 3, "***") == 0 && line != std::string::npos) verdict.erase(0, line + 1);
  return damaged(verdict.substr(0, verdict.find('\n')));
}

bool SqliteHistory::countSchema1Objects() {
  Statement count(db_, "SELECT count(*) FROM objects");
  if (count.step() != SQLITE_ROW) return fail();
  schema1Objects_ = count.integer(0);
  return true;
}

void SqliteHistory::addFunctions() {
  const int flags = SQLITE_UTF8 | SQLITE_DIRECTONLY;
  sqlite3_create_function(db_, "value_sum", -1, flags | SQLITE_DETERMINISTIC, nullptr, valueSum,
                          nullptr, nullptr);
  sqlite3_create_function(db_, "schema1_count", 2, flags, this, schema1Count, nullptr, nullptr);
  sqlite3_create_function(db_, "schema1_members", 2, flags, this, schema1Members, nullptr, nullptr);
  sqlite3_create_function(db_, "schema1_checks", 1, flags, this, schema1Checks, nullptr, nullptr);
}

bool SqliteHistory::schema1Ids(sqlite3_context* context, sqlite3_value** values,
                               std::vector<int64_t>* ids) {
  const int64_t run = sqlite3_value_int64(values[0]);
  const char* data = static_cast<const char*>(sqlite3_value_blob(values[1]));
  const std::string packed(data ? data : "", data ? sqlite3_value_bytes(values[1]) : 0);
  // Ascending without repeats: never more ids than the history has objects.
  MemberReader reader(packed, schema1Objects_, MemberSchema1Gaps);
  int64_t id;
  while (reader.next(&id)) ids->push_back(id);
  if (!reader.fault()) return true;
  const std::string error = "damaged: the objects of run " + std::to_string(run) + " " + reader.fault();
  sqlite3_result_error(context, error.c_str(), -1);
  return false;
}

void SqliteHistory::schema1Count(sqlite3_context* context, int, sqlite3_value** values) {
  std::vector<int64_t> ids;
  if (static_cast<SqliteHistory*>(sqlite3_user_data(context))->schema1Ids(context, values, &ids))
    sqlite3_result_int64(context, static_cast<int64_t>(ids.size()));
}

void SqliteHistory::schema1Members(sqlite3_context* context, int, sqlite3_value** values) {
  std::vector<int64_t> ids;
  if (!static_cast<SqliteHistory*>(sqlite3_user_data(context))->schema1Ids(context, values, &ids))
    return;
  const std::string packed = encodeMembers(ids);
  sqlite3_result_blob(context, packed.data(), static_cast<int>(packed.size()), SQLITE_TRANSIENT);
}

void SqliteHistory::schema1Checks(sqlite3_context* context, int, sqlite3_value** values) {
  const char* text = reinterpret_cast<const char*>(sqlite3_value_text(values[0]));
  std::string checks = text ? text : "";
  for (size_t start = 0; start <= checks.size();) {
    size_t end = checks.find('\n', start);
    if (end == std::string::npos) end = checks.size();
    const size_t counts = schema1Counts(checks.substr(start, end - start));
    if (counts != std::string::npos) checks[start + counts] = '\t';
    start = end + 1;
  }
  sqlite3_result_text(context, checks.data(), static_cast<int>(checks.size()), SQLITE_TRANSIENT);
}

// In one write transaction, after the file passed its check: another writer
// may have migrated it meanwhile, so the version is read again inside.
bool SqliteHistory::migrate() {
  // Only takes effect while the file has no tables: a new history.
  if (!exec("PRAGMA auto_vacuum = INCREMENTAL") || !exec("BEGIN IMMEDIATE")) return false;
  int64_t version = 0;
  if (!checkMarks(true, &version) || !quickCheck()) return rollback();
  if (version >= kSchema1 && !countSchema1Objects()) return rollback();
  for (int64_t v = version; v < kSchemaVersion; ++v)
    if (!exec(kMigrations[v])) return rollback();
  const std::string marks = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                            "; PRAGMA user_version = " + std::to_string(kSchemaVersion);
  return (exec(marks.c_str()) && exec("COMMIT")) || rollback();
}

// A file in WAL mode (as earlier versions left it) takes the rollback
// journal. That needs the file to itself: while another connection has it
// open, try again within the busy timeout.
bool SqliteHistory::leaveWal(bool* checked) {
  std::string mode;
  if (!pragma("journal_mode", &mode)) return false;
  if (mode != "wal") return true;
  if (!checkOnce(checked)) return false;
  for (int waited = 0;; waited += 50) {
    Statement change(db_, "PRAGMA journal_mode = DELETE");
    if (change.step() == SQLITE_ROW && change.bytes(0) == "delete") return true;
    if (waited >= kBusyMilliseconds) {
      error_ = std::string("cannot leave WAL mode: ") + sqlite3_errmsg(db_);
      return false;
    }
    usleep(50000);
  }
}

// A file made before auto_vacuum was set gets it with one VACUUM.
bool SqliteHistory::makeShrinkable(bool* checked) {
  int64_t mode = 0;
  if (!pragma("auto_vacuum", &mode)) return false;
  if (mode == 2) return true;
  return checkOnce(checked) && exec("PRAGMA auto_vacuum = INCREMENTAL") &&
         (exec("VACUUM") || rollback());
}

bool SqliteHistory::checkOnce(bool* checked) {
  if (*checked) return true;
  ReadScope scope(db_);
  *checked = quickCheck();
  return *checked;
}

bool SqliteHistory::prepareWriting() {
  addFunctions();
  int64_t version = 0;
  // Migrated first: a migration that finds damage is rolled back in
  // whatever journal the file keeps, and leaves it as it was.
  if (!checkMarks(true, &version) || (version < kSchemaVersion && !migrate())) return false;
  // Each step that writes takes only a checked file, checked once.
  bool checked = version < kSchemaVersion;
  return leaveWal(&checked) && makeShrinkable(&checked);
}

bool SqliteHistory::prepareReading() {
  int64_t version = 0;
  // The first read opens the transaction that lasts.
  if (!exec("BEGIN") || !checkMarks(false, &version)) return false;
  if (version == kSchemaVersion) return exec("PRAGMA query_only = 1");
  // An older history in memory, brought up to date there.
  if (!exec("COMMIT")) return false;
  sqlite3* memory = nullptr;
  if (sqlite3_open(":memory:", &memory) != SQLITE_OK) {
    error_ = sqlite3_errmsg(memory);
    sqlite3_close(memory);
    return false;
  }
  sqlite3_backup* copy = sqlite3_backup_init(memory, "main", db_, "main");
  const int rc = copy ? sqlite3_backup_step(copy, -1) : SQLITE_ERROR;
  sqlite3_backup_finish(copy);
  std::swap(db_, memory);
  sqlite3_close(memory);
  if (rc != SQLITE_DONE) return fail();
  addFunctions();
  if (!countSchema1Objects()) return false;
  for (int64_t v = version; v < kSchemaVersion; ++v)
    if (!exec(kMigrations[v])) return false;
  return exec("BEGIN") && exec("PRAGMA query_only = 1");
}

// Reads the run of a kRunQuery row: its values checked.
bool SqliteHistory::takeRun(Statement& row, RunInfo* run) {
  const int64_t id = row.integer(0);
  const std::string name = "run " + std::to_string(id);
  if (!row.integerIn(0, 1, INT64_MAX)) return damaged("a run id out of range: " + std::to_string(id));
  if (row.isNull(2)) return damaged(name + " has no attempt");
  for (int column = 5; column <= 8; ++column)
    if (!isCount(row, column)) return damaged("the totals of " + name + " are out of range");
  if (row.integer(5) + row.integer(6) + row.integer(7) != row.integer(8))
    return damaged("the totals of " + name + " do not add up");
  run->id = id;
  run->key = row.bytes(1);
  run->generated = row.bytes(3);
  run->label = row.bytes(4);
  run->totals = {row.integer(5), row.integer(6), row.integer(7), row.integer(8)};
  run->attempts = row.integer(9);
  return true;
}

bool SqliteHistory::queryRun(Statement& query, RunInfo* run, bool* found) {
  *found = false;
  const int rc = query.step();
  if (rc == SQLITE_DONE) return true;
  if (rc != SQLITE_ROW) return fail();
  *found = true;
  return takeRun(query, run);
}

bool SqliteHistory::runWithKey(const std::string& key, RunInfo* run, bool* found) {
  *found = false;
  if (key.empty()) return true;  // no key: a run of its own
  ReadScope scope(db_);
  Statement query(db_, kRunQuery + "WHERE r.key = ? AND r.key <> ''");
  query.bind(1, key);
  return queryRun(query, run, found);
}

bool SqliteHistory::runWithId(int64_t id, RunInfo* run, bool* found) {
  ReadScope scope(db_);
  Statement query(db_, kRunQuery + "WHERE r.id = ?");
  query.bind(1, id);
  return queryRun(query, run, found);
}

bool SqliteHistory::runWithContent(const std::string& content, RunInfo* run, bool* found) {
  ReadScope scope(db_);
  Statement query(db_, kRunQuery + "WHERE r.id = (SELECT max(run) FROM attempts WHERE content = ?)");
  query.bindBlob(1, content);
  return queryRun(query, run, found);
}

bool SqliteHistory::holdsUntaggedContent(bool* holds) {
  ReadScope scope(db_);
  // Two ranges of the content index: below the tag, and from the tag's
  // last byte raised by one.
  Statement query(db_,
                  "SELECT EXISTS(SELECT 1 FROM attempts WHERE content < ?1)"
                  " OR EXISTS(SELECT 1 FROM attempts WHERE content >= ?2)");
  std::string tag = kDigestTag, above = kDigestTag;
  above.back() = static_cast<char>(above.back() + 1);
  query.bindBlob(1, tag);
  query.bindBlob(2, above);
  if (query.step() != SQLITE_ROW) return fail();
  *holds = query.integer(0) != 0;
  return true;
}

bool SqliteHistory::runsBefore(int64_t before, size_t count, std::vector<RunInfo>* runs) {
  runs->clear();
  ReadScope scope(db_);
  Statement query(db_, kRunQuery + "WHERE r.id < ? ORDER BY r.id DESC LIMIT ?");
  query.bind(1, before > 0 ? before : INT64_MAX);
  query.bind(2, count > 0 && count <= INT64_MAX ? static_cast<int64_t>(count) : -1);
  int rc;
  while ((rc = query.step()) == SQLITE_ROW) {
    runs->emplace_back();
    if (!takeRun(query, &runs->back())) return false;
  }
  if (rc != SQLITE_DONE) return fail();
  std::reverse(runs->begin(), runs->end());
  return true;
}

// The newest attempt of a run, its count checked.
bool SqliteHistory::lastAttempt(int64_t runId, AttemptRow* attempt) {
  Statement query(db_,
                  "SELECT a.id, a.objects, a.members FROM runs r LEFT JOIN attempts a"
                  " ON a.id = (SELECT max(id) FROM attempts WHERE run = r.id) WHERE r.id = ?");
  query.bind(1, runId);
  const int rc = query.step();
  if (rc == SQLITE_DONE) {
    error_ = "no run " + std::to_string(runId);
    return false;
  }
  if (rc != SQLITE_ROW) return fail();
  if (query.isNull(0)) return damaged("run " + std::to_string(runId) + " has no attempt");
  if (!isCount(query, 1)) return damaged("the object count of run " + std::to_string(runId) + " is out of range");
  *attempt = {query.integer(0), runId, query.integer(1), query.bytes(2)};
  return true;
}

bool SqliteHistory::runObjects(int64_t runId, std::vector<RunObject>* objects) {
  ReadScope scope(db_);
  AttemptRow attempt;
  if (!lastAttempt(runId, &attempt)) return false;
  // Each id takes an object of its own, so no more ids than objects.
  {
    Statement count(db_, "SELECT count(*) FROM objects");
    if (count.step() != SQLITE_ROW) return fail();
    if (attempt.objects > count.integer(0))
      return damaged("run " + std::to_string(runId) + " counts more objects than the history has");
  }
  // The ids with their places in the report, sorted by id for one pass
  // over the objects and one over the results.
  std::vector<std::pair<int64_t, uint32_t>> order;
  {
    MemberReader reader(attempt.members, attempt.objects);
    int64_t id;
    while (reader.next(&id)) order.emplace_back(id, static_cast<uint32_t>(order.size()));
    if (reader.fault()) return damagedMembers(runId, reader.fault());
  }
  if (static_cast<int64_t>(order.size()) != attempt.objects)
    return damagedMembers(runId, "hold fewer ids than its report had objects");
  std::sort(order.begin(), order.end());
  for (size_t i = 1; i < order.size(); ++i)
    if (order[i].first == order[i - 1].first) return damagedMembers(runId, "hold an id twice");

  std::vector<RunObject> found(order.size());
  if (!order.empty()) {
    Statement rows(db_, "SELECT id, key, path FROM objects WHERE id >= ? AND id <= ? ORDER BY id");
    rows.bind(1, order.front().first);
    rows.bind(2, order.back().first);
    int rc = SQLITE_ROW;
    for (const auto& [id, place] : order) {
      while ((rc = rows.step()) == SQLITE_ROW && rows.integer(0) < id) {
      }
      if (rc != SQLITE_ROW && rc != SQLITE_DONE) return fail();
      if (rc != SQLITE_ROW || rows.integer(0) != id)
        return damagedMembers(runId, "hold an id no object has");
      found[place].key = rows.bytes(1);
      found[place].path = rows.bytes(2);
    }
  }
  Statement results(db_, "SELECT object, status, checks FROM results WHERE attempt = ? ORDER BY object");
  results.bind(1, attempt.id);
  size_t next = 0;
  int rc;
  while ((rc = results.step()) == SQLITE_ROW) {
    const int64_t object = results.integer(0);
    while (next < order.size() && order[next].first < object) ++next;
    if (next == order.size() || order[next].first != object)
      return damaged("a result of run " + std::to_string(runId) + " names an object not in it");
    if (!results.integerIn(1, StatusNotExecuted, StatusFailed))
      return damaged("a result of run " + std::to_string(runId) + " has status " + results.bytes(1));
    RunObject& o = found[order[next].second];
    o.status = static_cast<ObjectStatus>(results.integer(1));
    o.checks = results.bytes(2);
  }
  if (rc != SQLITE_DONE) return fail();
  objects->swap(found);
  return true;
}

// The object id of each key, 0 for an unknown key.
bool SqliteHistory::objectIds(const std::vector<std::string>& keys, std::vector<int64_t>* ids) {
  ids->assign(keys.size(), 0);
  Statement find(db_, "SELECT id FROM objects WHERE key = ?");
  for (size_t k = 0; k < keys.size(); ++k) {
    find.bindBlob(1, keys[k]);
    const int rc = find.step();
    if (rc == SQLITE_ROW) {
      if (!find.integerIn(0, 1, INT64_MAX)) return damaged("an object id out of range: " + find.bytes(0));
      (*ids)[k] = find.integer(0);
    } else if (rc != SQLITE_DONE) {
      return fail();
    }
    find.reset();
  }
  return true;
}

bool SqliteHistory::statuses(const std::vector<std::string>& keys,
                             const std::vector<int64_t>& runIds,
                             std::vector<RunStatus>* statuses) {
  ReadScope scope(db_);
  // The distinct objects of the keys, each with a slot.
  std::vector<int64_t> ids;
  if (!objectIds(keys, &ids)) return false;
  std::unordered_map<int64_t, size_t> slotOf;
  for (const int64_t id : ids)
    if (id > 0) slotOf.emplace(id, slotOf.size());
  const size_t slots = slotOf.size();

  // The attempts of the runs, each run's oldest first, and the status of
  // each slot in each attempt: passed where its members hold it.
  struct Attempt {
    size_t run;  // index into runIds
    int64_t id;
  };
  std::vector<Attempt> attempts;
  std::vector<uint8_t> cells;  // attempts x slots
  if (slots > 0) {
    Statement query(db_, "SELECT id, objects, members FROM attempts WHERE run = ? ORDER BY id");
    for (size_t r = 0; r < runIds.size(); ++r) {
      query.bind(1, runIds[r]);
      int rc;
      while ((rc = query.step()) == SQLITE_ROW) {
        if (!isCount(query, 1))
          return damaged("the object count of run " + std::to_string(runIds[r]) + " is out of range");
        attempts.push_back({r, query.integer(0)});
        cells.resize(cells.size() + slots, StatusAbsent);
        uint8_t* row = &cells[cells.size() - slots];
        MemberReader reader(query.bytes(2), query.integer(1));
        int64_t id;
        while (reader.next(&id)) {
          const auto slot = slotOf.find(id);
          if (slot != slotOf.end()) row[slot->second] = StatusPassed;
        }
        if (reader.fault()) return damagedMembers(runIds[r], reader.fault());
        if (reader.count() != query.integer(1))
          return damagedMembers(runIds[r], "hold fewer ids than its report had objects");
      }
      if (rc != SQLITE_DONE) return fail();
      query.reset();
    }
  }
  // The result rows of each object over the range of those attempts.
  if (!attempts.empty()) {
    std::vector<std::pair<int64_t, size_t>> byId;  // attempt id, index into attempts
    for (size_t a = 0; a < attempts.size(); ++a) byId.emplace_back(attempts[a].id, a);
    std::sort(byId.begin(), byId.end());
    Statement rows(db_, "SELECT attempt, status FROM results WHERE object = ? AND attempt >= ? AND attempt <= ?");
    for (const auto& [object, slot] : slotOf) {
      rows.bind(1, object);
      rows.bind(2, byId.front().first);
      rows.bind(3, byId.back().first);
      int rc;
      while ((rc = rows.step()) == SQLITE_ROW) {
        if (!rows.integerIn(1, StatusNotExecuted, StatusFailed))
          return damaged("a result has status " + rows.bytes(1));
        const int64_t attempt = rows.integer(0);
        auto at = std::lower_bound(byId.begin(), byId.end(), std::make_pair(attempt, size_t{0}));
        for (; at != byId.end() && at->first == attempt; ++at)
          cells[at->second * slots + slot] = static_cast<uint8_t>(rows.integer(1));
      }
      if (rc != SQLITE_DONE) return fail();
      rows.reset();
    }
  }
  // Each run: its last attempt's status and the bits of all of them.
  const size_t width = runIds.size();
  std::vector<RunStatus> perSlot(slots * width);
  for (size_t a = 0; a < attempts.size(); ++a) {
    for (size_t s = 0; s < slots; ++s) {
      const auto status = static_cast<ObjectStatus>(cells[a * slots + s]);
      RunStatus& cell = perSlot[s * width + attempts[a].run];
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

bool SqliteHistory::failingSince(const std::vector<std::string>& keys, int64_t last,
                                 std::vector<int64_t>* since) {
  ReadScope scope(db_);
  std::vector<int64_t> ids;
  if (!objectIds(keys, &ids)) return false;
  since->assign(keys.size(), 0);
  // The runs from last back, each with its last attempt, read only as far
  // as the longest streak reaches.
  std::vector<std::pair<int64_t, int64_t>> chain;
  bool chainEnded = false;
  Statement previous(db_,
                     "SELECT id, (SELECT max(a.id) FROM attempts a WHERE a.run = r.id) FROM runs r"
                     " WHERE id <= ? ORDER BY id DESC LIMIT 1");
  Statement result(db_, "SELECT status FROM results WHERE attempt = ? AND object = ?");
  for (size_t k = 0; k < keys.size(); ++k) {
    if (ids[k] == 0) continue;
    for (size_t i = 0;; ++i) {
      if (i == chain.size()) {
        if (chainEnded) break;
        previous.bind(1, chain.empty() ? last : chain.back().first - 1);
        const int rc = previous.step();
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) return fail();
        chainEnded = rc == SQLITE_DONE || (chain.empty() && previous.integer(0) != last);
        if (!chainEnded) {
          const int64_t run = previous.integer(0);
          if (!previous.integerIn(0, 1, INT64_MAX))
            return damaged("a run id out of range: " + std::to_string(run));
          if (previous.isNull(1)) return damaged("run " + std::to_string(run) + " has no attempt");
          chain.emplace_back(run, previous.integer(1));
        }
        previous.reset();
        if (chainEnded) break;
      }
      result.bind(1, chain[i].second);
      result.bind(2, ids[k]);
      const int rc = result.step();
      if (rc != SQLITE_ROW && rc != SQLITE_DONE) return fail();
      if (rc == SQLITE_ROW && !result.integerIn(0, StatusNotExecuted, StatusFailed))
        return damaged("a result of run " + std::to_string(chain[i].first) + " has status " +
                       result.bytes(0));
      const bool failed = rc == SQLITE_ROW && result.integer(0) == StatusFailed;
      result.reset();
      if (!failed) break;
      (*since)[k] = chain[i].first;
    }
  }
  return true;
}

bool SqliteHistory::record(const NewRun& run, int64_t keep, RecordedRun* recorded) {
  const VerdictTotals& t = run.info.totals;
  bool counts = t.passed + t.inconclusive + t.failed == t.total;
  for (const int64_t count : {t.passed, t.inconclusive, t.failed, t.total})
    counts = counts && count >= 0 && count <= INT32_MAX;
  if (!counts) {
    error_ = "the run's totals are no counts of a report";
    return false;
  }
  bool shortKeys = run.info.key.size() <= kLongestKey && run.content.size() <= kLongestKey;
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
  if (!exec("BEGIN IMMEDIATE")) return false;
  int64_t version = 0;
  if (!checkMarks(true, &version)) return rollback();
  if (version != kSchemaVersion) {
    error_ = "the history changed its schema while it was open";
    return rollback();
  }
  if (!quickCheck() || !checkSums() || !addAttempt(run, recorded) || (keep > 0 && !dropOldRuns(keep)) ||
      !exec("PRAGMA incremental_vacuum") || !exec("COMMIT"))
    return rollback();
  return true;
}

bool SqliteHistory::addAttempt(const NewRun& run, RecordedRun* recorded) {
  *recorded = RecordedRun();
  if (!run.info.key.empty()) {
    Statement same(db_,
                   "SELECT id, (SELECT count(*) FROM attempts WHERE run = runs.id) FROM runs"
                   " WHERE key = ? AND key <> ''");
    same.bind(1, run.info.key);
    const int rc = same.step();
    if (rc == SQLITE_ROW) {
      if (!same.integerIn(0, 1, INT64_MAX)) return damaged("a run id out of range: " + same.bytes(0));
      *recorded = {same.integer(0), same.integer(1) + 1};
    } else if (rc != SQLITE_DONE) {
      return fail();
    }
  }
  if (recorded->run == 0) {
    Statement insert(db_, "INSERT INTO runs(key) VALUES(?)");
    insert.bind(1, run.info.key);
    if (insert.step() != SQLITE_DONE) return fail();
    *recorded = {sqlite3_last_insert_rowid(db_), 1};
  }

  // Every object the history knows, by key; inRun marks the first time
  // the run names it (a key named again counts once).
  struct Known {
    int64_t id;
    bool inRun;
  };
  std::unordered_map<std::string, Known> known;
  {
    Statement all(db_, "SELECT id, key FROM objects");
    int rc;
    while ((rc = all.step()) == SQLITE_ROW) {
      if (!all.integerIn(0, 1, INT64_MAX)) return damaged("an object id out of range: " + all.bytes(0));
      known.emplace(all.bytes(1), Known{all.integer(0), false});
    }
    if (rc != SQLITE_DONE) return fail();
  }
  std::vector<int64_t> members;
  std::vector<const RunObject*> failures;
  {
    Statement insert(db_, "INSERT INTO objects(key, path, sum) VALUES(?1, ?2, value_sum(?1, ?2))");
    for (const RunObject& object : run.objects) {
      if (object.status == StatusAbsent) continue;
      auto found = known.find(object.key);
      if (found == known.end()) {
        insert.bindBlob(1, object.key);
        insert.bind(2, object.path);
        if (insert.step() != SQLITE_DONE) return fail();
        insert.reset();
        found = known.emplace(object.key, Known{sqlite3_last_insert_rowid(db_), false}).first;
      }
      if (found->second.inRun) continue;
      found->second.inRun = true;
      members.push_back(found->second.id);
      if (object.status != StatusPassed) failures.push_back(&object);
    }
  }
  Statement attempt(db_,
                    "INSERT INTO attempts(run, content, generated, label, passed, inconclusive,"
                    " failed, total, objects, members, sum) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8,"
                    " ?9, ?10, value_sum(?2, ?3, ?4, ?10))");
  const VerdictTotals& t = run.info.totals;
  attempt.bind(1, recorded->run);
  attempt.bindBlob(2, run.content);
  attempt.bind(3, run.info.generated);
  attempt.bind(4, run.info.label);
  attempt.bind(5, t.passed);
  attempt.bind(6, t.inconclusive);
  attempt.bind(7, t.failed);
  attempt.bind(8, t.total);
  attempt.bind(9, static_cast<int64_t>(members.size()));
  const std::string packed = encodeMembers(members);
  attempt.bindBlob(10, packed);
  if (attempt.step() != SQLITE_DONE) return fail();
  const int64_t attemptId = sqlite3_last_insert_rowid(db_);

  Statement result(db_,
                   "INSERT INTO results(attempt, object, status, checks, sum)"
                   " VALUES(?1, ?2, ?3, ?4, value_sum(?4))");
  for (const RunObject* object : failures) {
    result.bind(1, attemptId);
    result.bind(2, known.find(object->key)->second.id);
    result.bind(3, object->status);
    result.bind(4, object->checks);
    if (result.step() != SQLITE_DONE) return fail();
    result.reset();
  }
  return true;
}

bool SqliteHistory::dropOldRuns(int64_t keep) {
  Statement cut(db_, "SELECT id FROM runs ORDER BY id DESC LIMIT 1 OFFSET ?");
  cut.bind(1, keep - 1);
  const int rc = cut.step();
  if (rc == SQLITE_DONE) return true;
  if (rc != SQLITE_ROW) return fail();
  const int64_t oldestKept = cut.integer(0);
  const char* const drops[] = {
      "DELETE FROM results WHERE attempt IN (SELECT id FROM attempts WHERE run < ?)",
      "DELETE FROM attempts WHERE run < ?",
      "DELETE FROM runs WHERE id < ?",
  };
  for (const char* sql : drops) {
    Statement drop(db_, sql);
    drop.bind(1, oldestKept);
    if (drop.step() != SQLITE_DONE) return fail();
  }
  return sqlite3_changes(db_) == 0 || dropUnheldObjects();
}

// Drops the objects that no attempt left holds: every list is read, each of
// its ids found among the objects (mostly right after the id before).
bool SqliteHistory::dropUnheldObjects() {
  std::vector<int64_t> ids;
  {
    Statement all(db_, "SELECT id FROM objects ORDER BY id");
    int rc;
    while ((rc = all.step()) == SQLITE_ROW) {
      if (!all.integerIn(0, 1, INT64_MAX)) return damaged("an object id out of range: " + all.bytes(0));
      ids.push_back(all.integer(0));
    }
    if (rc != SQLITE_DONE) return fail();
  }
  std::vector<uint8_t> held(ids.size(), 0);
  Statement attempts(db_, "SELECT run, objects, members FROM attempts");
  int rc;
  while ((rc = attempts.step()) == SQLITE_ROW) {
    const int64_t run = attempts.integer(0);
    if (!isCount(attempts, 1))
      return damaged("the object count of run " + std::to_string(run) + " is out of range");
    MemberReader reader(attempts.bytes(2), attempts.integer(1));
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
      held[at] = 1;
    }
    if (reader.fault()) return damagedMembers(run, reader.fault());
    if (reader.count() != attempts.integer(1))
      return damagedMembers(run, "hold fewer ids than its report had objects");
  }
  if (rc != SQLITE_DONE) return fail();
  Statement drop(db_, "DELETE FROM objects WHERE id = ?");
  for (size_t i = 0; i < ids.size(); ++i) {
    if (held[i]) continue;
    drop.bind(1, ids[i]);
    if (drop.step() != SQLITE_DONE) return fail();
    drop.reset();
  }
  return true;
}

std::unique_ptr<SqliteHistory> openSqlite(const std::string& name, int flags, std::string* error) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(name.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    *error = sqlite3_errmsg(db);
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyMilliseconds);
  return std::make_unique<SqliteHistory>(db);
}

// A new history: made as a temporary file beside it (its journal kept in
// memory, so that it is the only file) and linked into place, so that a
// history is there whole or not at all; a signal in between removes the
// temporary file. Of two jobs creating it at once, one file wins and both
// record into it.
bool createHistory(const std::string& path, std::string* error) {
  OutputFile file;
  if (!file.open(path.c_str())) {
    *error = "cannot create: " + file.error();
    return false;
  }
  const std::string& name = file.temporaryPath().empty() ? path : file.temporaryPath();
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(name.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
      sqlite3_exec(db, "PRAGMA journal_mode = MEMORY", nullptr, nullptr, nullptr) != SQLITE_OK) {
    *error = sqlite3_errmsg(db);
    sqlite3_close(db);
    return false;
  }
  {
    SqliteHistory history(db);
    if (!history.prepareWriting()) {
      *error = history.error();
      return false;
    }
  }
  bool placed = false;  // else another job's history took the path: as good
  if (!file.commitNew(&placed)) {
    *error = "cannot create: " + file.error();
    return false;
  }
  return true;
}

// "file:" URI of a path, for the immutable open of a read-only file.
std::string fileUri(const std::string& path) {
  std::string uri = "file:";
  for (const char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      char escaped[4];
      snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      uri += escaped;
    } else {
      uri += c;
    }
  }
  return uri + "?immutable=1";
}

}  // namespace

bool looksLikeHistory(const std::string& path) {
  char head[16];
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  const bool sqlite = fread(head, 1, sizeof head, file) == sizeof head &&
                      memcmp(head, "SQLite format 3", sizeof head) == 0;
  fclose(file);
  return sqlite;
}

std::unique_ptr<HistoryStore> openHistory(const std::string& path, HistoryAccess mode,
                                          std::string* error) {
  struct stat info;
  const bool exists = stat(path.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) {
    *error = "not a history file (not a regular file)";
    return nullptr;
  }
  if (!exists && mode == HistoryRead) {
    *error = std::string("cannot open: ") + strerror(ENOENT);
    return nullptr;
  }
  // An empty file is a new history to record into; any other content that
  // is not SQLite is refused before SQLite may write to it.
  if (exists && info.st_size > 0 && !looksLikeHistory(path)) {
    *error = "not a history file (not SQLite)";
    return nullptr;
  }
  if (mode == HistoryWrite) {
    if (!exists && !createHistory(path, error)) return nullptr;
    std::unique_ptr<SqliteHistory> history = openSqlite(path, SQLITE_OPEN_READWRITE, error);
    if (!history) return nullptr;
    if (!history->prepareWriting()) {
      *error = history->error();
      return nullptr;
    }
    return history;
  }
  // Opened for writing where we may, so that a journal left by a killed
  // record is rolled back and the files of a WAL file are removed on
  // closing; query_only keeps it from writing anything of its own.
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const bool writable = access(path.c_str(), W_OK) == 0 && access(folder.c_str(), W_OK) == 0;
  std::unique_ptr<SqliteHistory> history =
      openSqlite(path, writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, error);
  if (history && history->prepareReading()) return history;
  // A WAL file in a folder that we may not write to: its shared-memory
  // index cannot be made, so read it as a file that nobody changes meanwhile.
  if (history && !writable) {
    history = openSqlite(fileUri(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, error);
    if (history && history->prepareReading()) return history;
  }
  if (history) *error = history->error();
  return nullptr;
}
