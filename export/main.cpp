// veldora-export: turns a report file of veldora into other forms. Each
// export is one row of the command table.
#include "export/command_line.h"
#include "export/ci/junit_writer.h"
#include "export/html_command.h"
#include "export/ci/summary_writer.h"

namespace {

const ExportCommand kCommands[] = {
    {"html", "html REPORT [-o OUT]",
     "one self-contained HTML page (OUT: REPORT as .html)", runHtmlCommand},
    {"junit", "junit REPORT [-o OUT]", "JUnit XML for CI (OUT: REPORT as .junit.xml)",
     runJunitCommand},
    {"summary", "summary REPORT [options]",
     "the failures as FILE:LINE: lines, then the totals (--format plain|github, --max N)",
     runSummaryCommand},
};

}  // namespace

int main(int argc, char** argv) {
  return runExport(argc, argv, kCommands, sizeof kCommands / sizeof kCommands[0]);
}
