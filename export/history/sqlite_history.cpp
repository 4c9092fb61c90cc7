// The SQLite back end of the history: one file, schema version 3 (the
// tables in history_core.cpp), each table with a sum of its long values:
//
//   runs(id, project, branch, key)
//   attempts(id, run, part, content, generated, label, passed, inconclusive, failed, total,
//            objects, members, sum)
//   objects(id, project, part, key, path, sum)
//   results(attempt, object, status, checks, sum, since)
//
// sum: of a row's long values (kSummed), else null. application_id marks
// the file as a history, user_version its schema.
//
// The file keeps SQLite's rollback journal, not WAL: when record returns,
// the run is in the file itself (CI caches that file alone), and a write
// that finds the disk full is undone from the journal. Readers and writers
// wait for each other (busy timeout); a store opened for reading holds its
// read transaction until its end, so it sees one state of the history.
// record checks the file (PRAGMA quick_check and the sums) in its write
// transaction before it writes anything (again only after another
// connection wrote), and gives the pages of dropped runs back (auto_vacuum
// INCREMENTAL).
#include "export/history/history_core.h"

#include "export/history/member_list.h"
#include "support/output_file.h"

#include <sqlite3.h>
#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int kApplicationId = 0x76656c64;  // "veld"
const int kBusyMilliseconds = 120000;   // how long one waits for another
const int64_t kSchema1 = 1;

// kMigrations[v] takes a file from schema v to v + 1: a new schema adds a
// step and never edits an earlier one, so every older file can be brought
// up to date. value_sum and the schema1_ functions are SqliteDatabase's.
const char* const kMigrations[] = {
    "CREATE TABLE runs(id INTEGER PRIMARY KEY, content BLOB NOT NULL UNIQUE,"
    " generated TEXT NOT NULL, label TEXT NOT NULL, passed INTEGER NOT NULL,"
    " inconclusive INTEGER NOT NULL, failed INTEGER NOT NULL, total INTEGER NOT NULL,"
    " members BLOB NOT NULL);"
    "CREATE TABLE objects(id INTEGER PRIMARY KEY, key BLOB NOT NULL UNIQUE, path TEXT NOT NULL);"
    "CREATE TABLE results(run INTEGER NOT NULL, object INTEGER NOT NULL,"
    " status INTEGER NOT NULL, checks TEXT NOT NULL, PRIMARY KEY(run, object)) WITHOUT ROWID;"
    "CREATE INDEX results_by_object ON results(object, run);",

    // Runs of projects, branches and parts with attempts: each schema-1
    // run is a run of project '' and branch '' without a key, and its one
    // attempt of the same number, of part "report" (as the documented jobs
    // named their report); checks get the tab before their counts; rows
    // with long values get their sum (the columns of kSummed).
    "ALTER TABLE runs RENAME TO runs_schema1;"
    "CREATE TABLE runs(id INTEGER PRIMARY KEY, project TEXT NOT NULL, branch TEXT NOT NULL,"
    " key TEXT NOT NULL);"
    "CREATE UNIQUE INDEX runs_by_key ON runs(project, key) WHERE key <> '';"
    "CREATE INDEX runs_by_project ON runs(project, id);"
    "CREATE INDEX runs_by_branch ON runs(project, branch, id);"
    "CREATE TABLE attempts(id INTEGER PRIMARY KEY, run INTEGER NOT NULL, part TEXT NOT NULL,"
    " content BLOB NOT NULL, generated TEXT NOT NULL, label TEXT NOT NULL, passed INTEGER NOT NULL,"
    " inconclusive INTEGER NOT NULL, failed INTEGER NOT NULL, total INTEGER NOT NULL,"
    " objects INTEGER NOT NULL, members BLOB NOT NULL, sum INTEGER);"
    "CREATE INDEX attempts_by_run ON attempts(run, part, id);"
    "CREATE INDEX attempts_by_content ON attempts(content, run);"
    "CREATE INDEX attempts_summed ON attempts(sum) WHERE sum IS NOT NULL;"
    "INSERT INTO runs(id, project, branch, key) SELECT id, '', '', '' FROM runs_schema1;"
    "INSERT INTO attempts SELECT id, id, 'report', content, generated, label, passed, inconclusive,"
    " failed, total, schema1_count(id, members), schema1_members(id, members), NULL FROM runs_schema1;"
    "UPDATE attempts SET sum = value_sum(part, content, generated, label, members);"
    "DROP TABLE runs_schema1;"
    "ALTER TABLE objects RENAME TO objects_schema1;"
    "CREATE TABLE objects(id INTEGER PRIMARY KEY, project TEXT NOT NULL, part TEXT NOT NULL,"
    " key BLOB NOT NULL, path TEXT NOT NULL, sum INTEGER);"
    "CREATE UNIQUE INDEX objects_by_key ON objects(project, part, key);"
    "CREATE INDEX objects_summed ON objects(sum) WHERE sum IS NOT NULL;"
    "INSERT INTO objects SELECT id, '', 'report', key, path, value_sum('', 'report', key, path)"
    " FROM objects_schema1;"
    "DROP TABLE objects_schema1;"
    "ALTER TABLE results RENAME COLUMN run TO attempt;"
    "ALTER TABLE results ADD COLUMN sum INTEGER;"
    "UPDATE results SET checks = schema1_checks(checks) WHERE status = 2;"
    "UPDATE results SET sum = value_sum(checks);"
    "CREATE INDEX results_summed ON results(sum) WHERE sum IS NOT NULL;",

    // Each failure keeps the run its failing streak began in (0: unknown,
    // as for every failure recorded before).
    "ALTER TABLE results ADD COLUMN since INTEGER NOT NULL DEFAULT 0;",
};
static_assert(sizeof kMigrations / sizeof kMigrations[0] == kHistorySchema, "a step for each schema");

// Values longer than this in one row may spill into overflow pages, the
// last of which SQLite's check cannot judge (a lost one reads as zeros):
// such a row keeps a sum of its values (value_sum), which record checks.
const int64_t kSummedBytes = 1024;

// The columns each table's sum covers.
const struct {
  const char* table;
  std::vector<const char*> columns;
} kSummed[] = {
    {"attempts", {"part", "content", "generated", "label", "members"}},
    {"objects", {"project", "part", "key", "path"}},
    {"results", {"checks"}},
};

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

class SqliteDatabase;

// A prepared statement; its failures are noted by its database.
class SqliteQuery : public HistoryQuery {
 public:
  SqliteQuery(SqliteDatabase* owner, sqlite3* db, const std::string& sql) : owner_(owner) {
    sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr);
  }
  ~SqliteQuery() override { sqlite3_finalize(stmt_); }
  SqliteQuery(const SqliteQuery&) = delete;
  SqliteQuery& operator=(const SqliteQuery&) = delete;

  void bind(int i, int64_t value) override { sqlite3_bind_int64(stmt_, i, value); }
  void bindText(int i, const std::string& text) override {
    sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  void bindBlob(int i, const std::string& bytes) override {
    sqlite3_bind_blob(stmt_, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  }
  Step step() override;
  void reset() override { sqlite3_reset(stmt_); }
  bool isNull(int column) override { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  bool isInteger(int column) override { return sqlite3_column_type(stmt_, column) == SQLITE_INTEGER; }
  int64_t integer(int column) override { return sqlite3_column_int64(stmt_, column); }
  std::string bytes(int column) override {
    const void* data = sqlite3_column_blob(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    return data ? std::string(static_cast<const char*>(data), size) : std::string();
  }

 private:
  SqliteDatabase* owner_;
  sqlite3_stmt* stmt_ = nullptr;
};

class SqliteDatabase : public HistoryDatabase {
 public:
  explicit SqliteDatabase(sqlite3* db) : db_(db) {}
  ~SqliteDatabase() override { sqlite3_close(db_); }

  std::unique_ptr<HistoryQuery> query(const std::string& sql) override {
    return std::make_unique<SqliteQuery>(this, db_, sql);
  }
  bool inTransaction() override { return !sqlite3_get_autocommit(db_); }
  bool beginRead() override { return exec("BEGIN"); }
  bool endRead() override { return exec("COMMIT"); }
  bool beginWrite(const std::string& project, int64_t* schema) override;
  bool commit() override;
  // A write that failed (a full disk) may leave SQLite's journal to be
  // played back by the next reader: this reads at once, so that the file
  // is as it was when record returns.
  void rollback() override {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  }
  bool newIds(const char* table, size_t count, std::vector<int64_t>* ids) override;
  bool insert(const TableRows& rows) override;

  // Takes the file for writing: checks its marks, brings its schema up to
  // date, leaves WAL for the rollback journal and makes it shrinkable.
  bool prepareWriting();
  // Takes the file for reading: checks its marks and opens the read
  // transaction that lasts until the store's end. An older schema is
  // brought up to date in a copy in memory, the file left as it is.
  bool prepareReading();

  // SQLite's own word for a file it finds broken is a damaged history too.
  bool fail() {
    const int code = sqlite3_errcode(db_) & 0xff;
    error_ = code == SQLITE_CORRUPT || code == SQLITE_NOTADB ? "damaged: " : "";
    error_ += sqlite3_errmsg(db_);
    return false;
  }

 private:
  bool damaged(const std::string& what) {
    error_ = "damaged: " + what;
    return false;
  }
  bool exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK || fail(); }
  bool undo() {
    rollback();
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

  static void schema1Count(sqlite3_context* context, int, sqlite3_value** values);
  static void schema1Members(sqlite3_context* context, int, sqlite3_value** values);
  static void schema1Checks(sqlite3_context* context, int, sqlite3_value** values);
  // The ids of a schema-1 list, or false with the result's error set.
  bool schema1Ids(sqlite3_context* context, sqlite3_value** values, std::vector<int64_t>* ids);

  sqlite3* db_;
  int64_t schema1Objects_ = 0;  // the bound of a schema-1 members list
  // data_version after this connection's last commit: a record after it,
  // with no other connection's commit in between, need not check the file
  // again (a copy records thousands of attempts). A plain write meanwhile
  // the check would not see either: the connection reads its cached pages.
  std::string committed_;
};

HistoryQuery::Step SqliteQuery::step() {
  const int rc = stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR;
  if (rc == SQLITE_ROW) return Row;
  if (rc == SQLITE_DONE) return Done;
  owner_->fail();
  return Failed;
}

bool SqliteDatabase::pragma(const char* name, std::string* value) {
  SqliteQuery query(this, db_, std::string("PRAGMA ") + name);
  if (query.step() != HistoryQuery::Row) return false;
  *value = query.bytes(0);
  return true;
}

bool SqliteDatabase::pragma(const char* name, int64_t* value) {
  std::string text;
  if (!pragma(name, &text)) return false;
  *value = strtoll(text.c_str(), nullptr, 10);
  return true;
}

// False, with error_, for a file that is not a history of a schema this
// one knows; an empty database is one to be made (for writing).
bool SqliteDatabase::checkMarks(bool writing, int64_t* version) {
  int64_t application = 0;
  if (!pragma("application_id", &application) || !pragma("user_version", version)) return false;
  if (application != kApplicationId) {
    SqliteQuery tables(this, db_, "SELECT count(*) FROM sqlite_master");
    if (tables.step() != HistoryQuery::Row) return false;
    if (application != 0 || *version != 0 || tables.integer(0) != 0 || !writing) {
      error_ = std::string(kNotAHistory) + " (an SQLite database of another kind)";
      return false;
    }
  }
  if (*version > kHistorySchema || *version < 0) {
    error_ = newerSchemaError(*version);
    return false;
  }
  return true;
}

bool SqliteDatabase::checkSums() {
  for (const auto& summed : kSummed) {
    std::string values;
    for (const char* column : summed.columns) values += std::string(values.empty() ? "" : ", ") + column;
    SqliteQuery mismatch(this, db_, std::string("SELECT 1 FROM ") + summed.table +
                                        " WHERE sum IS NOT NULL AND sum IS NOT value_sum(" + values + ") LIMIT 1");
    const HistoryQuery::Step step = mismatch.step();
    if (step == HistoryQuery::Row) return damaged(std::string("a row of ") + summed.table + " does not match its sum");
    if (step == HistoryQuery::Failed) return false;
  }
  return true;
}

bool SqliteDatabase::quickCheck() {
  SqliteQuery check(this, db_, "PRAGMA quick_check(1)");
  if (check.step() != HistoryQuery::Row) return false;
  std::string verdict = check.bytes(0);
  if (verdict == "ok") return true;
  // "*** in database main ***\nPage 5: ...": SQLite's first finding.
  const size_t line = verdict.find('\n');
  if (verdict.compare(0, 3, "***") == 0 && line != std::string::npos) verdict.erase(0, line + 1);
  return damaged(verdict.substr(0, verdict.find('\n')));
}

bool SqliteDatabase::countSchema1Objects() {
  SqliteQuery count(this, db_, "SELECT count(*) FROM objects");
  if (count.step() != HistoryQuery::Row) return false;
  schema1Objects_ = count.integer(0);
  return true;
}

void SqliteDatabase::addFunctions() {
  const int flags = SQLITE_UTF8 | SQLITE_DIRECTONLY;
  sqlite3_create_function(db_, "value_sum", -1, flags | SQLITE_DETERMINISTIC, nullptr, valueSum,
                          nullptr, nullptr);
  sqlite3_create_function(db_, "schema1_count", 2, flags, this, schema1Count, nullptr, nullptr);
  sqlite3_create_function(db_, "schema1_members", 2, flags, this, schema1Members, nullptr, nullptr);
  sqlite3_create_function(db_, "schema1_checks", 1, flags, this, schema1Checks, nullptr, nullptr);
}

bool SqliteDatabase::schema1Ids(sqlite3_context* context, sqlite3_value** values,
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

void SqliteDatabase::schema1Count(sqlite3_context* context, int, sqlite3_value** values) {
  std::vector<int64_t> ids;
  if (static_cast<SqliteDatabase*>(sqlite3_user_data(context))->schema1Ids(context, values, &ids))
    sqlite3_result_int64(context, static_cast<int64_t>(ids.size()));
}

void SqliteDatabase::schema1Members(sqlite3_context* context, int, sqlite3_value** values) {
  std::vector<int64_t> ids;
  if (!static_cast<SqliteDatabase*>(sqlite3_user_data(context))->schema1Ids(context, values, &ids))
    return;
  const std::string packed = encodeMembers(ids);
  sqlite3_result_blob(context, packed.data(), static_cast<int>(packed.size()), SQLITE_TRANSIENT);
}

void SqliteDatabase::schema1Checks(sqlite3_context* context, int, sqlite3_value** values) {
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
bool SqliteDatabase::migrate() {
  // Only takes effect while the file has no tables: a new history.
  if (!exec("PRAGMA auto_vacuum = INCREMENTAL") || !exec("BEGIN IMMEDIATE")) return false;
  int64_t version = 0;
  if (!checkMarks(true, &version) || !quickCheck()) return undo();
  if (version >= kSchema1 && !countSchema1Objects()) return undo();
  for (int64_t v = version; v < kHistorySchema; ++v)
    if (!exec(kMigrations[v])) return undo();
  const std::string marks = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                            "; PRAGMA user_version = " + std::to_string(kHistorySchema);
  return (exec(marks.c_str()) && exec("COMMIT")) || undo();
}

// A file in WAL mode (as earlier versions left it) takes the rollback
// journal. That needs the file to itself: while another connection has it
// open, try again within the busy timeout.
bool SqliteDatabase::leaveWal(bool* checked) {
  std::string mode;
  if (!pragma("journal_mode", &mode)) return false;
  if (mode != "wal") return true;
  if (!checkOnce(checked)) return false;
  for (int waited = 0;; waited += 50) {
    SqliteQuery change(this, db_, "PRAGMA journal_mode = DELETE");
    if (change.step() == HistoryQuery::Row && change.bytes(0) == "delete") return true;
    if (waited >= kBusyMilliseconds) {
      error_ = std::string("cannot leave WAL mode: ") + sqlite3_errmsg(db_);
      return false;
    }
    usleep(50000);
  }
}

// A file made before auto_vacuum was set gets it with one VACUUM.
bool SqliteDatabase::makeShrinkable(bool* checked) {
  int64_t mode = 0;
  if (!pragma("auto_vacuum", &mode)) return false;
  if (mode == 2) return true;
  return checkOnce(checked) && exec("PRAGMA auto_vacuum = INCREMENTAL") &&
         (exec("VACUUM") || undo());
}

bool SqliteDatabase::checkOnce(bool* checked) {
  if (*checked) return true;
  *checked = beginRead() && quickCheck();
  if (inTransaction()) endRead();
  return *checked;
}

bool SqliteDatabase::prepareWriting() {
  addFunctions();
  int64_t version = 0;
  // Migrated first: a migration that finds damage is rolled back in
  // whatever journal the file keeps, and leaves it as it was.
  if (!checkMarks(true, &version) || (version < kHistorySchema && !migrate())) return false;
  // Each step that writes takes only a checked file, checked once.
  bool checked = version < kHistorySchema;
  return leaveWal(&checked) && makeShrinkable(&checked);
}

bool SqliteDatabase::prepareReading() {
  int64_t version = 0;
  // The first read opens the transaction that lasts.
  if (!exec("BEGIN") || !checkMarks(false, &version)) return false;
  if (version == kHistorySchema) return exec("PRAGMA query_only = 1");
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
  for (int64_t v = version; v < kHistorySchema; ++v)
    if (!exec(kMigrations[v])) return false;
  return exec("BEGIN") && exec("PRAGMA query_only = 1");
}

bool SqliteDatabase::beginWrite(const std::string&, int64_t* schema) {
  if (!exec("BEGIN IMMEDIATE")) return false;
  if (!checkMarks(true, schema)) return undo();
  std::string others;  // SQLite's count of other connections' commits
  const bool unchanged = !committed_.empty() && pragma("data_version", &others) && others == committed_;
  if (*schema == kHistorySchema && !unchanged && (!quickCheck() || !checkSums())) return undo();
  return true;
}

bool SqliteDatabase::commit() {
  if (!exec("PRAGMA incremental_vacuum") || !exec("COMMIT")) return false;
  if (!pragma("data_version", &committed_)) committed_.clear();
  return true;
}

// Ids after the largest: the write transaction keeps other writers out.
bool SqliteDatabase::newIds(const char* table, size_t count, std::vector<int64_t>* ids) {
  SqliteQuery largest(this, db_, std::string("SELECT coalesce(max(id), 0) FROM ") + table);
  if (largest.step() != HistoryQuery::Row) return false;
  if (!largest.isInteger(0) || largest.integer(0) < 0 || largest.integer(0) > INT64_MAX - INT32_MAX)
    return damaged(std::string("an id of ") + table + " out of range: " + largest.bytes(0));
  ids->clear();
  for (size_t i = 1; i <= count; ++i) ids->push_back(largest.integer(0) + static_cast<int64_t>(i));
  return true;
}

// One prepared INSERT for all rows, with the table's sum where it has one.
bool SqliteDatabase::insert(const TableRows& rows) {
  std::string names, values, summed;
  for (size_t c = 0; c < rows.columns.size(); ++c) {
    names += std::string(c ? ", " : "") + rows.columns[c];
    values += (c ? ", ?" : "?") + std::to_string(c + 1);
  }
  for (const auto& table : kSummed) {
    if (strcmp(table.table, rows.table) != 0) continue;
    for (const char* column : table.columns)
      for (size_t c = 0; c < rows.columns.size(); ++c)
        if (strcmp(column, rows.columns[c]) == 0) summed += (summed.empty() ? "?" : ", ?") + std::to_string(c + 1);
  }
  if (!summed.empty()) {
    names += ", sum";
    values += ", value_sum(" + summed + ")";
  }
  SqliteQuery insert(this, db_, std::string("INSERT INTO ") + rows.table + "(" + names + ") VALUES(" + values + ")");
  std::vector<SqlValue> row;
  for (size_t r = 0; r < rows.count; ++r) {
    rows.row(r, &row);
    for (size_t c = 0; c < row.size(); ++c) {
      const int at = static_cast<int>(c) + 1;
      if (row[c].kind == SqlValue::Integer) insert.bind(at, row[c].integer);
      else if (row[c].kind == SqlValue::Text) insert.bindText(at, *row[c].bytes);
      else insert.bindBlob(at, *row[c].bytes);
    }
    if (insert.step() != HistoryQuery::Done) return false;
    insert.reset();
  }
  return true;
}

std::unique_ptr<SqliteDatabase> openSqlite(const std::string& name, int flags, std::string* error) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(name.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    *error = sqlite3_errmsg(db);
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyMilliseconds);
  return std::make_unique<SqliteDatabase>(db);
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
    SqliteDatabase history(db);
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

// The database of the file, checked and ready for access.
std::unique_ptr<SqliteDatabase> openSqliteDatabase(const std::string& path, HistoryAccess mode, std::string* error) {
  struct stat info;
  const bool exists = stat(path.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) {
    *error = std::string(kNotAHistory) + " (not a regular file)";
    return nullptr;
  }
  if (!exists && mode == HistoryRead) {
    *error = std::string("cannot open: ") + strerror(ENOENT);
    return nullptr;
  }
  // An empty file is a new history to record into; any other content that
  // is not SQLite is refused before SQLite may write to it.
  if (exists && info.st_size > 0 && !isSqliteFile(path)) {
    *error = std::string(kNotAHistory) + " (not SQLite)";
    return nullptr;
  }
  if (mode == HistoryWrite) {
    if (!exists && !createHistory(path, error)) return nullptr;
    std::unique_ptr<SqliteDatabase> history = openSqlite(path, SQLITE_OPEN_READWRITE, error);
    if (history && history->prepareWriting()) return history;
    if (history) *error = history->error();
    return nullptr;
  }
  // Opened for writing where we may, so that a journal left by a killed
  // record is rolled back and the files of a WAL file are removed on
  // closing; query_only keeps it from writing anything of its own.
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const bool writable = access(path.c_str(), W_OK) == 0 && access(folder.c_str(), W_OK) == 0;
  std::unique_ptr<SqliteDatabase> history =
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

}  // namespace

bool isSqliteFile(const std::string& path) {
  char head[16];
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  const bool sqlite = fread(head, 1, sizeof head, file) == sizeof head &&
                      memcmp(head, "SQLite format 3", sizeof head) == 0;
  fclose(file);
  return sqlite;
}

std::unique_ptr<HistoryStore> openSqliteHistory(const std::string& path, const std::string& project,
                                                HistoryAccess access, std::string* error) {
  std::unique_ptr<SqliteDatabase> database = openSqliteDatabase(path, access, error);
  if (!database) return nullptr;
  return makeHistoryStore(std::move(database), project);
}
