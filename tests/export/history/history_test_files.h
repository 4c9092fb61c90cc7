// Shared by the history store's tests: a scratch folder with a history
// path in it, runs made of a few objects, and SQL straight on the file, as
// another program (or damage) would change it.
#pragma once

#include "export/history/history_store.h"

#include "tests/file_bytes.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <zlib.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

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
    auto store = openHistory(path_, access, &error);
    EXPECT_TRUE(store) << error;
    return store;
  }
  // Why the file is refused; the file is expected as it was.
  std::string refusal(HistoryAccess access) {
    const std::string before = readFile(path_);
    std::string error;
    EXPECT_FALSE(openHistory(path_, access, &error));
    EXPECT_TRUE(readFile(path_) == before) << error;
    return error;
  }
  // Runs the statements on the file; the value of the last row's first
  // column, as text.
  std::string sql(const std::string& statements) {
    sqlite3* db = nullptr;
    sqlite3_open(path_.c_str(), &db);
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
  int64_t count(const std::string& table) { return std::stoll(sql("SELECT count(*) FROM " + table)); }

  std::string dir_;
  std::string path_;
};

inline RunObject object(const std::string& key, ObjectStatus status, const std::string& checks = "") {
  return {key, "suite > " + key, status, checks};
}

// A report of these objects, its totals counted from them.
inline NewRun run(const std::string& content, std::vector<RunObject> objects,
                  const std::string& key = "") {
  NewRun r;
  r.content = content;
  r.info.key = key;
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

// The bytes as an SQL blob literal.
inline std::string blob(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string literal = "x'";
  for (const unsigned char c : bytes) {
    literal += digits[c >> 4];
    literal += digits[c & 15];
  }
  return literal + "'";
}
