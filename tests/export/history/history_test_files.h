// Shared by the history store's tests: a history to test on, in a file
// (SQLite) in a scratch folder or in a schema of its own on the tests'
// PostgreSQL server (test_server.py writes its URL to the build folder's
// postgres/url), with SQL straight on it as another program (or damage)
// would change it; and runs made of a few objects.
//
//   INSTANTIATE_TEST_SUITE_P(Stores, HistoryStoreTest, testing::Values("sqlite", "postgres"));
//   auto store = open(HistoryWrite);
//   sql("UPDATE attempts SET members = " + blob("\x02") + " WHERE id = 1");
#pragma once

#include "export/history/history_store.h"

#include "tests/file_bytes.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

// Runs the statements on the file; the value of the last row's first
// column, as text.
inline std::string sqliteSql(const std::string& path, const std::string& statements) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  std::string last;
  char* error = nullptr;
  const int rc = sqlite3_exec(
      db, statements.c_str(),
      [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) = values[0] ? values[0] : "";
        return 0;
      },
      &last, &error);
  EXPECT_EQ(rc, SQLITE_OK) << statements << ": " << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
  return last;
}

// The same on a server: the last row's first column of the last result.
inline std::string postgresSql(const std::string& url, const std::string& statements) {
  PGconn* conn = PQconnectdb(url.c_str());
  EXPECT_EQ(PQstatus(conn), CONNECTION_OK) << PQerrorMessage(conn);
  PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
  PGresult* result = PQexec(conn, statements.c_str());
  const ExecStatusType status = PQresultStatus(result);
  EXPECT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) << statements << ": " << PQerrorMessage(conn);
  std::string last;
  if (status == PGRES_TUPLES_OK && PQntuples(result) > 0) last = PQgetvalue(result, PQntuples(result) - 1, 0);
  PQclear(result);
  PQfinish(conn);
  return last;
}

// The URL of the tests' server, empty when none was started.
inline std::string testServerUrl() {
  std::string url = readFile(std::string(VELDORA_BUILD_DIR) + "/postgres/url");
  while (!url.empty() && url.back() == '\n') url.pop_back();
  return url;
}

inline std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (const unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// The bytes as an SQLite blob literal.
inline std::string blob(const std::string& bytes) { return "x'" + hex(bytes) + "'"; }

class HistoryFileTest : public ::testing::Test {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/history_store_testXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    path_ = dir_ + "/history.sqlite";
  }
  void TearDown() override { ASSERT_EQ(system(("rm -rf " + dir_).c_str()), 0); }

  std::unique_ptr<HistoryStore> open(HistoryAccess access) {
    std::string error;
    auto store = openHistory(path_, "", access, &error);
    EXPECT_TRUE(store) << error;
    return store;
  }
  // Why the file is refused; the file is expected as it was.
  std::string refusal(HistoryAccess access) {
    const std::string before = readFile(path_);
    std::string error;
    EXPECT_FALSE(openHistory(path_, "", access, &error));
    EXPECT_TRUE(readFile(path_) == before) << error;
    return error;
  }
  std::string sql(const std::string& statements) { return sqliteSql(path_, statements); }
  int64_t count(const std::string& table) { return std::stoll(sql("SELECT count(*) FROM " + table)); }

  std::string dir_;
  std::string path_;
};

// The same test on either store: "sqlite" or "postgres".
class HistoryStoreTest : public ::testing::TestWithParam<const char*> {
 public:
  void SetUp() override {
    postgres_ = std::string(GetParam()) == "postgres";
    char pattern[] = "/tmp/history_store_testXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    if (!postgres_) {
      location_ = dir_ + "/history.sqlite";
      return;
    }
    server_ = testServerUrl();
    if (server_.empty()) GTEST_SKIP() << "no test server: run through ctest, which starts one";
    static int number = 0;
    schema_ = "history_" + std::to_string(getpid()) + "_" + std::to_string(++number);
    location_ = server_ + "?options=-csearch_path%3D" + schema_;
    postgresSql(server_, "DROP SCHEMA IF EXISTS " + schema_ + " CASCADE; CREATE SCHEMA " + schema_);
  }
  void TearDown() override {
    if (!schema_.empty()) postgresSql(server_, "DROP SCHEMA " + schema_ + " CASCADE");
    ASSERT_EQ(system(("rm -rf " + dir_).c_str()), 0);
  }

  // A new, empty history at the same location.
  void renew() {
    if (postgres_) postgresSql(server_, "DROP SCHEMA " + schema_ + " CASCADE; CREATE SCHEMA " + schema_);
    else unlink(location_.c_str());
  }
  std::unique_ptr<HistoryStore> open(HistoryAccess access, const std::string& project = "") {
    std::string error;
    auto store = openHistory(location_, project, access, &error);
    EXPECT_TRUE(store) << error;
    return store;
  }
  // Why the history is refused; it is expected as it was.
  std::string refusal(HistoryAccess access) {
    const std::string before = state();
    std::string error;
    EXPECT_FALSE(openHistory(location_, "", access, &error));
    EXPECT_EQ(state(), before) << error;
    return error;
  }
  std::string sql(const std::string& statements) {
    return postgres_ ? postgresSql(location_, statements) : sqliteSql(location_, statements);
  }
  int64_t count(const std::string& table) { return std::stoll(sql("SELECT count(*) FROM " + table)); }
  // The bytes as a literal of the store's SQL.
  std::string bytes(const std::string& value) {
    return postgres_ ? "'\\x" + hex(value) + "'::bytea" : blob(value);
  }
  // All of the history, to tell that nothing changed: the file's bytes, or
  // each table's rows.
  std::string state() {
    if (!postgres_) return readFile(location_);
    std::string all;
    const std::string tables = sql(
        "SELECT string_agg(tablename, ' ' ORDER BY tablename) FROM pg_tables WHERE schemaname = '" + schema_ + "'");
    for (size_t start = 0; start < tables.size();) {
      const size_t end = std::min(tables.find(' ', start), tables.size());
      const std::string table = tables.substr(start, end - start);
      all += table + ": " + sql("SELECT md5(coalesce(string_agg(t::text, ',' ORDER BY t::text), '')) FROM " + table + " t") + "\n";
      start = end + 1;
    }
    return all;
  }

  bool postgres_ = false;
  std::string dir_;
  std::string location_;
  std::string server_;
  std::string schema_;
};

inline RunObject object(const std::string& key, ObjectStatus status, const std::string& checks = "") {
  return {key, "suite > " + key, status, checks};
}

// A report of these objects, its totals counted from them.
inline NewRun run(const std::string& content, std::vector<RunObject> objects, const std::string& key = "",
                  const std::string& part = "report", const std::string& branch = "") {
  NewRun r;
  r.content = content;
  r.part = part;
  r.info.key = key;
  r.info.branch = branch;
  r.info.generated = "2026-12-07T09:30:12";
  r.info.label = "commit " + content;
  for (const RunObject& o : objects) {
    r.info.totals.passed += o.status == StatusPassed;
    r.info.totals.inconclusive += o.status == StatusNotExecuted;
    r.info.totals.failed += o.status == StatusFailed;
  }
  r.info.totals.total = r.info.totals.passed + r.info.totals.inconclusive + r.info.totals.failed;
  r.objects = std::move(objects);
  return r;
}

// n objects "object 0" ... with long paths, every third failed.
inline std::vector<RunObject> manyObjects(int n, const std::string& prefix = "object ") {
  std::vector<RunObject> objects;
  for (int i = 0; i < n; ++i)
    objects.push_back({prefix + std::to_string(i), std::string(80, 'p') + std::to_string(i),
                       i % 3 == 0 ? StatusFailed : StatusPassed,
                       i % 3 == 0 ? "size() == n\t(failed 1 of 3 executions)" : ""});
  return objects;
}

inline RecordedRun record(HistoryStore& store, const NewRun& r, int64_t keep = 0) {
  RecordedRun recorded;
  EXPECT_TRUE(store.record(r, keep, &recorded)) << store.error();
  return recorded;
}

inline std::string deflated(const std::string& bytes) {
  uLongf size = compressBound(bytes.size());
  std::string packed(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&packed[0]), &size,
            reinterpret_cast<const Bytef*>(bytes.data()), bytes.size(), 9);
  packed.resize(size);
  return packed;
}

inline std::vector<int64_t> ids(const std::vector<RunInfo>& runs) {
  std::vector<int64_t> result;
  for (const RunInfo& r : runs) result.push_back(r.id);
  return result;
}

// Every run of the store's project, oldest first.
inline std::vector<RunInfo> allRuns(HistoryStore& store) {
  std::vector<RunInfo> runs;
  EXPECT_TRUE(store.runsBefore(RunFilter(), 0, 0, &runs)) << store.error();
  return runs;
}
