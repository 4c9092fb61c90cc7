// The checks' own lines, from the symbol files veldora read for the report.
// The report links a check only to its test case; the symbol files give
// every check its own line. They are read with veldora's readers into a
// model, relinked as veldora relinks them, and matched to the report by its
// structure, never by words:
//
//   report   <XROD:NODE name="stack_test"><SECTION TAG="rootx7">     2nd tree with test content
//            <XROD:NODE name="overflow"><LINK TARGET="src/stack_test.cpp line 30">
//                                                                   its 3rd test container
//            <ROW><CELL_TEXT STYLE="Array Failed">size() == capacity()</CELL_TEXT>...
//                                                                   its 1st check
//   symbols  TC ... overflow line 30, CK ... "size() == capacity()" line 35
//
// gives that row's first cell the link "src/stack_test.cpp line 35". The
// k-th driver section is the k-th tree that veldora gives a section, the
// k-th node of a section the k-th test container of veldora's walk, the
// n-th check row of a node its n-th check (prints and comments have trace
// tables instead). Each is checked by name, as veldora writes it, and by
// line, so symbol files of another run stop the export at the first item
// that differs instead of giving wrong lines.
#pragma once

#include "export/xrd/report_reader.h"
#include "model/model.h"

#include <string>
#include <vector>

class CheckLines : public ReportAnnotator {
 public:
  // Reads the symbol files in the order veldora was given them, decoding
  // names with the locale's codec as veldora does. False, with the error
  // line's text, when one cannot be read.
  bool read(const std::vector<std::string>& files, std::string* error);

  // The report's items as they stream. Each returns false, with what
  // differs in *message, when the report and the symbol files part there.
  bool nodeStart(const ReportNodeInfo& node, std::string* message) override;
  // A data row of the innermost node; a check row gets its check's link.
  bool row(ReportRowInfo* row, std::string* message) override;
  bool nodeEnd(int depth, std::string* message) override;
  bool end(std::string* message) override;

 private:
  const TestNode* nextDriver();
  bool finishChecks(std::string* message);
  bool finishSection(std::string* message);

  Model model_;
  int nextTree_ = 0;  // the next tree of the report's order to match
  bool inDriver_ = false;
  std::string driverName_;
  // veldora's walk of the section's containers: per open level, the next
  // child to look at.
  std::vector<const TestNode*> pending_;
  const TestNode* container_ = nullptr;  // of the innermost node, while its rows come
  const TestNode* nextCheck_ = nullptr;  // its next child to look at for a check
  SourceLink containerLink_;
};
