// veldora-export summary REPORT [--format plain|github] [--max N] [--source-root DIR]
#pragma once

class CommandArguments;

int runSummaryCommand(const CommandArguments& args);
