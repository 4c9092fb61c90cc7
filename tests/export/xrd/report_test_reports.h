// Small report files for the export tests, built around the frame that
// every report has.
#pragma once

#include <string>

// A report whose overview holds the summary with the given totals; `body`
// follows the overview section inside the node of the whole run.
inline std::string reportAround(const std::string& body, int passed = 1, int inconclusive = 0,
                                int failed = 0) {
  const int total = passed + inconclusive + failed;
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<XROD>\n<APIDOC>\n"
         "<DOCUMENT TITLE=\"out.xrd\" TAG=\"Testx1\">\n"
         "<XROD:NODE name=\"Global Report\" type=\"Global Report\" state=\"" +
         std::string(failed ? "ko" : "ok") +
         "\" icone=\"testscript.xpm\"><SECTION TAG=\"filex2\">\n"
         "<TITLE LEVEL=\"0\" TAG=\"nodex3\" STYLE=\"Title1\">\n"
         "<TEXT>Component testing C++ report</TEXT>\n</TITLE>\n"
         "<TITLE LEVEL=\"1\" TAG=\"nodex4\" STYLE=\"Title2\">\n<TEXT>Report summary</TEXT>\n"
         "</TITLE>\n<TABLE BORDER=\"1\">\n"
         "<ROW STYLE=\"Array Title\"><CELL_TEXT COLSPAN=\"1\" ROWSPAN=\"0\">Tessaloft Component "
         "testing C++ 8.2.0.1</CELL_TEXT></ROW><ROW>\n"
         "<CELL_TEXT STYLE=\"Array\">Passed</CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\">" +
         std::to_string(passed) +
         "</CELL_TEXT>\n</ROW>\n<ROW>\n"
         "<CELL_TEXT STYLE=\"Array\">Inconclusive</CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\">" +
         std::to_string(inconclusive) +
         "</CELL_TEXT>\n</ROW>\n<ROW>\n"
         "<CELL_TEXT STYLE=\"Array Failed\">Failed</CELL_TEXT>\n"
         "<CELL_TEXT STYLE=\"Array Failed\">" +
         std::to_string(failed) +
         "</CELL_TEXT>\n</ROW>\n<ROW>\n"
         "<CELL_TEXT STYLE=\"Array\">Total</CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\">" +
         std::to_string(total) +
         "</CELL_TEXT>\n</ROW>\n</TABLE>\n"
         "<TITLE LEVEL=\"1\" TAG=\"nodex5\" STYLE=\"Title2\">\n<TEXT>Report Information</TEXT>\n"
         "</TITLE>\n<TABLE BORDER=\"1\">\n</TABLE>\n</SECTION>\n" +
         body + "</XROD:NODE>\n</DOCUMENT>\n</APIDOC>\n</XROD>\n";
}

// One test driver holding the given nodes.
inline std::string driverAround(const std::string& nodes, const char* state = "ok") {
  return std::string("<XROD:NODE name=\"stack\" type=\"Test Driver\" state=\"") + state +
         "\" icone=\"testscript.xpm\"><SECTION TAG=\"rootx6\">\n"
         "<TITLE LEVEL=\"0\" TAG=\"nodex7\" STYLE=\"Title1 Passed\">\n<TEXT>Test Driver stack</TEXT>\n"
         "</TITLE>\n" +
         nodes + "</SECTION>\n</XROD:NODE>\n";
}
