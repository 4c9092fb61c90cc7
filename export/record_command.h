// veldora-export record REPORT... --history H [--part NAME] [--run-key KEY]
//   [--branch NAME] [--project KEY] [--label TEXT] [--keep N]
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CommandArguments;
struct PartReport;

int runRecordCommand(const CommandArguments& args);

// The parts (read, with their digests) made ready to record: the run key
// (a fresh one for several parts without one), branch, label and time of
// args, and --keep in *keep. False, with the error line's text, for a
// wrong --keep.
bool prepareRecord(const CommandArguments& args, std::vector<PartReport>* parts, int64_t* keep,
                   std::string* error);
// Whether the lines of a record name the parts: several, or one named.
bool recordsNamedParts(const CommandArguments& args, const std::vector<PartReport>& parts);
// Records the prepared parts into history as one run, what it did in
// *said ("run 6 recorded in history.sqlite: Passed 6, ..."). Reads the
// parts only, so that it may run beside their other outputs. False, with
// the error line's text, when the history cannot take them.
bool recordPrepared(const std::string& history, const std::string& project,
                    const std::vector<PartReport>& parts, int64_t keep, bool named,
                    std::string* said, std::string* error);
