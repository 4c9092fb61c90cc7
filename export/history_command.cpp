// veldora-export history copy FROM TO: moves a run history between a file
// and a server, every project's every run kept.
//
//   veldora-export history copy history.sqlite "$VELDORA_HISTORY"
//   history.sqlite copied to postgresql://ci@db.example.com:5432/veldora
#include "export/history_command.h"

#include "export/command_line.h"
#include "export/history/history_copy.h"
#include "export/history/history_store.h"

#include <cstdio>

int runHistoryCommand(const CommandArguments& args) {
  const std::vector<std::string>& operands = args.operands();
  if (operands[0] != "copy") {
    printErrorLine("history: unknown action " + operands[0] + " (copy)");
    return ExitBroken;
  }
  std::string error;
  if (!copyHistory(operands[1], operands[2], &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  printf("%s copied to %s\n", shownLocation(operands[1]).c_str(), shownLocation(operands[2]).c_str());
  return fflush(stdout) == 0 ? ExitPassed : ExitBroken;
}
