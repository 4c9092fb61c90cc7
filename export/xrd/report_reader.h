// Reads a report file as it streams: one item at a time, in document order,
// never the whole document. Shared by every writer of veldora-export.
//
//   <XROD><APIDOC><DOCUMENT TITLE="out.xrd" TAG="Testx1">      Document
//   <XROD:NODE name="Global Report" ... state="ko"><SECTION TAG="filex2">
//   <TITLE LEVEL="0" ...><TEXT>Component testing C++ report</TEXT></TITLE>
//                                                   NodeStart (with that title)
//   <TITLE LEVEL="1" ...><TEXT>Report summary</TEXT></TITLE>   Title
//   <TABLE BORDER="1"> ... Passed 6, Inconclusive 2, Failed 1, Total 9 </TABLE>
//                                                   Summary (the whole table)
//   <TITLE ...>Report Information</TITLE>           Title
//   <TABLE BORDER="1"><ROW>...</ROW></TABLE>        TableStart, Row..., TableEnd
//   </SECTION>
//   <XROD:NODE name="stack" type="Test Driver" state="ko" icone="testscript.xpm">
//   <SECTION TAG="rootx6"><TITLE ...>Test Driver stack</TITLE>  NodeStart
//   <TABLE>...</TABLE>                              TableStart, Row..., TableEnd
//   <XROD:NODE name="push_pop" ...><TITLE><LINK TARGET="src/stack line 20">
//   ...                                             NodeStart, tables, NodeEnd
//   </SECTION></XROD:NODE>                          NodeEnd
//   </XROD:NODE></DOCUMENT></APIDOC></XROD>         NodeEnd, End
//
// Meaning is taken only from what the report's writer fixes: element names
// and their order, the node attributes state, sum and icone, STYLE values and
// the TAG prefixes of sections; never from words, which are translated.
// Reports of an earlier generator are read too: a DOCUMENT TITLE with raw
// quotes or ampersands, control characters written raw (read as U+FFFD), and
// node names, types and titles encoded as UTF-8 twice (decoded once).
#pragma once

#include "export/xml/xml_tokenizer.h"
#include "support/report_format.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum ReportItemKind {
  ReportDocument,    // document(): the DOCUMENT element's TITLE and TAG
  ReportNodeStart,   // node(): an XROD:NODE with its title
  ReportTitle,       // title(): a TITLE that is not the first of its node
  ReportSummary,     // summary(): the verdict totals of the overview section
  ReportTableStart,  // a TABLE opens (inside the current node)
  ReportRow,         // row(): one ROW of the open table
  ReportTableEnd,
  ReportNodeEnd,     // the node at depth() closes
  ReportEnd,         // the document ended well
  ReportFailed,      // error() tells what is wrong and where
};

// The status of a test object: as a report's state attribute gives it
// ("ok", "NE", "ko"), and as the run history keeps it, where a run that did
// not hold the object gives it none (absent). Histories and the page's data
// keep these numbers: never reorder them.
enum ObjectStatus : uint8_t { StatusPassed, StatusNotExecuted, StatusFailed, StatusAbsent };

// The verdicts of a report or of a run of the history.
struct VerdictTotals {
  int64_t passed = 0;
  int64_t inconclusive = 0;
  int64_t failed = 0;
  int64_t total = 0;

  VerdictTotals& operator+=(const VerdictTotals& more) {
    passed += more.passed;
    inconclusive += more.inconclusive;
    failed += more.failed;
    total += more.total;
    return *this;
  }
};
enum ReportStyle {  // STYLE of cells, and of titles by their suffix
  ReportStyleNone,    // no STYLE (or one this reader does not know)
  ReportStyleTitle,   // "Array Title"
  ReportStylePlain,   // "Array", and titles without suffix
  ReportStyleFailed,  // "Array Failed", " Failed"
  ReportStylePassed,  // "Array Passed", " Passed"
};
enum SectionKind {  // by the SECTION's TAG prefix
  SectionNone,       // the node has no SECTION
  SectionOverview,   // "filex": report title, summary, report information
  SectionDriver,     // "rootx": one test driver
  SectionContracts,  // "classx": the tested contracts
  SectionOther,
};
enum RowRole {
  RowData,    // check, class member, count and information rows
  RowHeader,  // every cell a CELL_TEXT of style "Array Title": column titles
  RowTitle,   // ROW STYLE="Array Title": a one-cell title row of an information table
  RowTrace,   // a trace line: a CELL with an IMAGE and a link, then a CELL "(xN)"
  RowNote,    // a note: an empty CELL, then a CELL with the note's text
};

// A LINK TARGET "FILE line N", split at its last " line " before digits.
// Without that form the whole target is the file and line is 0.
struct SourceLink {
  bool present = false;
  std::string file;
  int64_t line = 0;
};

struct ReportTitleInfo {
  bool present = false;
  int level = 0;
  ReportStyle style = ReportStyleNone;
  std::string tag;   // TAG, e.g. "nodex12"
  std::string text;  // the TEXT, also inside a LINK
  SourceLink link;
};

struct ReportNodeInfo {
  std::string name;
  std::string type;
  ObjectStatus state = StatusNotExecuted;
  int sum = 0;  // 0 when the attribute is absent
  NodeIcon icon = IconNone;
  SectionKind section = SectionNone;
  std::string sectionTag;
  ReportTitleInfo title;  // the node's first TITLE, in it or in its leading SECTION
  int depth = 0;          // 0 for the node of the whole run
  int64_t line = 0;
  int64_t column = 0;
};

struct ReportCell {
  ReportStyle style = ReportStyleNone;
  bool linkCell = false;  // a CELL element (else CELL_TEXT)
  bool image = false;     // the CELL holds an IMAGE
  std::string text;
  SourceLink link;
};

struct ReportRowInfo {
  RowRole role = RowData;
  std::vector<ReportCell> cells;
  int64_t line = 0;
  int64_t column = 0;
};

// The largest count of verdicts of one kind a report can hold: the
// report's counters are 32-bit.
constexpr int64_t kMaxVerdictCount = 2147483647;

// The summary table's totals, each checked against that bound and the last
// against the sum of the three others.
struct ReportTotals : VerdictTotals {
  // The rows as the report words them, in the order passed, inconclusive,
  // failed, total.
  std::string labels[4];
  ReportStyle styles[4] = {};
  std::string productLine;  // the table's title row
  int64_t line = 0;  // where the summary table starts
  int64_t column = 0;
};

struct ReportDocumentInfo {
  std::string title;  // TITLE: the report file name veldora was given
  std::string tag;    // TAG, e.g. "Testx1"
};

struct ReportErrorInfo {
  std::string message;
  int64_t line = 0;  // 0 when the fault has no place in the file
  int64_t column = 0;
};

// The error line of a report that cannot be read: "FILE:LINE:COLUMN: what".
std::string errorLine(const std::string& path, const ReportErrorInfo& error);

// What the reader checks the report's items against as they stream, and
// what it may add to them (the symbol files give check rows their own
// lines: ots/check_lines.h). Each returns false, with what differs in
// *message, where the report parts from it.
class ReportAnnotator {
 public:
  virtual ~ReportAnnotator() = default;
  virtual bool nodeStart(const ReportNodeInfo& node, std::string* message) = 0;
  virtual bool row(ReportRowInfo* row, std::string* message) = 0;
  virtual bool nodeEnd(int depth, std::string* message) = 0;
  virtual bool end(std::string* message) = 0;
};

class ReportReader {
 public:
  ReportReader();
  ~ReportReader();

  // False when the file cannot be read (missing, a directory, no
  // permission); error() then holds the reason at line 0, column 0.
  bool open(const char* path);
  void openBytes(std::string_view bytes);
  // Files of links under root are read relative to it ("" for none).
  void setSourceRoot(std::string root) { sourceRoot_ = std::move(root); }
  // Items are checked against annotator and annotated by it (check rows
  // get their checks' own links from the symbol files); a report that does
  // not match it fails where it parts from it.
  void setAnnotator(std::unique_ptr<ReportAnnotator> annotator);

  // The next item. After ReportEnd or ReportFailed it returns the same again.
  ReportItemKind next();

  // What the last item carried; each stays valid until the next call that
  // yields an item of its kind. The summary stays valid once read.
  const ReportDocumentInfo& document() const { return document_; }
  const ReportNodeInfo& node() const { return node_; }
  const ReportTitleInfo& title() const { return title_; }
  const ReportTotals& summary() const { return summary_; }
  const ReportRowInfo& row() const { return row_; }
  const ReportErrorInfo& error() const { return error_; }
  // The depth of the innermost open node (the node of the whole run is 0);
  // for NodeStart and NodeEnd, of that node.
  int depth() const { return itemDepth_; }

 private:
  enum Context : uint8_t { InXrod, InApidoc, InDocument, InNode, InSection, InTable };
  static const char* contextName(Context context);

  ReportItemKind nextItem();
  ReportItemKind annotate(ReportItemKind item);
  const XmlToken& take();
  ReportItemKind failAt(const XmlToken& at, std::string message);
  ReportItemKind failAt(int64_t line, int64_t column, std::string message);
  ReportItemKind unexpected(const XmlToken& token, const char* inside);
  ReportItemKind startNode(const XmlToken& token);
  bool finishNodeStart(const XmlToken& token, ReportItemKind* item);
  bool textBetweenElements(const XmlToken& token, ReportItemKind* item);
  bool endElement(const XmlToken& token, ReportItemKind* item);
  bool startElement(const XmlToken& token, ReportItemKind* item);
  bool startInNode(const XmlToken& token, ReportItemKind* item);
  bool readTitle(const XmlToken& start, ReportTitleInfo* title);
  bool readText(const char* inside, std::string* text);
  bool readLink(const XmlToken& start, SourceLink* link, std::string* text);
  bool readRow(const XmlToken& start);
  bool readCell(const XmlToken& start, ReportCell* cell);
  bool readSummary(const XmlToken& start);
  bool skipEmpty(const char* inside);

  XmlTokenizer tokenizer_;
  std::string sourceRoot_;
  std::unique_ptr<ReportAnnotator> annotator_;
  const XmlToken* lastToken_ = nullptr;
  bool pushedBack_ = false;   // take() returns the last token again
  bool nodePending_ = false;  // an XROD:NODE waits for its title
  bool globalSeen_ = false;
  bool summarySeen_ = false;
  bool ended_ = false;
  int depth_ = -1;
  int itemDepth_ = -1;
  size_t overviewLevel_ = 0;  // size of contexts_ inside the overview SECTION, else 0
  std::vector<Context> contexts_;

  ReportDocumentInfo document_;
  ReportNodeInfo node_;
  ReportTitleInfo title_;
  ReportTotals summary_;
  ReportRowInfo row_;
  ReportErrorInfo error_;
  ReportItemKind last_ = ReportDocument;
};

// Decodes a text once more when it was encoded as UTF-8 twice: every
// character above U+007F is at most U+00FF and those characters, taken as
// bytes, are valid UTF-8. True when it changed the text.
bool repairDoubleEncoding(std::string* text);

// Splits "FILE line N".
SourceLink parseLinkTarget(std::string_view target);

// The file relative to root when it lies under root (a folder; "" for
// none): "/ci/src/a.cpp" under "/ci/" is "src/a.cpp".
std::string relativeToRoot(std::string file, std::string_view root);

// The time layout of the report's time rows, "Sun Dec  6 18:05:11 2026" (the
// day may be padded or not): false for any other text and for a date or
// time that does not exist ("Mon Feb 31 09:30:60 -999").
struct ReportTime {
  int year, month, day, hour, minute, second;  // month 1 to 12
};
bool parseReportTime(std::string_view text, ReportTime* time);
