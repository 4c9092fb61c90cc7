// The history store over crafted histories. The input is SQL that fills the
// tables of a new history (schema 3; schema 1 when the input starts with
// "schema 1\n", so that the migration reads it) with any rows at all:
// hostile ids, counts, totals, statuses, sizes and members lists. Every
// read of the store (of project "", part "report"), then a record with
// --keep and the reads again, run on it: none may crash, leak or take
// memory beyond what the file holds, and what the reads give keeps their
// promises (ascending runs, statuses of the asked size with their own last
// status among those seen).
//
//   INSERT INTO runs VALUES(1, '', '', '4711');
//   INSERT INTO objects VALUES(-1, '', 'report', x'61', 'a', NULL);
//   INSERT INTO attempts VALUES(1, 1, 'report', x'00', 'time', 'label', 1, 0, 0, 1, 1, members(-1), NULL);
//   UPDATE attempts SET members = deflate(x'02', 53000000);   -- 51 KB inflating to 53 MB
//
// The SQL may only insert (a row a statement), change and delete rows of
// the four tables, without subqueries, with two functions of its own: members(id, ...), a list of those ids (each
// raised to 1 at least; crafted lists come from deflate), and
// deflate(bytes [, times]), the bytes repeated, deflated (64 MB in all).
#include "fuzz_support.h"

#include "export/history/history_store.h"
#include "export/history/member_list.h"
#include "tests/export/history/schema1.h"

#include <sqlite3.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <unistd.h>

namespace {

const int64_t kDeflateBudget = 64 << 20;
const std::string kPart = "report";
int64_t deflateLeft;
bool schema1;

[[noreturn]] void fail(const std::string& what) {
  fprintf(stderr, "history store: %s\n", what.c_str());
  abort();
}

void members(sqlite3_context* context, int count, sqlite3_value** values) {
  std::vector<int64_t> ids;
  for (int i = 0; i < count; ++i) {
    const int64_t id = sqlite3_value_int64(values[i]);
    ids.push_back(schema1 ? id : std::max<int64_t>(id, 1));
  }
  const std::string packed = schema1 ? schema1Members(ids) : encodeMembers(ids);
  sqlite3_result_blob(context, packed.data(), static_cast<int>(packed.size()), SQLITE_TRANSIENT);
}

void deflateRepeated(sqlite3_context* context, int count, sqlite3_value** values) {
  const auto* bytes = static_cast<const Bytef*>(sqlite3_value_blob(values[0]));
  const int64_t size = sqlite3_value_bytes(values[0]);
  const int64_t times = count > 1 ? sqlite3_value_int64(values[1]) : 1;
  if (times < 0 || (size > 0 && times > deflateLeft / size)) {
    sqlite3_result_error(context, "deflate: beyond the budget", -1);
    return;
  }
  deflateLeft -= size * times;
  z_stream z{};
  deflateInit(&z, 9);
  std::string packed;
  unsigned char block[65536];
  for (int64_t i = 0; i <= times; ++i) {
    z.next_in = const_cast<Bytef*>(bytes);
    z.avail_in = i < times ? static_cast<uInt>(size) : 0;
    do {
      z.next_out = block;
      z.avail_out = sizeof block;
      deflate(&z, i < times ? Z_NO_FLUSH : Z_FINISH);
      packed.append(reinterpret_cast<char*>(block), sizeof block - z.avail_out);
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
  sqlite3_result_blob(context, packed.data(), static_cast<int>(packed.size()), SQLITE_TRANSIENT);
}

// Rows of the four tables, the two functions: nothing else.
int authorize(void*, int action, const char* first, const char* second, const char*, const char*) {
  auto table = [](const char* name) {
    for (const char* ours : {"runs", "attempts", "objects", "results"})
      if (name && strcmp(name, ours) == 0) return true;
    return false;
  };
  switch (action) {
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
    case SQLITE_READ:
      return table(first) ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_FUNCTION:
      return strcmp(second, "members") == 0 || strcmp(second, "deflate") == 0 ? SQLITE_OK : SQLITE_DENY;
    default:
      return SQLITE_DENY;
  }
}

// Ends statements that run on: some ten million steps in all.
int tooLong(void* steps) { return ++*static_cast<int*>(steps) > 10000; }

// A new history at path with the input's rows in it.
void makeHistory(const std::string& path, const std::string& sql) {
  if (!schema1) {
    std::string error;
    if (!openHistory(path, "", HistoryWrite, &error)) fail("a new history: " + error);
  }
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) fail(sqlite3_errmsg(db));
  if (schema1) sqlite3_exec(db, kSchema1Tables, nullptr, nullptr, nullptr);
  const int flags = SQLITE_UTF8 | SQLITE_DIRECTONLY;
  sqlite3_create_function(db, "members", -1, flags, nullptr, members, nullptr, nullptr);
  sqlite3_create_function(db, "deflate", -1, flags, nullptr, deflateRepeated, nullptr, nullptr);
  sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 1 << 20);
  int steps = 0;
  sqlite3_progress_handler(db, 1000, tooLong, &steps);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_set_authorizer(db, authorize, nullptr);
  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  sqlite3_set_authorizer(db, nullptr, nullptr);
  sqlite3_progress_handler(db, 0, nullptr, nullptr);
  if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) fail(sqlite3_errmsg(db));
  sqlite3_close(db);
}

void readEverything(const std::string& path) {
  std::string error;
  std::unique_ptr<HistoryStore> store = openHistory(path, "", HistoryRead, &error);
  if (!store) return;
  std::vector<RunInfo> runs;
  if (store->runsBefore(RunFilter(), 0, 0, &runs)) {
    for (size_t i = 1; i < runs.size(); ++i)
      if (runs[i - 1].id >= runs[i].id) fail("runs out of order");
  }
  std::vector<RunInfo> some;
  for (const int64_t before : {int64_t{0}, int64_t{2}, INT64_MIN, INT64_MAX})
    if (store->runsBefore({nullptr, &kPart}, before, 1, &some) && some.size() > 1) fail("more runs than asked for");
  bool holds = false;
  store->holdsUntaggedContent(&holds);
  RunInfo info;
  bool found = false;
  store->runWithContent(kDigestTag, &info, &found);
  std::vector<StoredAttempt> stored;
  int64_t next = 0;
  store->attempts(0, 0, &stored, &next);
  // The keys of the objects the runs give, a few others; the runs and some
  // ids that are none.
  std::set<std::string> keys = {"a", "b", std::string(16, '\0')};
  std::vector<int64_t> ids = {0, -1, 1, 2, INT64_MAX};
  for (const RunInfo& run : runs) {
    ids.push_back(run.id);
    store->runWithId(run.id, &info, &found);
    store->runWithKey(run.key, &info, &found);
    std::vector<PartInfo> parts;
    store->runParts(run.id, &parts);
    std::vector<RunObject> objects;
    if (!store->runObjects(run.id, kPart, &objects)) continue;
    for (const RunObject& object : objects) {
      if (object.status > StatusFailed) fail("object status " + std::to_string(object.status));
      if (keys.size() < 64) keys.insert(object.key);
    }
  }
  const std::vector<std::string> keyList(keys.begin(), keys.end());
  std::vector<int64_t> since;
  for (const int64_t id : ids) {
    std::vector<RunObject> objects;
    store->runObjects(id, kPart, &objects);
    if (store->failingSince(kPart, keyList, id, "", &since) && since.size() != keyList.size())
      fail("failing since: not one run per key");
  }
  std::vector<RunStatus> statuses;
  if (!store->statuses(kPart, keyList, ids, &statuses)) return;
  if (statuses.size() != keyList.size() * ids.size()) fail("statuses: not one per key and run");
  for (const RunStatus& s : statuses) {
    if (s.last > StatusAbsent || s.seen > 7) fail("statuses: values out of range");
    if (s.last != StatusAbsent && !(s.seen & (1 << s.last))) fail("statuses: last not among seen");
  }
}

void recordInto(const std::string& path, int64_t keep) {
  std::string error;
  std::unique_ptr<HistoryStore> store = openHistory(path, "", HistoryWrite, &error);
  if (!store) return;
  NewRun run;
  run.content = std::string(kDigestTag) + "fuzz";
  run.part = kPart;
  run.info.key = "4711";
  run.info.totals = {1, 1, 1, 3};
  run.objects = {{"a", "a", StatusPassed, ""},
                 {"b", "b", StatusFailed, "x\t(failed 1 of 1 executions)"},
                 {std::string(16, '\0'), "c", StatusNotExecuted, ""}};
  RecordedRun recorded;
  store->record(run, keep, &recorded);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  startApplication(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = scratchPath("history.sqlite");
  static const std::string journal = scratchPath("history.sqlite-journal");
  unlink(path.c_str());
  unlink(journal.c_str());
  const std::string sql(reinterpret_cast<const char*>(data), size);
  const char schema1Line[] = "schema 1\n";
  schema1 = sql.rfind(schema1Line, 0) == 0;
  deflateLeft = kDeflateBudget;
  makeHistory(path, schema1 ? sql.substr(sizeof schema1Line - 1) : sql);
  readEverything(path);
  recordInto(path, 1 + static_cast<int64_t>(size % 2));
  readEverything(path);
  return 0;
}
