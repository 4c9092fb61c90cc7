// The merge gate's judgement of a run against its base: at the check, lost
// objects, flaky and quarantined failures, the totals line, --fail-on, and
// the comment's verdict and size.
#include "export/ci/gate_writer.h"
#include "export/history/run_diff.h"

#include <gtest/gtest.h>

namespace {

// "k:f:expr1,expr2" a failed object with those check rows ("k:f" without
// rows), "k:p" passed, "k:n" not executed.
RunObject object(const std::string& text) {
  RunObject o;
  o.key = text.substr(0, text.find(':'));
  o.path = "suite > " + o.key;
  const char status = text[o.key.size() + 1];
  o.status = status == 'f' ? StatusFailed : status == 'n' ? StatusNotExecuted : StatusPassed;
  const size_t checks = o.key.size() + 3;
  if (o.status == StatusFailed) o.checks = "Test Case " + o.key;
  if (o.status == StatusFailed && checks < text.size()) {
    o.checks.clear();
    std::string rest = text.substr(checks);
    for (size_t from = 0; from <= rest.size();) {
      const size_t end = std::min(rest.find(',', from), rest.size());
      o.checks += (o.checks.empty() ? "" : "\n") + rest.substr(from, end - from) + "\t(failed 1 of 1 executions)";
      from = end + 1;
    }
  }
  return o;
}

std::vector<RunObject> run(const std::vector<std::string>& texts) {
  std::vector<RunObject> objects;
  for (const std::string& text : texts) objects.push_back(object(text));
  return objects;
}

VerdictTotals totals(const std::vector<RunObject>& objects) {
  VerdictTotals t;
  for (const RunObject& o : objects) {
    t.passed += o.status == StatusPassed;
    t.inconclusive += o.status == StatusNotExecuted;
    t.failed += o.status == StatusFailed;
  }
  t.total = static_cast<int64_t>(objects.size());
  return t;
}

std::string describe(const RunDiff& diff, const std::vector<RunObject>& now) {
  std::string text;
  for (const FailedObject& failed : diff.failed) {
    static const char* const kKinds[] = {"new", "flaky", "quarantined", "still"};
    text += now[failed.object].key + "=" + kKinds[failed.kind];
    for (const bool fresh : failed.newChecks) text += fresh ? "+" : "-";
    text += " ";
  }
  return text + gateLine(gateCounts(diff));
}

TEST(RunDiffTest, JudgesEachObjectAndEachCheck) {
  struct Case {
    std::vector<std::string> base, now;
    std::vector<bool> flaky, quarantined;
    std::string expected;
  } cases[] = {
      // A new check inside an object that failed already is new; the
      // old one still fails.
      {{"a:f:x"}, {"a:f:x,y"}, {}, {}, "a=new-+ New 1, Lost 0, Flaky 0, Quarantined 0, Fixed 0, Still failing 0, Added 0, Removed 0\n"},
      {{"a:f:x"}, {"a:f:x"}, {}, {}, "a=still- New 0, Lost 0, Flaky 0, Quarantined 0, Fixed 0, Still failing 1, Added 0, Removed 0\n"},
      // One expression twice: only the second failure of it is new.
      {{"a:f:x"}, {"a:f:x,x"}, {}, {}, "a=new-+ New 1, Lost 0, Flaky 0, Quarantined 0, Fixed 0, Still failing 0, Added 0, Removed 0\n"},
      // Without rows an object is new or not as a whole.
      {{"a:f"}, {"a:f"}, {}, {}, "a=still- New 0, Lost 0, Flaky 0, Quarantined 0, Fixed 0, Still failing 1, Added 0, Removed 0\n"},
      {{"a:p"}, {"a:f"}, {}, {}, "a=new+ New 1, Lost 0, Flaky 0, Quarantined 0, Fixed 0, Still failing 0, Added 0, Removed 0\n"},
      // A failed object the base did not hold is new and added.
      {{}, {"a:f:x"}, {}, {}, "a=new+ New 1, Lost 0, Flaky 0, Quarantined 0, Fixed 0, Still failing 0, Added 1, Removed 0\n"},
      // Executed before, not now: lost; a passing one now passes again.
      {{"a:p", "b:f:x", "c:n"}, {"a:n", "b:n", "c:n"}, {}, {}, "New 0, Lost 2, Flaky 0, Quarantined 0, Fixed 0, Still failing 0, Added 0, Removed 0\n"},
      {{"a:f:x", "b:p"}, {"a:p"}, {}, {}, "New 0, Lost 0, Flaky 0, Quarantined 0, Fixed 1, Still failing 0, Added 0, Removed 1\n"},
      // Flaky excuses only a new failure; quarantine every failure.
      {{"a:p", "b:f:x"}, {"a:f:x", "b:f:x"}, {true, true}, {}, "a=flaky+ b=still- New 0, Lost 0, Flaky 1, Quarantined 0, Fixed 0, Still failing 1, Added 0, Removed 0\n"},
      {{"a:p", "b:f:x"}, {"a:f:x", "b:f:x"}, {}, {true, true}, "a=quarantined+ b=quarantined- New 0, Lost 0, Flaky 0, Quarantined 2, Fixed 0, Still failing 0, Added 0, Removed 0\n"},
  };
  for (const Case& c : cases) {
    const std::vector<RunObject> base = run(c.base), now = run(c.now);
    const RunDiff diff = diffRuns(totals(base), base, totals(now), now, {c.flaky, c.quarantined});
    EXPECT_EQ(describe(diff, now), c.expected) << c.expected;
  }
}

TEST(RunDiffTest, VerdictsCountedBeyondTheObjectsAreNewOnlyWhenTheyGrow) {
  const std::vector<RunObject> objects = run({"a:p"});
  VerdictTotals before = totals(objects), after = totals(objects);
  before.failed = 2;
  after.failed = 3;
  EXPECT_EQ(diffRuns(before, objects, after, objects, {}).unlistedNew, 1);
  EXPECT_EQ(diffRuns(after, objects, before, objects, {}).unlistedNew, 0);
}

TEST(RunDiffTest, FailOnTakesAListOrAnyOrNone) {
  struct Case {
    const char* list;
    const char* reasons;  // for New 1, Lost 2, Flaky 3 and a report with 4 failed
  } cases[] = {{"new,lost", "1 new failure, 2 lost"}, {"flaky", "3 flaky"},
               {"new,lost,flaky", "1 new failure, 2 lost, 3 flaky"},
               {"any", "4 failed verdicts"}, {"none", ""},
               {"new,some", "unknown --fail-on some (new, lost, flaky, any, none)"},
               {"any,new", "--fail-on any,new: any and none stand alone"}, {"", "unknown --fail-on  (new, lost, flaky, any, none)"}};
  GateCounts counts;
  counts.fresh = 1;
  counts.lost = 2;
  counts.flaky = 3;
  for (const Case& c : cases) {
    FailOn failOn;
    std::string error, reasons;
    if (!parseFailOn(c.list, &failOn, &error)) {
      EXPECT_EQ(error, c.reasons);
      continue;
    }
    for (const std::string& reason : gateReasons(counts, failOn, 4))
      reasons += (reasons.empty() ? "" : ", ") + reason;
    EXPECT_EQ(reasons, c.reasons) << c.list;
  }
  bool passed = false;
  EXPECT_EQ(gateVerdict(counts, FailOn{false, false, false, false}, 4, &passed),
            "no new failures (1 new, not gating, 2 lost, 3 flaky)");
  EXPECT_TRUE(passed);
}

// The comment: verdict first, code spans that hold any text, and a size a
// merge request takes.
TEST(GateWriterTest, CommentHoldsItsVerdictCodeSpansAndItsSize) {
  std::vector<RunObject> base = run({"a:p"}), now = run({"a:f:x"});
  for (int i = 0; i < 5000; ++i) now.push_back(object("o" + std::to_string(i) + ":f:x"));
  const RunDiff diff = diffRuns(totals(base), base, totals(now), now, {});
  GateView view;
  view.diff = &diff;
  view.now = &now;
  view.base = &base;
  const std::vector<SourceLink> locations(now.size());
  std::vector<std::vector<FailureLine>> lines;
  for (const RunObject& o : now)
    lines.push_back({{SourceLink(), "check failed", "a | `b` ``c``", o.path, SeverityError}});
  view.locations = &locations;
  view.lines = &lines;
  GateReport report;
  report.parts = {view};
  report.against = "run 4 (c0ffee, 2026-12-07T09:30:12)";
  report.totals = totals(now);
  GateOptions options;
  options.format = GateMarkdown;
  options.max = 1000000;
  options.pageUrl = "https://ci.example/report.html";
  const std::string md = gateText(report, options);
  EXPECT_EQ(md.substr(0, md.find('\n')), "❌ 5001 new failures");
  EXPECT_NE(md.find("[the report's page](<https://ci.example/report.html>)"), std::string::npos);
  EXPECT_NE(md.find("``` a \\| `b` ``c`` ```"), std::string::npos);
  EXPECT_LE(md.size(), kCommentBytes);
  EXPECT_NE(md.find("more\n"), std::string::npos);
}

}  // namespace
