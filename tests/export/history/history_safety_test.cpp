// What nothing may break in the history store: values of the file that
// are out of bounds make a call fail as damaged, never size or index
// memory; a file with any page lost is refused by record and left as it
// was, as is a file on a full disk; the file alone holds every recorded
// run; and reads cost as much as their answer, not as the whole history.
#include "tests/export/history/history_test_files.h"

#include "export/history/member_list.h"

#include <chrono>
#include <map>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

TEST(MemberList, ReadsBackWhatItWroteAndNoMoreThanItsLimit) {
  const std::string ascending = encodeMembers({1, 2, 3});
  const struct {
    const char* name;
    std::string packed;
    int64_t limit;
    MemberFormat format;
    std::vector<int64_t> ids;  // read before the end or the fault
    const char* fault;         // null: sound
  } cases[] = {
      {"empty", encodeMembers({}), 0, MemberDifferences, {}, nullptr},
      {"report order", encodeMembers({5, 6, 7, 3}), 4, MemberDifferences, {5, 6, 7, 3}, nullptr},
      {"extremes", encodeMembers({INT64_MAX, 1, INT64_MAX}), 3, MemberDifferences, {INT64_MAX, 1, INT64_MAX}, nullptr},
      {"fewer than the limit", ascending, 5, MemberDifferences, {1, 2, 3}, nullptr},
      {"more than the limit", ascending, 2, MemberDifferences, {1, 2}, "hold more ids than its report had objects"},
      {"larger than any list of the limit", std::string(100, 'x'), 1, MemberDifferences, {},
       "hold more ids than its report had objects"},
      {"a bomb of repeats", deflated(std::string(1 << 20, '\0')), 1 << 20, MemberDifferences, {},
       "hold an id out of range"},
      {"a repeat", deflated(std::string("\x02\x00", 2)), 5, MemberDifferences, {1}, "hold an id twice"},
      {"below 1", deflated("\x02\x03"), 5, MemberDifferences, {1}, "hold an id out of range"},
      {"the largest", encodeMembers({INT64_MAX}), 1, MemberDifferences, {INT64_MAX}, nullptr},
      {"past the largest", deflated(std::string("\xfe\xff\xff\xff\xff\xff\xff\xff\xff\x01\x02", 11)), 5,
       MemberDifferences, {INT64_MAX}, "hold an id out of range"},
      {"a varint of 11 bytes", deflated(std::string(10, '\xff') + '\x01'), 5, MemberDifferences, {},
       "are no list of ids"},
      {"cut inside a varint", deflated("\x02\x82"), 5, MemberDifferences, {1}, "are no list of ids"},
      {"cut inside the stream", ascending.substr(0, ascending.size() - 3), 3, MemberDifferences, {1, 2, 3},
       "are no list of ids"},
      {"bytes after the stream", ascending + "x", 3, MemberDifferences, {1, 2, 3}, "are no list of ids"},
      {"not deflated", "\x02\x02\x02", 3, MemberDifferences, {}, "are no list of ids"},
      {"a negative limit", ascending, -1, MemberDifferences, {}, "hold more ids than its report had objects"},
      {"schema 1 gaps", deflated("\x05\x01\x01"), 3, MemberSchema1Gaps, {5, 6, 7}, nullptr},
      {"schema 1 gap of 0", deflated(std::string("\x05\x00", 2)), 3, MemberSchema1Gaps, {5}, "hold an id twice"},
  };
  for (const auto& c : cases) {
    MemberReader reader(c.packed, c.limit, c.format);
    std::vector<int64_t> ids;
    int64_t id;
    while (reader.next(&id)) ids.push_back(id);
    EXPECT_EQ(ids, c.ids) << c.name;
    EXPECT_STREQ(reader.fault(), c.fault) << c.name;
    EXPECT_EQ(reader.count(), static_cast<int64_t>(ids.size())) << c.name;
  }
}

using HistoryFileSafetyTest = HistoryFileTest;
class HistoryDamageTest : public HistoryStoreTest {
 protected:
  void expectDamage(const struct Damage& c);
};

// Objects a b c in run 1; a d, then a again, in the attempts of run 2.
void recordBase(HistoryStore& store) {
  record(store, run("r1", {object("a", StatusPassed), object("b", StatusFailed, "x\t(failed 1 of 1 executions)"),
                           object("c", StatusNotExecuted)}));
  record(store, run("r2", {object("a", StatusFailed), object("d", StatusPassed)}, "k"));
  record(store, run("r2 again", {object("a", StatusFailed)}, "k"));
}

// Every read of the store, each call's error by its name ("" when it
// succeeded).
std::map<std::string, std::string> everyRead(HistoryStore& store) {
  std::map<std::string, std::string> errors;
  auto note = [&](const std::string& name, bool ok) { errors[name] = ok ? "" : store.error(); };
  RunInfo info;
  bool found;
  std::vector<RunInfo> runs;
  std::vector<PartInfo> parts;
  std::vector<RunObject> objects;
  std::vector<RunStatus> statuses;
  std::vector<int64_t> since;
  std::vector<StoredAttempt> attempts;
  int64_t next = 0;
  note("runsBefore", store.runsBefore(RunFilter(), 0, 0, &runs));
  note("runWithKey", store.runWithKey("k", &info, &found));
  note("runWithContent", store.runWithContent("r2", &info, &found));
  note("holdsUntaggedContent", store.holdsUntaggedContent(&found));
  note("attempts", store.attempts(0, 0, &attempts, &next));
  for (const int64_t id : {1, 2}) {
    note("runWithId " + std::to_string(id), store.runWithId(id, &info, &found));
    note("runParts " + std::to_string(id), store.runParts(id, &parts));
    note("runObjects " + std::to_string(id), store.runObjects(id, "report", &objects));
    note("failingSince " + std::to_string(id), store.failingSince("report", {"a", "b", "c", "d"}, id, "", &since));
  }
  note("statuses", store.statuses("report", {"a", "b", "c", "d"}, {1, 2}, &statuses));
  return errors;
}

// A change of the history's rows, the read it breaks and what that read
// says.
struct Damage {
  bool sqliteOnly;  // a value of a type the server's column cannot hold
  std::string change;
  const char* call;
  const char* error;
};

// On a new history of recordBase changed so: the read's error, every other
// read's too, and a record that fails before it changes anything.
void HistoryDamageTest::expectDamage(const Damage& c) {
  if (c.sqliteOnly && postgres_) return;
  renew();
  {
    auto store = open(HistoryWrite);
    recordBase(*store);
  }
  sql(c.change);
  const std::string damaged = state();
  {
    auto store = open(HistoryRead);
    ASSERT_TRUE(store);
    const auto errors = everyRead(*store);
    EXPECT_EQ(errors.at(c.call), c.error) << c.change;
    for (const auto& [call, error] : errors)
      EXPECT_TRUE(error.empty() || error.rfind("damaged: ", 0) == 0 || error.rfind("no run ", 0) == 0)
          << c.change << ": " << call << ": " << error;
  }
  // record reads what it needs, and fails before it changes anything.
  std::string error;
  auto store = openHistory(location_, "", HistoryWrite, &error);
  RecordedRun recorded;
  if (store && !store->record(run("r3", {object("a", StatusPassed), object("e", StatusFailed)}), 1, &recorded))
    error = store->error();
  if (!error.empty()) {
    EXPECT_EQ(error.rfind("damaged: ", 0), 0u) << c.change << ": " << error;
    store.reset();
    EXPECT_EQ(state(), damaged) << c.change;
  }
}

TEST_P(HistoryDamageTest, IdsCountsAndMembersOutOfBoundsAreDamageNotSizes) {
  const std::string bomb = deflated(std::string(51 << 20, '\x02'));  // +1, 53 million times
  const Damage cases[] = {
      {false, "UPDATE objects SET id = -1 WHERE id = 1", "runObjects 1",
       "damaged: the objects of run 1 hold an id no object has"},
      {false, "UPDATE objects SET id = -1 WHERE id = 1", "statuses", "damaged: an object id out of range: -1"},
      {false, "UPDATE objects SET id = 1000000000 WHERE id = 2", "runObjects 1",
       "damaged: the objects of run 1 hold an id no object has"},
      {false, "UPDATE objects SET part = " + bytes("other") + " WHERE id = 2", "runObjects 1",
       "damaged: the objects of run 1 hold an id no object has"},
      {false, "UPDATE attempts SET objects = 2000000000 WHERE id = 1", "runObjects 1",
       "damaged: run 1 counts more objects than the history has"},
      {false, "UPDATE attempts SET objects = 2000000000 WHERE id = 1", "statuses",
       "damaged: the objects of run 1 hold fewer ids than its report had objects"},
      {false, "UPDATE attempts SET objects = -1 WHERE id = 1", "runObjects 1",
       "damaged: the object count of run 1 is out of range"},
      {false, "UPDATE attempts SET objects = 4294967299 WHERE id = 1", "statuses",
       "damaged: the object count of run 1 is out of range"},
      {false, "UPDATE attempts SET objects = 4294967299 WHERE id = 1", "attempts",
       "damaged: the object count of run 1 is out of range"},
      {false, "UPDATE attempts SET members = " + bytes(bomb) + " WHERE id = 1", "runObjects 1",
       "damaged: the objects of run 1 hold more ids than its report had objects"},
      {false, "UPDATE attempts SET members = " + bytes(bomb) + ", objects = 2000000000 WHERE id = 1", "statuses",
       "damaged: the objects of run 1 hold fewer ids than its report had objects"},
      {false, "UPDATE attempts SET members = substr(members, 1, 4) WHERE id = 1", "runObjects 1",
       "damaged: the objects of run 1 are no list of ids"},
      {false, "UPDATE attempts SET members = " + bytes(std::string(1, '\0')) + " WHERE id = 1", "statuses",
       "damaged: the objects of run 1 are no list of ids"},
      {false, "UPDATE attempts SET members = " + bytes(encodeMembers({1, 2, 1})) + " WHERE id = 1", "runObjects 1",
       "damaged: the objects of run 1 hold an id twice"},
      {false, "UPDATE attempts SET objects = 2 WHERE id = 1", "runObjects 1",
       "damaged: the objects of run 1 hold more ids than its report had objects"},
      {false, "UPDATE attempts SET members = " + bytes(encodeMembers({1, 2})) + " WHERE id = 1", "runObjects 1",
       "damaged: the objects of run 1 hold fewer ids than its report had objects"},
  };
  for (const Damage& c : cases) expectDamage(c);
}

TEST_P(HistoryDamageTest, TotalsStatusesAndMissingRowsAreDamage) {
  const Damage cases[] = {
      {false, "UPDATE attempts SET passed = -1 WHERE id = 1", "runsBefore", "damaged: the totals of run 1 are out of range"},
      {false, "UPDATE attempts SET failed = 4294967296 WHERE id = 1", "runWithId 1",
       "damaged: the totals of run 1 are out of range"},
      {false, "UPDATE attempts SET failed = 4294967296 WHERE id = 1", "attempts",
       "damaged: the totals of run 1 are out of range"},
      {true, "UPDATE attempts SET passed = 'one' WHERE id = 1", "runWithId 1",
       "damaged: the totals of run 1 are out of range"},
      {false, "UPDATE attempts SET total = 4 WHERE id = 1", "runWithId 1", "damaged: the totals of run 1 do not add up"},
      {false, "UPDATE attempts SET total = 4 WHERE id = 1", "runParts 1", "damaged: the totals of run 1 do not add up"},
      {false, "UPDATE attempts SET total = 2 WHERE id = 3", "runWithKey", "damaged: the totals of run 2 do not add up"},
      {false, "UPDATE results SET status = 7 WHERE attempt = 1", "runObjects 1", "damaged: a result of run 1 has status 7"},
      {false, "UPDATE results SET status = 0 WHERE attempt = 3", "failingSince 2", "damaged: a result of run 2 has status 0"},
      {true, "UPDATE results SET status = 'F' WHERE attempt = 3", "statuses", "damaged: a result has status F"},
      {false, "INSERT INTO results(attempt, object, status, checks) VALUES(1, 4, 2, " + bytes("x") + ")",
       "runObjects 1", "damaged: a result of run 1 names an object not in it"},
      {false, "DELETE FROM attempts WHERE run = 2", "runWithId 2", "damaged: run 2 has no attempt"},
      {false, "DELETE FROM attempts WHERE run = 2", "runObjects 2", "damaged: run 2 has no attempt"},
      {false, "DELETE FROM attempts WHERE run = 2", "failingSince 2", "damaged: run 2 has no attempt"},
      {false, "UPDATE runs SET id = -5 WHERE id = 1", "runsBefore", "damaged: a run id out of range: -5"},

  };
  for (const Damage& c : cases) expectDamage(c);
}

INSTANTIATE_TEST_SUITE_P(Stores, HistoryDamageTest, testing::Values("sqlite", "postgres"));

// A history of a few runs with overflow pages (a long check) and an index
// of more than one level, about 40 pages.
void recordPages(HistoryStore& store) {
  for (int r = 0; r < 3; ++r) {
    std::vector<RunObject> objects = manyObjects(400, "run " + std::to_string(r % 2) + " ");
    objects[0].checks = std::string(10000, 'c');
    record(store, run(std::to_string(r), objects), 2);
  }
}

TEST_F(HistoryFileSafetyTest, RecordRefusesAFileWithAnyPageLostAndLeavesItAsItWas) {
  {
    auto store = open(HistoryWrite);
    recordPages(*store);
  }
  const std::string sound = readFile(path_);
  const size_t page = 4096;
  ASSERT_EQ(sound.size() % page, 0u);
  printf("[ pages    ] %zu\n", sound.size() / page);
  for (size_t at = 0; at < sound.size(); at += page) {
    std::string lost = sound;
    lost.replace(at, page, page, '\0');
    writeFile(path_, lost);
    std::string error;
    auto store = openHistory(path_, "", HistoryWrite, &error);
    RecordedRun recorded;
    if (store && !store->record(run("new", manyObjects(10)), 0, &recorded)) error = store->error();
    EXPECT_FALSE(error.empty()) << "page " << at / page + 1 << " lost, and record took the file";
    store.reset();
    EXPECT_TRUE(readFile(path_) == lost) << "page " << at / page + 1;
  }
}

TEST_F(HistoryFileSafetyTest, AStoreChecksTheFileAgainOnceAnotherConnectionWroteIt) {
  // Records of one store after its own are not checked again (a copy
  // records thousands), unless another connection wrote meanwhile: here a
  // long value that no longer matches its sum.
  auto store = open(HistoryWrite);
  recordPages(*store);
  record(*store, run("again", manyObjects(10)));
  sql("UPDATE results SET checks = 'x' WHERE sum IS NOT NULL");
  const std::string changed = readFile(path_);
  RecordedRun recorded;
  EXPECT_FALSE(store->record(run("new", manyObjects(10)), 0, &recorded));
  EXPECT_EQ(store->error(), "damaged: a row of results does not match its sum");
  EXPECT_TRUE(readFile(path_) == changed);
}

TEST_F(HistoryFileSafetyTest, AFullDiskLeavesTheFileAsItWas) {
  {
    auto store = open(HistoryWrite);
    for (int r = 0; r < 2; ++r) record(*store, run(std::to_string(r), manyObjects(2000)));
  }
  const std::string before = readFile(path_);
  const struct {
    const char* room;
    rlim_t limit;
  } cases[] = {
      {"none for the journal", 0},
      {"none to grow", before.size()},
      {"a page to grow", before.size() + 4096},
  };
  for (const auto& c : cases) {
    const pid_t child = fork();
    if (child == 0) {
      // As on a full disk: writes beyond the limit fail with EFBIG.
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit = {c.limit, c.limit};
      setrlimit(RLIMIT_FSIZE, &limit);
      std::string error;
      auto store = openHistory(path_, "", HistoryWrite, &error);
      RecordedRun recorded;
      // Large enough that SQLite writes pages into the file before the commit.
      _exit(store && store->record(run("big", manyObjects(30000, "new ")), 0, &recorded) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << c.room << ": " << status;
    EXPECT_TRUE(readFile(path_) == before) << c.room;
    EXPECT_NE(access((path_ + "-journal").c_str(), F_OK), 0) << c.room;
  }
  auto store = open(HistoryWrite);
  EXPECT_EQ(record(*store, run("big", manyObjects(3000, "new "))).run, 3);
}

TEST_F(HistoryFileSafetyTest, TheFileAloneHoldsEveryRecordedRun) {
  auto store = open(HistoryWrite);
  const std::string copy = dir_ + "/copy.sqlite";
  for (int r = 1; r <= 4; ++r) {
    record(*store, run(std::to_string(r), manyObjects(500 * r)), r == 4 ? 2 : 0);
    // What CI caches while the store is still open: the file, nothing beside.
    writeFile(copy, readFile(path_));
    std::string error;
    auto alone = openHistory(copy, "", HistoryRead, &error);
    ASSERT_TRUE(alone) << error;
    std::vector<RunObject> objects;
    ASSERT_TRUE(alone->runObjects(r, "report", &objects)) << alone->error();
    EXPECT_EQ(objects.size(), 500u * r);
    alone.reset();
    unlink(copy.c_str());
  }
}

// Reads on a history of runs runs, each of one attempt of objects a, b and
// c; a failing in the last three.
class HistoryCost {
 public:
  HistoryCost(HistoryFileTest& files, int64_t runs) : runs_(runs) {
    files.open(HistoryWrite);
    const std::string n = std::to_string(runs);
    files.sql("BEGIN;"
              "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + n + ")"
              " INSERT INTO runs SELECT i, '', '', 'key ' || i FROM n;"
              "INSERT INTO attempts SELECT id, id, 'report', CAST('sha256:' || id AS BLOB), '2026-12-07T09:30:12',"
              " 'label', 2, 0, 1, 3, 3, " + blob(encodeMembers({1, 2, 3})) + ", NULL FROM runs;"
              "INSERT INTO objects VALUES(1, '', 'report', x'61', 'a', NULL), (2, '', 'report', x'62', 'b', NULL),"
              " (3, '', 'report', x'63', 'c', NULL);"
              "INSERT INTO results SELECT id, 1, 2, 'x', NULL, 0 FROM runs WHERE id > " + std::to_string(runs - 3) + ";"
              "COMMIT");
    std::string error;
    store_ = openHistory(files.path_, "", HistoryRead, &error);
    EXPECT_TRUE(store_) << error;
  }
  // Seconds for 200 calls of the read.
  double seconds(const std::string& read) {
    const auto start = std::chrono::steady_clock::now();
    RunInfo info;
    bool found = false;
    std::vector<RunInfo> runs;
    std::vector<RunObject> objects;
    std::vector<RunStatus> statuses;
    std::vector<int64_t> since;
    std::vector<int64_t> lastRuns;
    for (int64_t i = runs_ - 49; i <= runs_; ++i) lastRuns.push_back(i);
    const std::string middle = std::to_string(runs_ / 2);
    const std::string part = "report";
    for (int i = 0; i < 200; ++i) {
      const bool ok =
          read == "runsBefore newest" ? store_->runsBefore(RunFilter(), 0, 50, &runs)
          : read == "runsBefore middle" ? store_->runsBefore({nullptr, &part}, runs_ / 2, 50, &runs)
          : read == "runWithKey" ? store_->runWithKey("key " + middle, &info, &found) && found
          : read == "runWithContent" ? store_->runWithContent("sha256:" + middle, &info, &found) && found
          : read == "holdsUntaggedContent" ? store_->holdsUntaggedContent(&found) && !found
          : read == "failingSince" ? store_->failingSince(part, {"a", "b"}, runs_, "", &since) && since[0] == runs_ - 2
          : read == "statuses" ? store_->statuses(part, {"a", "b"}, lastRuns, &statuses)
                               : store_->runObjects(runs_, part, &objects) && objects.size() == 3;
      EXPECT_TRUE(ok) << read << ": " << store_->error();
      if (!ok) break;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

 private:
  int64_t runs_;
  std::unique_ptr<HistoryStore> store_;
};

TEST_F(HistoryFileSafetyTest, ReadsCostAsMuchAsTheirAnswerNotAsTheHistory) {
  HistoryCost small(*this, 1000);
  path_ = dir_ + "/large.sqlite";
  HistoryCost large(*this, 100000);
  for (const char* read : {"runsBefore newest", "runsBefore middle", "runWithKey", "runWithContent",
                           "holdsUntaggedContent", "failingSince", "statuses", "runObjects"}) {
    const double a = small.seconds(read), b = large.seconds(read);
    printf("[ cost     ] %-22s 1,000 runs %8.5f s, 100,000 runs %8.5f s\n", read, a, b);
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LE(b, 3 * a + 0.01) << read;
#endif
  }
}

}  // namespace
