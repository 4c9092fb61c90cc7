// veldora-export: turns a report file of veldora into other forms. Each
// export is one row of the command table.
#include "export/command_line.h"
#include "export/page_writer.h"

namespace {

const ExportCommand kCommands[] = {
    {"html", "html REPORT [-o OUT]",
     "one self-contained HTML page (OUT: REPORT as .html)", runHtmlCommand},
};

}  // namespace

int main(int argc, char** argv) {
  return runExport(argc, argv, kCommands, sizeof kCommands / sizeof kCommands[0]);
}
