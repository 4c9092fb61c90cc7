// veldora-export record REPORT --history FILE [--run-key KEY] [--label TEXT] [--keep N]
#pragma once

#include "export/history/history_store.h"

#include <string>

class CommandArguments;

int runRecordCommand(const CommandArguments& args);

// Records run (its content taken) into history with the run key, label
// and --keep of args, and says so on standard output. False, with the
// error line's text, when the history cannot take it.
bool recordRun(const CommandArguments& args, const std::string& history, NewRun run,
               std::string* error);
