// veldora-export record REPORT... --history H [--part NAME] [--run-key KEY]
//   [--branch NAME] [--project KEY] [--label TEXT] [--keep N]
#pragma once

#include <string>
#include <vector>

class CommandArguments;
struct PartReport;

int runRecordCommand(const CommandArguments& args);

// Records the parts (read, with their digests) into history as one run,
// with the run key, branch, project, label and --keep of args, and says so
// on standard output. False, with the error line's text, when the history
// cannot take them.
bool recordParts(const CommandArguments& args, const std::string& history,
                 std::vector<PartReport>* parts, std::string* error);
