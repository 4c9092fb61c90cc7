// The fixed words of the report format, for the program that writes
// reports and the one that reads them: element and attribute names, STYLE
// values, the TAG prefixes of sections and titles, the icon files and the
// state codes. Words a user reads (labels, kind names) are translated and
// are no part of it.
//
//   <XROD:NODE name="push" type="Test Case" state="ok" sum="1" icone="method.xpm">
//   <SECTION TAG="rootx6"><TITLE LEVEL="1" TAG="nodex7" STYLE="Title2 Passed">
//   <LINK TARGET="src/stack line 42"> ... <CELL_TEXT STYLE="Array Failed">
#pragma once

#include <string_view>

namespace report_format {

// Elements.
inline constexpr char kXrod[] = "XROD";
inline constexpr char kApidoc[] = "APIDOC";
inline constexpr char kDocument[] = "DOCUMENT";
inline constexpr char kNode[] = "XROD:NODE";
inline constexpr char kSection[] = "SECTION";
inline constexpr char kTitle[] = "TITLE";
inline constexpr char kText[] = "TEXT";
inline constexpr char kLink[] = "LINK";
inline constexpr char kImage[] = "IMAGE";
inline constexpr char kTable[] = "TABLE";
inline constexpr char kRow[] = "ROW";
inline constexpr char kCell[] = "CELL";
inline constexpr char kCellText[] = "CELL_TEXT";

// Attributes: of XROD:NODE, then of the other elements.
inline constexpr char kName[] = "name";
inline constexpr char kType[] = "type";
inline constexpr char kState[] = "state";
inline constexpr char kSum[] = "sum";
inline constexpr char kIcon[] = "icone";
inline constexpr char kTag[] = "TAG";
inline constexpr char kStyle[] = "STYLE";
inline constexpr char kLevel[] = "LEVEL";
inline constexpr char kTarget[] = "TARGET";
inline constexpr char kDocumentTitle[] = "TITLE";

// A LINK TARGET is "FILE line N".
inline constexpr char kLineSeparator[] = " line ";

// TAG prefixes: of the overview, driver and contracts sections, and of titles.
inline constexpr char kOverviewTag[] = "filex";
inline constexpr char kDriverTag[] = "rootx";
inline constexpr char kContractsTag[] = "classx";
inline constexpr char kTitleTag[] = "nodex";

// State codes of XROD:NODE.
inline constexpr char kPassed[] = "ok";
inline constexpr char kFailed[] = "ko";
inline constexpr char kNotExecuted[] = "NE";

// A TITLE's STYLE is "Title" and a number, then one of these suffixes for
// a failed or a passed node.
inline constexpr char kTitleStyle[] = "Title";
inline constexpr char kFailedSuffix[] = " Failed";
inline constexpr char kPassedSuffix[] = " Passed";

// The test summary that veldora appends to the header text file after each
// run, and that the exports read back for a trend of the runs:
//
//   -Test summary
//   Passed=6
//   Inconclusive=2
//   Failed=1
//   Total=9
inline constexpr char kTestSummary[] = "-Test summary";
inline constexpr const char* kTestSummaryKeys[] = {"Passed=", "Inconclusive=", "Failed=", "Total="};

}  // namespace report_format

// The STYLE of a table cell.
enum CellStyle {
  StyleTitle = 0,   // "Array Title"
  StylePlain = 1,   // "Array"
  StyleFailed = 2,  // "Array Failed"
  StylePassed = 3,  // "Array Passed"
};
// Title styles use the same numbers: 2 adds " Failed", 3 adds " Passed".

// The STYLE value of a cell style; any other value is StyleFailed's.
const char* cellStyleName(int style);
// The cell style a STYLE value names; -1 for any other text.
int cellStyleFromName(std::string_view name);

// The icone attribute of XROD:NODE.
enum NodeIcon {
  IconNone = -1,       // no icone attribute
  IconMethod = 0,      // "method.xpm"
  IconClass = 1,       // "class.xpm"
  IconTestScript = 2,  // "testscript.xpm"
};

// The file of an icon; null for IconNone and values out of range.
const char* iconFile(int icon);
// The icon an icone value names; IconNone for any other text.
NodeIcon iconFromFile(std::string_view file);
