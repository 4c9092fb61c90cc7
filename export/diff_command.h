// veldora-export diff BASE REPORT [--format plain|github|markdown]
//   [--fail-on new|any|none] [--run ID] [--max N]
#pragma once

class CommandArguments;

int runDiffCommand(const CommandArguments& args);
