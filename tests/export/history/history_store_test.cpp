// The history store on real files: runs and their attempts, the lookups,
// statuses over attempts that disagree, failing streaks, what --keep drops
// and gives back, the schema-1 files of earlier versions, files that are
// no history, and readers that see one state beside a writer.
#include "tests/export/history/history_test_files.h"

#include "tests/export/history/schema1.h"

#include <chrono>
#include <thread>

namespace {

using HistoryStoreTest = HistoryFileTest;

std::vector<int64_t> ids(const std::vector<RunInfo>& runs) {
  std::vector<int64_t> result;
  for (const RunInfo& r : runs) result.push_back(r.id);
  return result;
}

TEST_F(HistoryStoreTest, AKeyMakesAttemptsOfOneRunAndEqualBytesNeverMerge) {
  auto store = open(HistoryWrite);
  const struct {
    const char* key;
    const char* content;
    RecordedRun recorded;
  } records[] = {
      {"", "c1", {1, 1}},     {"4711", "c2", {2, 1}}, {"", "c1", {3, 1}},
      {"4711", "c3", {2, 2}}, {"4712", "c1", {4, 1}}, {"4711", "c4", {2, 3}},
  };
  for (const auto& r : records) {
    NewRun next = run(r.content, {object("a", StatusPassed)}, r.key);
    next.info.label = std::string("label ") + r.content;
    const RecordedRun recorded = record(*store, next);
    EXPECT_EQ(recorded.run, r.recorded.run) << r.key << " " << r.content;
    EXPECT_EQ(recorded.attempt, r.recorded.attempt) << r.key << " " << r.content;
  }
  std::vector<RunInfo> runs;
  ASSERT_TRUE(store->runsBefore(0, 0, &runs)) << store->error();
  EXPECT_EQ(ids(runs), (std::vector<int64_t>{1, 2, 3, 4}));
  EXPECT_EQ(runs[1].attempts, 3);
  EXPECT_EQ(runs[1].label, "label c4");  // the run shows its last attempt
  EXPECT_EQ(runs[1].key, "4711");
  EXPECT_EQ(runs[0].attempts, 1);

  const struct {
    const char* how;
    std::string value;
    int64_t run;  // 0: none
  } lookups[] = {
      {"key", "4711", 2},   {"key", "4712", 4}, {"key", "", 0},     {"key", "4713", 0},
      {"id", "3", 3},       {"id", "9", 0},     {"id", "0", 0},     {"content", "c1", 4},
      {"content", "c3", 2}, {"content", "c", 0},
  };
  for (const auto& l : lookups) {
    RunInfo found;
    bool present = true;
    const std::string how = l.how;
    ASSERT_TRUE(how == "key"  ? store->runWithKey(l.value, &found, &present)
                : how == "id" ? store->runWithId(std::stoll(l.value), &found, &present)
                              : store->runWithContent(l.value, &found, &present))
        << store->error();
    EXPECT_EQ(present ? found.id : 0, l.run) << how << " " << l.value;
  }
}

TEST_F(HistoryStoreTest, AnAttemptsObjectsComeInReportOrderWithTheirResults) {
  auto store = open(HistoryWrite);
  record(*store, run("r1", {object("a", StatusPassed), object("b", StatusFailed, "x == 1\t(failed 1 of 3 executions)"),
                            object("c", StatusNotExecuted)}));
  // New objects between known ones, a key named twice (its first counts)
  // and one the run does not hold.
  record(*store, run("r2", {object("d", StatusPassed), object("b", StatusFailed, "the title"),
                            object("a", StatusPassed), object("b", StatusPassed),
                            object("e", StatusAbsent)}));
  const struct {
    int64_t run;
    std::vector<RunObject> objects;
  } cases[] = {
      {1, {object("a", StatusPassed), object("b", StatusFailed, "x == 1\t(failed 1 of 3 executions)"),
           object("c", StatusNotExecuted)}},
      {2, {object("d", StatusPassed), object("b", StatusFailed, "the title"), object("a", StatusPassed)}},
  };
  for (const auto& c : cases) {
    std::vector<RunObject> objects;
    ASSERT_TRUE(store->runObjects(c.run, &objects)) << store->error();
    ASSERT_EQ(objects.size(), c.objects.size()) << "run " << c.run;
    for (size_t i = 0; i < objects.size(); ++i) {
      EXPECT_EQ(objects[i].key, c.objects[i].key) << "run " << c.run << " object " << i;
      EXPECT_EQ(objects[i].path, c.objects[i].path);
      EXPECT_EQ(objects[i].status, c.objects[i].status) << c.objects[i].key;
      EXPECT_EQ(objects[i].checks, c.objects[i].checks);
    }
  }
  std::vector<RunObject> none;
  EXPECT_FALSE(store->runObjects(3, &none));
  EXPECT_EQ(store->error(), "no run 3");
  EXPECT_EQ(count("objects"), 4);
  EXPECT_EQ(count("results"), 3);  // only what did not pass
}

constexpr uint8_t bit(ObjectStatus s) { return static_cast<uint8_t>(1 << s); }

TEST_F(HistoryStoreTest, StatusesShowTheLastAttemptAndEveryAttemptsStatus) {
  auto store = open(HistoryWrite);
  // Run 1, attempt 1: a failed, b passed; attempt 2: a passed, c not executed.
  record(*store, run("1", {object("a", StatusFailed), object("b", StatusPassed)}, "k1"));
  record(*store, run("2", {object("a", StatusPassed), object("c", StatusNotExecuted)}, "k1"));
  record(*store, run("3", {object("a", StatusFailed)}));
  const std::vector<std::string> keys = {"a", "b", "c", "unknown", "a"};
  const std::vector<int64_t> runs = {1, 2, 9};
  const RunStatus absent;
  const std::vector<RunStatus> expected = {
      {StatusPassed, bit(StatusPassed) | bit(StatusFailed)}, {StatusFailed, bit(StatusFailed)}, absent,
      {StatusAbsent, bit(StatusPassed)}, absent, absent,
      {StatusNotExecuted, bit(StatusNotExecuted)}, absent, absent,
      absent, absent, absent,
      {StatusPassed, bit(StatusPassed) | bit(StatusFailed)}, {StatusFailed, bit(StatusFailed)}, absent,
  };
  std::vector<RunStatus> statuses;
  ASSERT_TRUE(store->statuses(keys, runs, &statuses)) << store->error();
  ASSERT_EQ(statuses.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(statuses[i].last, expected[i].last) << keys[i / runs.size()] << " in run " << runs[i % runs.size()];
    EXPECT_EQ(statuses[i].seen, expected[i].seen) << keys[i / runs.size()] << " in run " << runs[i % runs.size()];
  }
}

TEST_F(HistoryStoreTest, FailingSinceIsTheStartOfTheStreakOfLastAttempts) {
  auto store = open(HistoryWrite);
  // One column per run, 1 to 7; '-': not in that run. Run 5 has a second
  // attempt in which everything passed.
  const struct {
    const char* key;
    const char* statuses;
  } objects[] = {{"x", "FFPFFFF"}, {"y", "FF-FFFF"}, {"z", "FFFFFFP"}, {"w", "FFFFFFF"}};
  for (int r = 0; r < 7; ++r) {
    std::vector<RunObject> o;
    for (const auto& object_ : objects)
      if (object_.statuses[r] != '-')
        o.push_back(object(object_.key, object_.statuses[r] == 'F' ? StatusFailed : StatusPassed));
    record(*store, run(std::to_string(r), o, "k" + std::to_string(r)));
    if (r == 4) {
      for (RunObject& each : o) each.status = StatusPassed;
      record(*store, run("retried", o, "k4"));
    }
  }
  const struct {
    int64_t last;
    std::vector<int64_t> since;  // of x, y, z, w, unknown
  } cases[] = {
      {7, {6, 6, 0, 6, 0}}, {6, {6, 6, 6, 6, 0}}, {4, {4, 4, 1, 1, 0}},
      {2, {1, 1, 1, 1, 0}}, {3, {0, 0, 1, 1, 0}}, {8, {0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    std::vector<int64_t> since;
    ASSERT_TRUE(store->failingSince({"x", "y", "z", "w", "unknown"}, c.last, &since)) << store->error();
    EXPECT_EQ(since, c.since) << "up to run " << c.last;
  }
}

TEST_F(HistoryStoreTest, RunsBeforeAreTheNewestBelowOldestFirst) {
  auto store = open(HistoryWrite);
  for (int i = 1; i <= 5; ++i) record(*store, run(std::to_string(i), {object("a", StatusPassed)}));
  const struct {
    int64_t before;
    size_t count;
    std::vector<int64_t> runs;
  } cases[] = {
      {0, 0, {1, 2, 3, 4, 5}}, {0, 2, {4, 5}}, {4, 2, {2, 3}}, {2, 5, {1}},
      {1, 3, {}},              {100, 1, {5}},  {-3, 1, {5}},
  };
  for (const auto& c : cases) {
    std::vector<RunInfo> runs(3);
    ASSERT_TRUE(store->runsBefore(c.before, c.count, &runs)) << store->error();
    EXPECT_EQ(ids(runs), c.runs) << c.before << ", " << c.count;
  }
}

TEST_F(HistoryStoreTest, UntaggedContentIsFoundOnEitherSideOfTheTag) {
  const std::string tagged = std::string(kDigestTag) + std::string(32, '\x01');
  const struct {
    std::string content;
    bool untagged;
  } cases[] = {
      {tagged, false}, {std::string(32, '\xfe'), true}, {std::string(32, '\x01'), true},
      {"sha256", true}, {"sha256;", true}, {"sha255:", true},
  };
  for (const auto& c : cases) {
    unlink(path_.c_str());
    auto store = open(HistoryWrite);
    record(*store, run(tagged, {}));
    record(*store, run(c.content, {}));
    bool holds = !c.untagged;
    ASSERT_TRUE(store->holdsUntaggedContent(&holds)) << store->error();
    EXPECT_EQ(holds, c.untagged) << c.content;
  }
}

TEST_F(HistoryStoreTest, KeepDropsOlderRunsWhatOnlyTheyHeldAndShrinksTheFile) {
  {
    auto store = open(HistoryWrite);
    for (int i = 0; i < 4; ++i) record(*store, run(std::to_string(i), manyObjects(3000, "run " + std::to_string(i) + " ")));
    record(*store, run("4", {object("stays", StatusFailed), object("gone", StatusFailed)}, "k4"));
    record(*store, run("4 again", {object("stays", StatusFailed)}, "k4"));
    record(*store, run("5", {object("stays", StatusFailed), object("new", StatusPassed)}));
  }
  const size_t before = readFile(path_).size();
  {
    auto store = open(HistoryWrite);
    record(*store, run("6", {object("stays", StatusPassed)}), 3);
    std::vector<RunInfo> runs;
    ASSERT_TRUE(store->runsBefore(0, 0, &runs));
    EXPECT_EQ(ids(runs), (std::vector<int64_t>{5, 6, 7}));
    EXPECT_EQ(runs[0].attempts, 2);
  }
  const size_t after = readFile(path_).size();
  printf("[ size     ] %zu bytes before --keep 3, %zu after\n", before, after);
  EXPECT_LT(after, before / 10);
  EXPECT_EQ(count("objects"), 3);  // stays, gone (in run 5's first attempt) and new
  EXPECT_EQ(count("attempts"), 4);
  EXPECT_EQ(count("results"), 4);
  EXPECT_EQ(sql("PRAGMA freelist_count"), "0");
}

class Schema1Test : public HistoryFileTest {
 protected:
  void SetUp() override {
    HistoryFileTest::SetUp();
    // In WAL mode, as that version left its files.
    sql(std::string("PRAGMA journal_mode = WAL;") + kSchema1Tables +
        "INSERT INTO objects VALUES(1, x'61', 'suite > a'), (2, x'62', 'suite > b'), (3, x'63', 'suite > c');"
        "INSERT INTO runs VALUES(1, " + blob(std::string(32, '\x07')) + ", '2026-12-07T09:30:12', '3f2a9c1', 1, 1, 1, 3, " +
        blob(schema1Members({1, 2, 3})) + "), (2, " + blob(std::string(32, '\x08')) +
        ", '2026-12-08T10:02:45', 'b41e007', 1, 0, 1, 2, " + blob(schema1Members({2, 3})) + ");"
        "INSERT INTO results VALUES(1, 2, 2, 'x == 1 (failed 1 of 3 executions)\ntitle of b (with words)\n"
        "state (2 executions)\nchart (1 multiple exits, 0 illegal exits)\nodd (failed of executions)'),"
        " (1, 3, 1, ''), (2, 3, 2, 'y (12 executions)');");
  }
};

TEST_F(Schema1Test, IsReadAsItIsAndBroughtUpToDateByWriting) {
  const std::string schema1 = readFile(path_);
  for (const HistoryAccess access : {HistoryRead, HistoryWrite}) {
    auto store = open(access);
    ASSERT_TRUE(store);
    std::vector<RunInfo> runs;
    ASSERT_TRUE(store->runsBefore(0, 0, &runs)) << store->error();
    ASSERT_EQ(ids(runs), (std::vector<int64_t>{1, 2}));
    EXPECT_EQ(runs[0].key, "");
    EXPECT_EQ(runs[0].attempts, 1);
    EXPECT_EQ(runs[1].label, "b41e007");
    EXPECT_EQ(runs[1].totals.total, 2);
    std::vector<RunObject> objects;
    ASSERT_TRUE(store->runObjects(1, &objects)) << store->error();
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[1].checks,
              "x == 1\t(failed 1 of 3 executions)\ntitle of b (with words)\nstate\t(2 executions)\n"
              "chart\t(1 multiple exits, 0 illegal exits)\nodd (failed of executions)");
    EXPECT_EQ(objects[2].status, StatusNotExecuted);
    bool holds = false;
    ASSERT_TRUE(store->holdsUntaggedContent(&holds));
    EXPECT_TRUE(holds);
    if (access == HistoryRead) {
      EXPECT_TRUE(readFile(path_) == schema1);
    }
  }
  EXPECT_EQ(sql("PRAGMA user_version"), "2");
  EXPECT_EQ(sql("PRAGMA journal_mode"), "delete");
  EXPECT_EQ(sql("PRAGMA auto_vacuum"), "2");
  auto store = open(HistoryWrite);
  EXPECT_EQ(record(*store, run("3", {object("a", StatusFailed)})).run, 3);
}

TEST_F(Schema1Test, LeavingWalWaitsForAnotherConnection) {
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "SELECT count(*) FROM runs", nullptr, nullptr, nullptr), SQLITE_OK);
  std::thread closing([other] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sqlite3_close(other);
  });
  auto store = open(HistoryWrite);
  closing.join();
  ASSERT_TRUE(store);
  EXPECT_EQ(sql("PRAGMA journal_mode"), "delete");
}

TEST_F(Schema1Test, ADamagedRunStopsTheMigrationAndTheFileStaysAsItWas) {
  // A list that inflates to a megabyte of zero gaps.
  const std::string bomb = deflated(std::string(1 << 20, '\0'));
  sql("UPDATE runs SET members = " + blob(bomb) + " WHERE id = 2; PRAGMA wal_checkpoint(TRUNCATE)");
  const char why[] = "damaged: the objects of run 2 hold more ids than its report had objects";
  EXPECT_EQ(refusal(HistoryWrite), why);
  EXPECT_EQ(refusal(HistoryRead), why);
}

TEST_F(HistoryStoreTest, RecordRefusesRunsThatReadsWouldCallDamaged) {
  auto store = open(HistoryWrite);
  record(*store, run("r1", {object("a", StatusPassed)}));
  const std::string before = readFile(path_);
  const struct {
    const char* what;
    void (*change)(NewRun*);
    const char* error;
  } cases[] = {
      {"negative", [](NewRun* r) { r->info.totals.passed = -1; r->info.totals.total = 0; },
       "the run's totals are no counts of a report"},
      {"beyond 32 bits", [](NewRun* r) { r->info.totals.passed = r->info.totals.total = 1LL << 31; },
       "the run's totals are no counts of a report"},
      {"not adding up", [](NewRun* r) { r->info.totals.total = 7; }, "the run's totals are no counts of a report"},
      {"a long run key", [](NewRun* r) { r->info.key.assign(257, 'k'); },
       "a key or content longer than 256 bytes"},
      {"a long content", [](NewRun* r) { r->content.assign(257, 'c'); }, "a key or content longer than 256 bytes"},
      {"a long object key", [](NewRun* r) { r->objects[0].key.assign(257, 'o'); },
       "a key or content longer than 256 bytes"},
      {"a status of no kind", [](NewRun* r) { r->objects[0].status = static_cast<ObjectStatus>(9); },
       "an object's status is none of ObjectStatus"},
  };
  for (const auto& c : cases) {
    NewRun r = run("r2", {object("a", StatusPassed)});
    c.change(&r);
    RecordedRun recorded;
    EXPECT_FALSE(store->record(r, 0, &recorded)) << c.what;
    EXPECT_EQ(store->error(), c.error) << c.what;
    EXPECT_TRUE(readFile(path_) == before) << c.what;
  }
}

TEST_F(HistoryStoreTest, AnEmptyFileBecomesAHistory) {
  writeFile(path_, "");
  auto store = open(HistoryWrite);
  EXPECT_EQ(record(*store, run("r1", {object("a", StatusPassed)})).run, 1);
}

TEST_F(HistoryStoreTest, AMissingFileIsCreatedForWritingOnlyAndNothingBeside) {
  EXPECT_EQ(refusal(HistoryRead), "cannot open: No such file or directory");
  EXPECT_NE(access(path_.c_str(), F_OK), 0);
  open(HistoryWrite);
  EXPECT_EQ(system(("test \"$(ls -A " + dir_ + ")\" = history.sqlite").c_str()), 0);
  EXPECT_EQ(sql("PRAGMA auto_vacuum"), "2");
  EXPECT_EQ(sql("PRAGMA user_version"), "2");
}

TEST_F(HistoryStoreTest, FilesThatAreNoHistoryAreRefusedAndLeftAsTheyWere) {
  const struct {
    bool history;  // made as a history first, else as an empty file
    const char* made;
    const char* why;
  } cases[] = {
      {false, "", "not a history file (not SQLite)"},
      {false, "CREATE TABLE t(x)", "not a history file (an SQLite database of another kind)"},
      {false, "PRAGMA application_id = 7", "not a history file (an SQLite database of another kind)"},
      {true, "PRAGMA user_version = 3", "made by a newer veldora-export (schema 3; this one knows up to 2)"},
  };
  for (const auto& c : cases) {
    unlink(path_.c_str());
    writeFile(path_, "<XROD><APIDOC/></XROD>\n");
    if (*c.made) unlink(path_.c_str());
    if (c.history) open(HistoryWrite);
    if (*c.made) sql(c.made);
    EXPECT_EQ(refusal(HistoryWrite), c.why) << c.made;
    EXPECT_EQ(refusal(HistoryRead), c.why) << c.made;
  }
}

TEST_F(HistoryStoreTest, AReaderSeesOneStateWhileAWriterDropsRuns) {
  {
    auto store = open(HistoryWrite);
    for (int i = 1; i <= 3; ++i) record(*store, run(std::to_string(i), {object("a", StatusFailed)}));
  }
  auto reader = open(HistoryRead);
  ASSERT_TRUE(reader);
  bool recorded = false;
  std::thread writer([&] {
    auto store = open(HistoryWrite);
    RecordedRun r;
    recorded = store && store->record(run("4", {object("b", StatusPassed)}), 1, &r);
  });
  for (int i = 0; i < 10; ++i) {
    RunInfo info;
    bool found = false;
    std::vector<RunObject> objects;
    std::vector<RunInfo> runs;
    EXPECT_TRUE(reader->runWithId(1, &info, &found) && found) << reader->error();
    EXPECT_TRUE(reader->runObjects(1, &objects)) << reader->error();
    EXPECT_TRUE(reader->runsBefore(0, 0, &runs)) << reader->error();
    EXPECT_EQ(ids(runs), (std::vector<int64_t>{1, 2, 3}));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  reader.reset();
  writer.join();
  EXPECT_TRUE(recorded);
  auto after = open(HistoryRead);
  std::vector<RunInfo> runs;
  ASSERT_TRUE(after->runsBefore(0, 0, &runs));
  EXPECT_EQ(ids(runs), (std::vector<int64_t>{4}));
}

}  // namespace
