// The JUnit export: one testcase per object that adds to the report's
// totals, in one testsuite per test driver and one for the tested
// contracts, so that the JUnit counts equal the report's Passed, Failed,
// Inconclusive (skipped) and Total.
//
//   <testsuites name="build/example/report.xrd" tests="9" failures="1" errors="0" skipped="2" time="0">
//   <testsuite name="stack_test" tests="5" failures="1" errors="0" skipped="1" time="0"
//              timestamp="2026-12-07T09:30:12" hostname="ci-runner-3">
//   <properties><property name="Component" value="libstack"/></properties>
//   <testcase classname="stack_test.Stack" name="overflow" file="src/stack_test.cpp" line="30">
//   <failure message="src/stack_test.cpp:30: size() == capacity()" type="check">src/stack_test.cpp:30: size() == capacity() (failed 1 of 1 executions)</failure>
//   </testcase>
//   <testcase classname="stack_test.Stack" name="copy" ...><skipped message="not executed"/></testcase>
//   <testsuite name="Contracts" ...>
//   <testcase classname="Contracts.src/stack_h.Stack" name="Invariant" file="src/stack.h" line="3"/>
//
// Written without indentation and without the test cases' time (0 for all),
// so that a report of a million objects stays below the 30 MB that CI
// servers read.
#pragma once

#include "export/xrd/test_objects.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Which test cases get their prints and comments as <system-out>.
enum SystemOut { SystemOutNone, SystemOutFailures, SystemOutAll };

struct JunitOptions {
  std::string hostname;
  std::string scratchDir;  // for the scratch file of test cases
  SystemOut systemOut = SystemOutFailures;
  // A part of a run of several reports: before its suites' names and its
  // classnames ("shard1.stack_test.Stack"), so that parts sharing names
  // stay apart.
  std::string part;
};

struct JunitResult {
  bool failedVerdict = false;  // the failed total is above 0, or a failure was written
  // Empty, or why the JUnit counts differ from the report's totals (totals
  // below what the objects give).
  std::string mismatch;
  int64_t bytes = 0;  // of the document
  int64_t testCases = 0;
};

// The JUnit document built as the report's objects stream: the test cases
// go to a scratch file, since every suite's counts come before its test
// cases; write() writes the document once the report has been read.
class JunitBuilder;

// A part's builder (read) and its report, whose place a refused total
// names.
struct JunitPart {
  JunitBuilder* builder;
  std::string reportPath;
};

// One document with the suites of every part, its counts theirs. False,
// with the error line's text, when a report's totals are refused or a
// scratch file failed.
bool writeJunitRun(FILE* out, const std::vector<JunitPart>& parts, JunitResult* result,
                   std::string* error);

class JunitBuilder {
 public:
  explicit JunitBuilder(const JunitOptions& options);
  ~JunitBuilder();

  // Makes the scratch file. False, with the error line's text, when it
  // cannot be made.
  bool start(std::string* error);
  TestObjectVisitor& objects();
  // False, with the error line's text, when the report's totals are
  // refused (at their place in reportPath) or the scratch file failed.
  bool write(FILE* out, const std::string& reportPath, JunitResult* result, std::string* error);

 private:
  friend bool writeJunitRun(FILE*, const std::vector<JunitPart>&, JunitResult*, std::string*);
  struct Parts;
  JunitOptions options_;
  std::unique_ptr<Parts> parts_;
};

// The whole report read into JUnit written to out. False, with the error
// line's text, when the report is broken or refused (at its place in
// reportPath) or the scratch file failed.
bool writeJunit(ReportReader& reader, FILE* out, const JunitOptions& options,
                const std::string& reportPath, JunitResult* result, std::string* error);
