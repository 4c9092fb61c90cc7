// The history store on real files: what a run keeps, that a report counts
// once, what --keep drops, and that files which are no history are refused
// and left byte for byte as they were.
#include "export/history/history_store.h"

#include "tests/file_bytes.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

namespace {

class HistoryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/history_store_testXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    path_ = dir_ + "/history.sqlite";
  }
  void TearDown() override {
    ASSERT_EQ(system(("rm -rf " + dir_).c_str()), 0);
  }

  std::unique_ptr<HistoryStore> open(HistoryAccess access) {
    std::string error;
    auto store = openHistory(path_, access, &error);
    EXPECT_TRUE(store) << error;
    return store;
  }
  std::string refusal(HistoryAccess access) {
    std::string error;
    EXPECT_FALSE(openHistory(path_, access, &error));
    return error;
  }
  void write(const std::string& bytes) { writeFile(path_, bytes); }
  int64_t count(const char* table) {
    sqlite3* db;
    sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt;
    sqlite3_prepare_v2(db, (std::string("SELECT count(*) FROM ") + table).c_str(), -1, &stmt, nullptr);
    sqlite3_step(stmt);
    const int64_t n = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return n;
  }

  std::string dir_;
  std::string path_;
};

RunObject object(const std::string& key, ResultStatus status, const std::string& checks = "") {
  return {key, "suite > " + key, status, checks};
}

NewRun run(const std::string& content, std::vector<RunObject> objects) {
  NewRun r;
  r.content = content;
  r.info.generated = "2026-12-07T09:30:12";
  r.info.label = "commit " + content;
  for (const RunObject& o : objects) {
    r.info.totals.passed += o.status == ResultPassed;
    r.info.totals.inconclusive += o.status == ResultNotExecuted;
    r.info.totals.failed += o.status == ResultFailed;
  }
  r.info.totals.total = static_cast<int64_t>(objects.size());
  r.objects = std::move(objects);
  return r;
}

int64_t add(HistoryStore& store, const NewRun& r, int64_t keep = 0, bool wantAdded = true) {
  int64_t id = 0;
  bool added = false;
  EXPECT_TRUE(store.addRun(r, keep, &id, &added)) << store.error();
  EXPECT_EQ(added, wantAdded);
  return id;
}

TEST_F(HistoryStoreTest, KeepsEachRunsObjectsStatusesAndChecks) {
  auto store = open(HistoryWrite);
  add(*store, run("r1", {object("a", ResultPassed), object("b", ResultFailed, "x == 1")}));
  add(*store, run("r2", {object("b", ResultPassed), object("c", ResultNotExecuted)}));

  std::vector<RunInfo> runs;
  std::vector<std::string> contents;
  ASSERT_TRUE(store->runs(&runs, &contents));
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].id, 1);
  EXPECT_EQ(runs[1].id, 2);
  EXPECT_EQ(runs[0].label, "commit r1");
  EXPECT_EQ(runs[0].generated, "2026-12-07T09:30:12");
  EXPECT_EQ(runs[0].totals.failed, 1);
  EXPECT_EQ(runs[1].totals.inconclusive, 1);
  EXPECT_EQ(contents, (std::vector<std::string>{"r1", "r2"}));

  std::vector<RunObject> objects;
  ASSERT_TRUE(store->runObjects(1, &objects));
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(objects[0].key, "a");
  EXPECT_EQ(objects[0].status, ResultPassed);
  EXPECT_EQ(objects[1].path, "suite > b");
  EXPECT_EQ(objects[1].status, ResultFailed);
  EXPECT_EQ(objects[1].checks, "x == 1");

  std::vector<ResultStatus> s;
  ASSERT_TRUE(store->statuses({"a", "b", "c", "unknown"}, {1, 2}, &s));
  EXPECT_EQ(s, (std::vector<ResultStatus>{ResultPassed, ResultAbsent, ResultFailed, ResultPassed,
                                         ResultAbsent, ResultNotExecuted, ResultAbsent,
                                         ResultAbsent}));
  EXPECT_EQ(count("objects"), 3);
  EXPECT_EQ(count("results"), 2);  // only what did not pass
}

TEST_F(HistoryStoreTest, TheSameReportTwiceAddsNothing) {
  auto store = open(HistoryWrite);
  EXPECT_EQ(add(*store, run("r1", {object("a", ResultFailed)})), 1);
  EXPECT_EQ(add(*store, run("r1", {object("a", ResultFailed)}), 0, false), 1);
  EXPECT_EQ(count("runs"), 1);
  EXPECT_EQ(count("results"), 1);
}

TEST_F(HistoryStoreTest, ARepeatedKeyInOneRunCountsOnce) {
  auto store = open(HistoryWrite);
  add(*store, run("r1", {object("a", ResultFailed), object("a", ResultPassed)}));
  std::vector<RunObject> objects;
  ASSERT_TRUE(store->runObjects(1, &objects));
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_EQ(objects[0].status, ResultFailed);
}

TEST_F(HistoryStoreTest, KeepDropsOlderRunsAndTheObjectsOnlyTheyHeld) {
  auto store = open(HistoryWrite);
  add(*store, run("r1", {object("gone", ResultFailed), object("stays", ResultFailed)}));
  add(*store, run("r2", {object("stays", ResultFailed)}));
  add(*store, run("r3", {object("stays", ResultPassed), object("new", ResultPassed)}), 2);
  std::vector<RunInfo> runs;
  ASSERT_TRUE(store->runs(&runs, nullptr));
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].id, 2);
  EXPECT_EQ(count("objects"), 2);
  EXPECT_EQ(count("results"), 1);
  std::vector<RunObject> objects;
  EXPECT_FALSE(store->runObjects(1, &objects));
  EXPECT_EQ(store->error(), "no run 1");
}

TEST_F(HistoryStoreTest, AnEmptyFileBecomesAHistory) {
  write("");
  auto store = open(HistoryWrite);
  add(*store, run("r1", {object("a", ResultPassed)}));
}

TEST_F(HistoryStoreTest, AMissingFileIsCreatedForWritingOnly) {
  EXPECT_EQ(refusal(HistoryRead), "cannot open: No such file or directory");
  EXPECT_NE(access(path_.c_str(), F_OK), 0);
  open(HistoryWrite);
  EXPECT_EQ(access(path_.c_str(), F_OK), 0);
  // No temporary file is left beside it.
  EXPECT_EQ(system(("test $(ls -A " + dir_ + " | wc -l) = 1").c_str()), 0);
}

TEST_F(HistoryStoreTest, FilesThatAreNoHistoryAreRefusedAndLeftAsTheyWere) {
  write("<XROD><APIDOC/></XROD>\n");
  EXPECT_EQ(refusal(HistoryWrite), "not a history file (not SQLite)");
  EXPECT_EQ(refusal(HistoryRead), "not a history file (not SQLite)");
  EXPECT_EQ(readFile(path_), "<XROD><APIDOC/></XROD>\n");

  unlink(path_.c_str());
  sqlite3* db;
  sqlite3_open(path_.c_str(), &db);
  sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  const std::string foreign = readFile(path_);
  EXPECT_EQ(refusal(HistoryWrite), "not a history file (an SQLite database of another kind)");
  EXPECT_EQ(refusal(HistoryRead), "not a history file (an SQLite database of another kind)");
  EXPECT_EQ(readFile(path_), foreign);
}

TEST_F(HistoryStoreTest, ANewerSchemaIsRefusedAndLeftAsItWas) {
  open(HistoryWrite);
  sqlite3* db;
  sqlite3_open(path_.c_str(), &db);
  sqlite3_exec(db, "PRAGMA journal_mode = DELETE; PRAGMA user_version = 7", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  const std::string newer = readFile(path_);
  const char message[] = "made by a newer veldora-export (schema 7; this one knows up to 1)";
  EXPECT_EQ(refusal(HistoryWrite), message);
  EXPECT_EQ(refusal(HistoryRead), message);
  EXPECT_EQ(readFile(path_), newer);
}

TEST_F(HistoryStoreTest, ADamagedHistoryFailsAndIsLeftAsItWas) {
  {
    auto store = open(HistoryWrite);
    std::vector<RunObject> many;
    for (int i = 0; i < 3000; ++i) many.push_back(object("object " + std::to_string(i), ResultFailed, "a check"));
    add(*store, run("r1", many));
  }
  std::string bytes = readFile(path_);
  ASSERT_GT(bytes.size(), 40000u);
  for (size_t i = 8192; i < bytes.size(); i += 4096) bytes.replace(i + 8, 64, 64, '\x5a');
  write(bytes);
  std::string error;
  auto store = openHistory(path_, HistoryWrite, &error);
  bool broken = !store;
  if (store) {
    int64_t id;
    bool added;
    broken = !store->addRun(run("r2", {object("object 5", ResultPassed)}), 0, &id, &added);
    error = store->error();
  }
  EXPECT_TRUE(broken);
  EXPECT_NE(error.find("malformed"), std::string::npos) << error;
  store.reset();
  EXPECT_EQ(readFile(path_), bytes);
}

}  // namespace
