// veldora-export summary REPORT... [--format plain|github] [--max N] [--history H]
#pragma once

#include <memory>
#include <string>
#include <vector>

class CommandArguments;
class SummaryBuilder;
struct PartReport;
struct RunHistory;
struct SummaryOptions;
struct SummaryOutput;

int runSummaryCommand(const CommandArguments& args);

// The summaries of the parts (beside their reports), each part's lines and
// totals and, for several, the run's totals; options.changes after them.
// With history, each failure marked as the gate sees it. False, with the
// error line's text, when a report's totals are refused.
bool writeSummaries(const std::vector<PartReport>& parts,
                    const std::vector<std::unique_ptr<SummaryBuilder>>& summaries,
                    const RunHistory* history, SummaryOptions options, SummaryOutput* output,
                    std::string* error);
