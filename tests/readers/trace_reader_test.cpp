#include "reader_test_support.h"


#include <cstdlib>
#include <vector>

namespace {

class TraceReaderTest : public ModelTest {
 protected:
  void load(const char* symbols) {
    ASSERT_EQ(readSymbolFile(model, fixture(symbols).c_str(), 0), 0);
  }
  // Reads the trace fixture and returns what it wrote to standard error.
  std::string readTraceFixture(const char* name) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(readTraceFile(model, fixture(name).c_str()), 0);
    return testing::internal::GetCapturedStderr();
  }
  int32_t statusOf(uint64_t id) { return findNode(model, 0, id)->status; }
  CheckCounts counts(uint64_t id) { return *checkCountsOf(findNode(model, 0, id)); }
  std::vector<std::string> notesOf(uint64_t id) {
    std::vector<std::string> notes;
    for (NoteText* n = findNode(model, 0, id)->firstNote; n; n = n->next)
      notes.emplace_back(n->text, n->length);
    return notes;
  }
  using Notes = std::vector<std::string>;
};

// The note that a NO record with this text gives the test case reached
// after it; "(none)" when it gives none.
std::string decoded(const char* text) {
  Model model;
  readSymbolText(model, "CK 1 2\nTC 2 \"case\" line=1 parent=1;\n", 0);
  const std::string trace = std::string("SF 1 1 2\nNO ") + text + "\nOT 2\n";
  ByteReader in(trace.data(), trace.size());
  readTrace(model, in);
  const NoteText* note = findNode(model, 0, 2)->firstNote;
  return note ? std::string(note->text, note->length) : "(none)";
}

TEST_F(TraceReaderTest, NumbersInRecords) {
  load("traced.ots");
  EXPECT_EQ(readTraceFixture("numbers.tdf"), std::string(kNonHexa) + kOverflow);
  EXPECT_EQ(statusOf(3), Executed);  // h30
  EXPECT_EQ(statusOf(6), Executed);  // 6h
  EXPECT_EQ(statusOf(9), Executed);  // nine digits
  EXPECT_EQ(statusOf(8), Passed);    // untouched
}

// Every last number of a line carries the carriage return; verdicts do not
// mind it.
TEST_F(TraceReaderTest, CarriageReturnLineEnds) {
  load("crlf.ots");
  EXPECT_EQ(readTraceFixture("crlf.tdf"), std::string(kNonHexa) + kNonHexa + kNonHexa);
  EXPECT_EQ(counts(4).passed, 1);  // the second OT 4 followed CS 0: no file
  EXPECT_EQ(counts(5).failed, 1);
  EXPECT_EQ(statusOf(3), Executed);  // by its checks, not by OT 3
}

TEST_F(TraceReaderTest, OutcomesAndTheVerdictField) {
  load("traced.ots");
  EXPECT_EQ(readTraceFixture("outcomes.tdf"), "");
  EXPECT_EQ(statusOf(8), Passed);  // before any SF: no file selected
  EXPECT_EQ(counts(4).passed, 2);  // "4 1" and "4 1 "
  CheckCounts two = counts(5);     // "5  1": an empty verdict is 0
  EXPECT_EQ(two.failed, 1);
  EXPECT_EQ(two.passed, 0);
  CheckCounts exits = counts(7);   // 2 and 3 count; 5 and -1 are ignored
  EXPECT_EQ(exits.illegalExits, 1);
  EXPECT_EQ(exits.multipleExits, 1);
  EXPECT_EQ(exits.passed + exits.failed + exits.executions, 0);
  EXPECT_EQ(statusOf(9), Executed);  // "9 ": no verdict
}

TEST_F(TraceReaderTest, SelectionOfSymbolFiles) {
  load("traced.ots");
  ASSERT_EQ(readSymbolFile(model, fixture("file_records.ots").c_str(), 1), 0);
  EXPECT_EQ(readTraceFixture("selection.tdf"), "");
  EXPECT_EQ(fileIndexOfTrace(model, 1), 0);
  EXPECT_EQ(fileIndexOfTrace(model, 2), 1);
  EXPECT_EQ(findNode(model, 1, 1)->status, Executed);  // parent of the node reached
  EXPECT_EQ(findNode(model, 0, 1)->status, Passed);
  EXPECT_EQ(statusOf(6), Executed);
  EXPECT_EQ(statusOf(3), Passed);  // after an SF that bound nothing
}

TEST_F(TraceReaderTest, PendingNotes) {
  load("traced.ots");
  EXPECT_EQ(readTraceFixture("notes.tdf"), "");
  EXPECT_EQ(notesOf(3), Notes{"first second"});
  EXPECT_EQ(notesOf(4), Notes{});   // an OT with verdict leaves the note pending
  EXPECT_EQ(notesOf(6), Notes{"kept"});
  EXPECT_EQ(notesOf(8), Notes{});   // dropped by CS
  EXPECT_EQ(notesOf(9), Notes{});   // dropped by SF
  EXPECT_EQ(notesOf(0xa), Notes{}); // a NO without quote is ignored
}

TEST_F(TraceReaderTest, NoteForms) {
  load("traced.ots");
  EXPECT_EQ(readTraceFixture("note_forms.tdf"), "");
  EXPECT_EQ(notesOf(3), Notes{"caf\xc3\xa9"});  // ISO-8859-1 to the UTF-8 locale
  EXPECT_EQ(notesOf(6), Notes{"caf\xc3\xa9"});  // unknown codec: the locale's
  EXPECT_EQ(notesOf(8), Notes{"two"});
  EXPECT_EQ(notesOf(9), Notes{"three\"quotes"});
  EXPECT_EQ(notesOf(0xa), Notes{"x\" \"y\" z"});
  EXPECT_EQ(notesOf(0xb), Notes{"ends in \""});
  EXPECT_EQ(notesOf(0xc), Notes{""});
  EXPECT_EQ(notesOf(0xd), Notes{"AB\n\t\\"});
}

TEST(DecodeNoteText, EscapesAtTheEdges) {
  EXPECT_EQ(decoded("\"\\101\\060\\12\""), "A0B");  // the closing quote serves as a digit
  EXPECT_EQ(decoded("\"\\7\""), "7");                  // too short for an octal escape
  EXPECT_EQ(decoded("\"a\\000b\\400\""), std::string("a\0b\0", 4));  // byte 0 is text
  EXPECT_EQ(decoded("\"\\f\\r\\q\\\"\""), "\f\rq\"");
  EXPECT_EQ(decoded("\"open \\\""), "open \"");       // escaped closing quote, none after
  EXPECT_EQ(decoded("\"trailing\\"), "trailing\\");
  EXPECT_EQ(decoded(""), "(none)");
}

TEST(DecodeNoteText, DecodedNotesAreNeverCut) {
  std::string latin = "\"ISO-8859-1\" \"" + std::string(1000, '\xe9') + "\\n\"";
  std::string expected;
  for (int i = 0; i < 1000; ++i) expected += "\xc3\xa9";
  EXPECT_EQ(decoded(latin.c_str()), expected + "\n");
}

TEST_F(TraceReaderTest, UnreadableFiles) {
  load("traced.ots");
  EXPECT_EQ(readTraceFile(model, VELDORA_TEST_DATA "/no-such.tdf"), -1);
  EXPECT_EQ(readTraceFile(model, VELDORA_TEST_DATA), 0);
  EXPECT_EQ(model.files.list->traceIndex, 0);
  EXPECT_EQ(model.files.list->next, nullptr);
}

TEST_F(TraceReaderTest, StatusesAfterComputation) {
  load("traced.ots");
  EXPECT_EQ(readTraceFixture("run.tdf"), "");
  computeStatuses(model);
  EXPECT_EQ(statusOf(3), Passed);
  EXPECT_EQ(statusOf(4), Passed);
  EXPECT_EQ(counts(4).executions, 1);
  EXPECT_EQ(statusOf(6), Failed);
  CheckCounts mixed = counts(7);
  EXPECT_EQ(mixed.passed, 1);
  EXPECT_EQ(mixed.failed, 1);
  EXPECT_EQ(mixed.executions, 2);
  EXPECT_EQ(statusOf(8), NotExecuted);  // reached under CS 2, which names no file
  EXPECT_EQ(statusOf(9), NotExecuted);  // verdict 5 ignored
  EXPECT_EQ(fileTreeAt(model, 0)->status, Failed);
  int32_t passed = 0, failed = 0, notExecuted = 0;
  countVerdicts(fileTreeAt(model, 0), &passed, &failed, &notExecuted);
  EXPECT_EQ(passed, 1);
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(notExecuted, 7);
}

}  // namespace
