// The JUnit export: one testcase per object that adds to the report's
// totals, in one testsuite per test driver and one for the tested
// contracts, so that the JUnit counts equal the report's Passed, Failed,
// Inconclusive (skipped) and Total.
//
//   <testsuites name="build/example/report.xrd" tests="9" failures="1" errors="0" skipped="2" time="0">
//     <testsuite name="stack_test" tests="5" failures="1" errors="0" skipped="1" time="0"
//                timestamp="2026-12-07T09:30:12" hostname="ci-runner-3">
//       <properties><property name="Component" value="libstack"/></properties>
//       <testcase classname="stack_test.Stack" name="overflow" file="src/stack_test.cpp" line="30" time="0">
//         <failure message="src/stack_test.cpp:30: size() == capacity()" type="check">src/stack_test.cpp:30: size() == capacity() (failed 1 of 1 executions)</failure>
//       </testcase>
//       <testcase classname="stack_test.Stack" name="copy" ...><skipped message="not executed"/></testcase>
#pragma once

#include "export/xrd/report_reader.h"

#include <cstdio>
#include <string>

struct JunitResult {
  bool failedVerdict = false;  // the report's failed total is above 0
  // Empty, or why the JUnit counts differ from the report's totals (a report
  // whose totals are below what its objects give; verdicts that it counts
  // but does not list get test cases of their own, in a suite "unlisted").
  std::string mismatch;
  std::string error;  // when writing failed: the reason
};

// Reads the whole report and writes its JUnit XML to out. Test cases are
// gathered in a scratch file in scratchDir, since every suite's counts come
// before its test cases. False when the report is broken (reader.error())
// or, with result->error, when the scratch file failed.
bool writeJunit(ReportReader& reader, FILE* out, const std::string& hostname,
                const std::string& scratchDir, JunitResult* result);

// The scratch file's test cases: a case of a kind name that may be that of
// stubs and was not executed carries a marker, one of these bytes and the
// kind's number as one byte. kMarkerEmpty stands in place of the "/>" of a
// case without content; kMarkerInner where its skipped element would go.
constexpr char kMarkerEmpty = '\x01';
constexpr char kMarkerInner = '\x02';

// Copies bytes of test cases from the scratch file to out, reading blocks of
// blockSize, and expands each marker: nothing more for the stub kind
// (stubKind, -1 for none), the skipped element for any other. False when the
// scratch file ends early or inside a marker.
bool copyTestCases(FILE* scratch, int64_t bytes, int stubKind, size_t blockSize, FILE* out);

// veldora-export junit REPORT [-o OUT]
int runJunitCommand(int argc, char** argv);
