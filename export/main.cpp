// veldora-export: turns a report file of veldora into other forms. Each
// export is one row of the command table.
#include "export/command_line.h"
#include "export/diff_command.h"
#include "export/html_command.h"
#include "export/junit_command.h"
#include "export/record_command.h"
#include "export/summary_command.h"

namespace {

const ExportCommand kCommands[] = {
    {"html", "html REPORT [-o OUT] [options]",
     "one self-contained HTML page (OUT: REPORT as .html; --history FILE or --header FILE)",
     runHtmlCommand},
    {"junit", "junit REPORT [-o OUT] [options]",
     "JUnit XML for CI (OUT: REPORT as .junit.xml, --system-out none|failures|all)",
     runJunitCommand},
    {"summary", "summary REPORT [options]",
     "the failures as FILE:LINE: lines, then the totals (--format plain|github, --max N, "
     "--history FILE)",
     runSummaryCommand},
    {"record", "record REPORT --history FILE",
     "adds the report to the run history FILE, once (--label TEXT, --keep N)", runRecordCommand},
    {"diff", "diff BASE REPORT [options]",
     "what changed against BASE, a report or a history (--format plain|github|markdown, "
     "--fail-on new|any|none, --run ID, --max N)",
     runDiffCommand},
};

}  // namespace

int main(int argc, char** argv) {
  return runExport(argc, argv, kCommands, sizeof kCommands / sizeof kCommands[0]);
}
