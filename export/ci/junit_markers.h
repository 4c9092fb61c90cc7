// The markers of the JUnit writer's scratch file. Which of the report's kind
// names is that of stubs is known only at the end (a stub that was never
// called counts as passed, a test case or procedure as inconclusive, and
// both look alike in the report), so a test case of a tracked kind name that
// was not executed is written with a marker, one of these bytes and the
// kind's number as one byte, and the copy into the document expands it.
//
//   <testcase classname="stack" name="never" line="40" time="0"\x01\x03\n
//   kind 3 is that of stubs:  <testcase ... time="0"/>
//   else:                     <testcase ... time="0">
//                               <skipped message="not executed"/>
//                             </testcase>
//
// Marker bytes cannot occur otherwise: the escaping writes every control
// character as U+FFFD.
#pragma once

#include <cstdint>
#include <cstdio>

// In place of the "/>" of a case without content.
constexpr char kMarkerEmpty = '\x01';
// Where the skipped element of a case with content would go.
constexpr char kMarkerInner = '\x02';

extern const char kSkippedElement[];  // "<skipped message=\"not executed\"/>\n"

// Copies bytes of test cases from the scratch file to out, reading blocks of
// blockSize, and expands each marker: nothing more for the stub kind
// (stubKind, -1 for none), the skipped element for any other; *written
// grows by the bytes written. False when the scratch file ends early or
// inside a marker.
bool copyTestCases(FILE* scratch, int64_t bytes, int stubKind, size_t blockSize, FILE* out,
                   int64_t* written);
