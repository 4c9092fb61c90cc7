// The SQLite back end of the history: one file, schema version 1.
//
//   runs(id, content UNIQUE, generated, label, passed, inconclusive, failed,
//        total, members)
//   objects(id, key UNIQUE, path)           each object once, from its first run on
//   results(run, object, status, checks)    only what did not pass
//
// members: the ids of the run's objects, ascending, as varint gaps, deflated.
// Objects get their ids in the order of the report, so a run of a million
// objects is a few kilobytes, and an object of the run without a result row
// passed. The file is in WAL mode with a busy timeout: readers never wait,
// and a second writer waits for the first's transaction instead of failing.
// application_id marks the file as a history, user_version its schema.
#include "export/history/history_store.h"

#include "export/xrd/object_identity.h"

#include <sqlite3.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int kApplicationId = 0x76656c64;  // "veld"
const int kBusyMilliseconds = 120000;   // a writer waits this long for another

// kMigrations[v] takes a file from schema v to v + 1: a new schema adds a
// step and never edits an earlier one, so every older file can be brought
// up to date.
const char* const kMigrations[] = {
    "CREATE TABLE runs(id INTEGER PRIMARY KEY, content BLOB NOT NULL UNIQUE,"
    " generated TEXT NOT NULL, label TEXT NOT NULL, passed INTEGER NOT NULL,"
    " inconclusive INTEGER NOT NULL, failed INTEGER NOT NULL, total INTEGER NOT NULL,"
    " members BLOB NOT NULL);"
    "CREATE TABLE objects(id INTEGER PRIMARY KEY, key BLOB NOT NULL UNIQUE, path TEXT NOT NULL);"
    "CREATE TABLE results(run INTEGER NOT NULL, object INTEGER NOT NULL,"
    " status INTEGER NOT NULL, checks TEXT NOT NULL, PRIMARY KEY(run, object)) WITHOUT ROWID;"
    "CREATE INDEX results_by_object ON results(object, run);",
};
const int kSchemaVersion = sizeof kMigrations / sizeof kMigrations[0];

// WAL is kept in the file, so readers of a writer's file find it too. With
// it, synchronous NORMAL makes a commit survive the process being killed;
// only a power loss may take the last run back, and never damages the file.
const char kWriting[] = "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL";

// Owns a prepared statement; columns and binds by 0-based and 1-based index
// as SQLite counts them.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  void bind(int i, int64_t value) { sqlite3_bind_int64(stmt_, i, value); }
  void bind(int i, const std::string& text) {
    sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  }
  void bindBlob(int i, const std::string& bytes) {
    sqlite3_bind_blob(stmt_, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
  }
  // SQLITE_ROW, SQLITE_DONE or an error.
  int step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
  // Ready for the next binds; the error of the last step.
  int reset() { return sqlite3_reset(stmt_); }
  int64_t integer(int column) { return sqlite3_column_int64(stmt_, column); }
  std::string bytes(int column) {
    const void* data = sqlite3_column_blob(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    return data ? std::string(static_cast<const char*>(data), size) : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

void appendVarint(std::string* out, uint64_t value) {
  while (value >= 0x80) {
    *out += static_cast<char>(value | 0x80);
    value >>= 7;
  }
  *out += static_cast<char>(value);
}

// ids ascending, without repeats.
std::string encodeMembers(const std::vector<int64_t>& ids) {
  std::string gaps;
  int64_t last = 0;
  for (const int64_t id : ids) {
    appendVarint(&gaps, static_cast<uint64_t>(id - last));
    last = id;
  }
  uLongf size = compressBound(gaps.size());
  std::string packed(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&packed[0]), &size,
            reinterpret_cast<const Bytef*>(gaps.data()), gaps.size(), Z_BEST_SPEED);
  packed.resize(size);
  return packed;
}

// False when the bytes are no member list.
bool decodeMembers(const std::string& packed, std::vector<int64_t>* ids) {
  ids->clear();
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  z.avail_in = static_cast<uInt>(packed.size());
  unsigned char block[65536];
  uint64_t value = 0;
  int shift = 0;
  int64_t last = 0;
  int status = Z_OK;
  while (status == Z_OK) {
    z.next_out = block;
    z.avail_out = sizeof block;
    status = inflate(&z, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) break;
    for (unsigned char* p = block; p < z.next_out; ++p) {
      if (shift > 56) status = Z_DATA_ERROR;
      value |= static_cast<uint64_t>(*p & 0x7f) << shift;
      shift += 7;
      if (*p & 0x80) continue;
      last += static_cast<int64_t>(value);
      ids->push_back(last);
      value = 0;
      shift = 0;
    }
  }
  inflateEnd(&z);
  return status == Z_STREAM_END && shift == 0;
}

class SqliteHistory : public HistoryStore {
 public:
  explicit SqliteHistory(sqlite3* db) : db_(db) {}
  ~SqliteHistory() override { sqlite3_close(db_); }

  bool addRun(const NewRun& run, int64_t keep, int64_t* runId, bool* added) override;
  bool runs(std::vector<RunInfo>* runs, std::vector<std::string>* contents) override;
  bool runObjects(int64_t runId, std::vector<RunObject>* objects) override;
  bool statuses(const std::vector<std::string>& keys, const std::vector<int64_t>& runIds,
                std::vector<ResultStatus>* statuses) override;

  // Checks the file's marks and brings its schema up to date (writable
  // files only); false, with error_, for a file that is no history.
  bool prepare(bool writable);

 private:
  bool fail() {
    error_ = sqlite3_errmsg(db_);
    return false;
  }
  bool exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK || fail(); }
  bool pragma(const char* name, int64_t* value);
  bool rollback() {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
  }
  bool members(int64_t runId, std::vector<int64_t>* ids);
  bool objectIdsOf(const NewRun& run, std::vector<int64_t>* objectIds, int64_t* maxId);
  bool insertRun(const NewRun& run, int64_t* runId);
  bool dropOldRuns(int64_t keep);

  sqlite3* db_;
};

bool SqliteHistory::pragma(const char* name, int64_t* value) {
  Statement query(db_, (std::string("PRAGMA ") + name).c_str());
  if (!query.ok() || query.step() != SQLITE_ROW) return fail();
  *value = query.integer(0);
  return true;
}

bool SqliteHistory::prepare(bool writable) {
  int64_t application = 0, version = 0, tables = 0;
  if (!pragma("application_id", &application) || !pragma("user_version", &version)) return false;
  if (application != kApplicationId) {
    Statement count(db_, "SELECT count(*) FROM sqlite_master");
    if (!count.ok() || count.step() != SQLITE_ROW) return fail();
    tables = count.integer(0);
    if (application != 0 || version != 0 || tables != 0 || !writable) {
      error_ = "not a history file (an SQLite database of another kind)";
      return false;
    }
  }
  if (version > kSchemaVersion) {
    error_ = "made by a newer veldora-export (schema " + std::to_string(version) +
             "; this one knows up to " + std::to_string(kSchemaVersion) + ")";
    return false;
  }
  if (version == kSchemaVersion) return exec(writable ? kWriting : "PRAGMA query_only = 1");
  if (!writable) {
    error_ = "an older history (schema " + std::to_string(version) +
             "): record a run into it once to bring it up to date";
    return false;
  }
  // Another writer may be migrating at the same time: decide again inside
  // the write transaction.
  if (!exec("BEGIN IMMEDIATE")) return false;
  if (!pragma("user_version", &version)) return rollback();
  for (int64_t v = version; v < kSchemaVersion; ++v)
    if (!exec(kMigrations[v])) return rollback();
  const std::string marks = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                            "; PRAGMA user_version = " + std::to_string(kSchemaVersion);
  if (!exec(marks.c_str()) || !exec("COMMIT")) return rollback();
  return exec(kWriting);
}

bool SqliteHistory::members(int64_t runId, std::vector<int64_t>* ids) {
  Statement query(db_, "SELECT members FROM runs WHERE id = ?");
  query.bind(1, runId);
  if (query.step() != SQLITE_ROW) {
    if (query.reset() != SQLITE_OK) return fail();
    error_ = "no run " + std::to_string(runId);
    return false;
  }
  if (!decodeMembers(query.bytes(0), ids)) {
    error_ = "the objects of run " + std::to_string(runId) + " are damaged";
    return false;
  }
  return true;
}

// The id of each object of the run, in its order, those the history has not
// seen yet added to it; *maxId the largest id of all.
bool SqliteHistory::objectIdsOf(const NewRun& run, std::vector<int64_t>* objectIds,
                                int64_t* maxId) {
  std::unordered_map<std::string, int64_t, SeededHash> ids;
  *maxId = 0;
  {
    Statement known(db_, "SELECT id, key FROM objects");
    int rc;
    while ((rc = known.step()) == SQLITE_ROW) {
      const int64_t id = known.integer(0);
      ids.emplace(known.bytes(1), id);
      *maxId = std::max(*maxId, id);
    }
    if (rc != SQLITE_DONE) return fail();
  }
  objectIds->assign(run.objects.size(), 0);
  Statement insert(db_, "INSERT INTO objects(key, path) VALUES(?, ?)");
  for (size_t i = 0; i < run.objects.size(); ++i) {
    const RunObject& object = run.objects[i];
    auto found = ids.find(object.key);
    if (found == ids.end()) {
      insert.bindBlob(1, object.key);
      insert.bind(2, object.path);
      if (insert.step() != SQLITE_DONE) return fail();
      insert.reset();
      found = ids.emplace(object.key, sqlite3_last_insert_rowid(db_)).first;
      *maxId = std::max(*maxId, found->second);
    }
    (*objectIds)[i] = found->second;
  }
  return true;
}

bool SqliteHistory::insertRun(const NewRun& run, int64_t* runId) {
  std::vector<int64_t> objectIds;
  int64_t maxId;
  if (!objectIdsOf(run, &objectIds, &maxId)) return false;
  // The run's object ids, marked in a table as long as the ids, so that
  // they come out ascending without a sort and a repeated key counts once.
  std::vector<uint8_t> marked(static_cast<size_t>(maxId) + 1, 0);
  for (const int64_t id : objectIds) marked[id] = 1;
  std::vector<int64_t> ascending;
  for (size_t id = 0; id < marked.size(); ++id)
    if (marked[id]) ascending.push_back(static_cast<int64_t>(id));

  Statement insertRun(db_,
                      "INSERT INTO runs(content, generated, label, passed, inconclusive, failed,"
                      " total, members) VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
  const std::string packed = encodeMembers(ascending);
  insertRun.bindBlob(1, run.content);
  insertRun.bind(2, run.info.generated);
  insertRun.bind(3, run.info.label);
  insertRun.bind(4, run.info.totals.passed);
  insertRun.bind(5, run.info.totals.inconclusive);
  insertRun.bind(6, run.info.totals.failed);
  insertRun.bind(7, run.info.totals.total);
  insertRun.bindBlob(8, packed);
  if (insertRun.step() != SQLITE_DONE) return fail();
  *runId = sqlite3_last_insert_rowid(db_);

  Statement result(db_, "INSERT OR IGNORE INTO results(run, object, status, checks) VALUES(?, ?, ?, ?)");
  for (size_t i = 0; i < run.objects.size(); ++i) {
    const RunObject& object = run.objects[i];
    if (object.status == ResultPassed || object.status == ResultAbsent) continue;
    result.bind(1, *runId);
    result.bind(2, objectIds[i]);
    result.bind(3, object.status);
    result.bind(4, object.checks);
    if (result.step() != SQLITE_DONE) return fail();
    result.reset();
  }
  return true;
}

bool SqliteHistory::dropOldRuns(int64_t keep) {
  Statement cut(db_, "SELECT id FROM runs ORDER BY id DESC LIMIT 1 OFFSET ?");
  cut.bind(1, keep - 1);
  if (cut.step() != SQLITE_ROW) return cut.reset() == SQLITE_OK || fail();
  const int64_t oldestKept = cut.integer(0);
  cut.reset();
  Statement dropResults(db_, "DELETE FROM results WHERE run < ?");
  Statement dropRuns(db_, "DELETE FROM runs WHERE id < ?");
  dropResults.bind(1, oldestKept);
  dropRuns.bind(1, oldestKept);
  if (dropResults.step() != SQLITE_DONE || dropRuns.step() != SQLITE_DONE) return fail();
  if (sqlite3_changes(db_) == 0) return true;

  // The objects of the kept runs; every other object is gone with the runs.
  int64_t maxId = 0;
  {
    Statement last(db_, "SELECT max(id) FROM objects");
    if (last.step() != SQLITE_ROW) return fail();
    maxId = last.integer(0);
  }
  std::vector<uint8_t> kept(static_cast<size_t>(maxId) + 1, 0);
  std::vector<int64_t> ids;
  Statement runIds(db_, "SELECT id FROM runs");
  int rc;
  while ((rc = runIds.step()) == SQLITE_ROW) {
    if (!members(runIds.integer(0), &ids)) return false;
    for (const int64_t id : ids)
      if (id >= 0 && id <= maxId) kept[id] = 1;
  }
  if (rc != SQLITE_DONE) return fail();
  Statement drop(db_, "DELETE FROM objects WHERE id = ?");
  for (size_t id = 1; id < kept.size(); ++id) {
    if (kept[id]) continue;
    drop.bind(1, static_cast<int64_t>(id));
    if (drop.step() != SQLITE_DONE) return fail();
    drop.reset();
  }
  return true;
}

bool SqliteHistory::addRun(const NewRun& run, int64_t keep, int64_t* runId, bool* added) {
  *added = false;
  if (!exec("BEGIN IMMEDIATE")) return false;
  int rc;
  {
    Statement same(db_, "SELECT id FROM runs WHERE content = ?");
    same.bindBlob(1, run.content);
    rc = same.step();
    if (rc == SQLITE_ROW) *runId = same.integer(0);
  }
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    fail();
    return rollback();
  }
  if (rc == SQLITE_DONE) {
    if (!insertRun(run, runId)) return rollback();
    *added = true;
  }
  if ((keep > 0 && !dropOldRuns(keep)) || !exec("COMMIT")) return rollback();
  return true;
}

bool SqliteHistory::runs(std::vector<RunInfo>* runs, std::vector<std::string>* contents) {
  Statement query(db_,
                  "SELECT id, generated, label, passed, inconclusive, failed, total, content"
                  " FROM runs ORDER BY id");
  int rc;
  while ((rc = query.step()) == SQLITE_ROW) {
    RunInfo info;
    info.id = query.integer(0);
    info.generated = query.bytes(1);
    info.label = query.bytes(2);
    info.totals = {query.integer(3), query.integer(4), query.integer(5), query.integer(6)};
    runs->push_back(std::move(info));
    if (contents) contents->push_back(query.bytes(7));
  }
  return rc == SQLITE_DONE || fail();
}

bool SqliteHistory::runObjects(int64_t runId, std::vector<RunObject>* objects) {
  std::vector<int64_t> ids;
  if (!members(runId, &ids)) return false;
  // Both come ascending by object id: one merge.
  Statement all(db_, "SELECT id, key, path FROM objects ORDER BY id");
  Statement results(db_, "SELECT object, status, checks FROM results WHERE run = ? ORDER BY object");
  results.bind(1, runId);
  int resultRc = results.step();
  size_t next = 0;
  int rc = SQLITE_DONE;
  while (next < ids.size() && (rc = all.step()) == SQLITE_ROW) {
    const int64_t id = all.integer(0);
    if (id != ids[next]) continue;
    ++next;
    RunObject object;
    object.key = all.bytes(1);
    object.path = all.bytes(2);
    while (resultRc == SQLITE_ROW && results.integer(0) < id) resultRc = results.step();
    if (resultRc == SQLITE_ROW && results.integer(0) == id) {
      const int64_t status = results.integer(1);
      object.status = status == ResultFailed ? ResultFailed : ResultNotExecuted;
      object.checks = results.bytes(2);
    }
    objects->push_back(std::move(object));
  }
  if (next < ids.size() && rc != SQLITE_DONE) return fail();
  if (resultRc != SQLITE_ROW && resultRc != SQLITE_DONE) return fail();
  return true;
}

bool SqliteHistory::statuses(const std::vector<std::string>& keys,
                             const std::vector<int64_t>& runIds,
                             std::vector<ResultStatus>* statuses) {
  const size_t width = runIds.size();
  statuses->assign(keys.size() * width, ResultAbsent);
  if (width == 0) return true;
  // Object ids of the keys, then each run's members and result rows.
  std::vector<int64_t> objectIds(keys.size(), 0);
  int64_t maxId = 0;
  {
    Statement find(db_, "SELECT id FROM objects WHERE key = ?");
    for (size_t k = 0; k < keys.size(); ++k) {
      find.bindBlob(1, keys[k]);
      const int rc = find.step();
      if (rc == SQLITE_ROW) objectIds[k] = find.integer(0);
      else if (rc != SQLITE_DONE) return fail();
      find.reset();
      maxId = std::max(maxId, objectIds[k]);
    }
  }
  // Position of each object id among the keys (-1: none of them).
  std::vector<int64_t> keyOf(static_cast<size_t>(maxId) + 1, -1);
  for (size_t k = 0; k < keys.size(); ++k)
    if (objectIds[k] > 0) keyOf[objectIds[k]] = static_cast<int64_t>(k);
  std::vector<int64_t> ids;
  for (size_t r = 0; r < width; ++r) {
    if (!members(runIds[r], &ids)) return false;
    for (const int64_t id : ids)
      if (id > 0 && id <= maxId && keyOf[id] >= 0) (*statuses)[keyOf[id] * width + r] = ResultPassed;
  }
  Statement rows(db_, "SELECT run, status FROM results WHERE object = ? AND run >= ? AND run <= ?");
  for (size_t k = 0; k < keys.size(); ++k) {
    if (objectIds[k] == 0) continue;
    rows.bind(1, objectIds[k]);
    rows.bind(2, runIds.front());
    rows.bind(3, runIds.back());
    int rc;
    size_t r = 0;
    while ((rc = rows.step()) == SQLITE_ROW) {
      const int64_t run = rows.integer(0);
      while (r < width && runIds[r] < run) ++r;
      if (r == width) break;
      if (runIds[r] == run)
        (*statuses)[k * width + r] = rows.integer(1) == ResultFailed ? ResultFailed : ResultNotExecuted;
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return fail();
    rows.reset();
  }
  return true;
}

// A new history: made under a temporary name beside it and linked into
// place, so that an interrupted creation leaves no file that half exists,
// and of two jobs creating it at once one file wins and both record into it.
bool createHistory(const std::string& path, std::string* error) {
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(&temporary[0]);
  if (fd < 0) {
    *error = std::string("cannot create: ") + strerror(errno);
    return false;
  }
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  sqlite3* db = nullptr;
  bool made = sqlite3_open_v2(temporary.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
  if (made) {
    SqliteHistory history(db);
    made = history.prepare(true);
    if (!made) *error = history.error();
  } else {
    *error = sqlite3_errmsg(db);
    sqlite3_close(db);
  }
  if (made && link(temporary.c_str(), path.c_str()) != 0 && errno != EEXIST) {
    *error = std::string("cannot create: ") + strerror(errno);
    made = false;
  }
  unlink(temporary.c_str());
  return made;
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
    if (!history->prepare(true)) {
      *error = history->error();
      return nullptr;
    }
    return history;
  }
  // Opened for writing where we may, only so that closing removes the WAL
  // files that reading makes (a read-only connection leaves them behind);
  // query_only keeps it from writing anything.
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const bool writable = access(path.c_str(), W_OK) == 0 && access(folder.c_str(), W_OK) == 0;
  std::unique_ptr<SqliteHistory> history =
      openSqlite(path, writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, error);
  if (history && history->prepare(false)) return history;
  // A WAL file in a folder that we may not write to: its shared-memory
  // index cannot be made, so read it as a file that nobody changes meanwhile.
  if (history && !writable) {
    history = openSqlite(fileUri(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, error);
    if (history && history->prepare(false)) return history;
  }
  if (history) *error = history->error();
  return nullptr;
}
