// The command line of veldora-export: one table of commands (main.cpp),
// each with the operands and options it takes, from which come the parser,
// the usage text and each command's --help:
//
//   {"diff", "BASE REPORT", "what changed against BASE ...",
//    {{"--format", "plain|github|markdown", "how the changes are written (default: plain)"},
//     {"--run", "ID", "the run to compare with (default: the newest before REPORT)"}, ...},
//    runDiffCommand}
//
//   veldora-export diff history.sqlite report.xrd --format github
//   veldora-export diff --help
//   veldora-export: diff: unknown --format xml (plain, github, markdown)
//
// Only the commands print; this layer gives them their arguments parsed,
// the error line and the exit statuses.
#pragma once

#include <map>
#include <string>
#include <vector>

// Exit statuses: like veldora, 0 when no verdict failed and 3 when one did;
// 2 when the export itself failed (usage, an unreadable or broken report,
// an output that could not be written).
enum ExportExit { ExitPassed = 0, ExitBroken = 2, ExitFailedVerdict = 3 };

// An option as its command's usage shows it.
struct OptionEntry {
  const char* name;  // "--format", "-o"
  // What follows it: "FILE", "N"; choices "plain|github" (checked by
  // CommandArguments::choice); "FILES..." takes every argument up to the
  // next option. Null: a switch without a value.
  const char* value;
  const char* help;  // one line, with the default
};

class CommandArguments;

struct CommandEntry {
  const char* name;      // "diff"
  // One word per operand: "BASE REPORT"; the last may take one or more
  // ("REPORT...") or any number ("[REPORT...]").
  const char* operands;
  const char* summary;   // one line of the general usage text
  std::vector<OptionEntry> options;
  // Runs with its arguments parsed; returns the exit status.
  int (*run)(const CommandArguments& args);
};

// A command's arguments: its operands in order and each option given once.
class CommandArguments {
 public:
  // Parses the arguments after the command's name. False, with the error
  // line's text, for an unknown option, an option given twice or without
  // its value, or operands other than the command's.
  bool parse(const CommandEntry& entry, int argc, char** argv, std::string* error);

  const CommandEntry& command() const { return *entry_; }
  const std::vector<std::string>& operands() const { return operands_; }
  bool has(const char* option) const { return values_.count(option) > 0; }
  // The option's value; fallback when it was not given.
  const std::string& value(const char* option, const std::string& fallback = kNone) const;
  // The files of a "FILES..." option; empty when it was not given.
  const std::vector<std::string>& files(const char* option) const;

  // The option's value as a number of [min, max] in *number (left as it is
  // when the option was not given). False, with the error line's text,
  // for any other value.
  bool number(const char* option, int64_t min, int64_t max, int64_t* number,
              std::string* error) const;
  // The position of the option's value among the choices of its table row
  // ("plain|github": 0 or 1) in *chosen (left as it is when not given).
  // False, with the error line's text, for another value.
  bool choice(const char* option, int* chosen, std::string* error) const;

 private:
  bool operandsFit(const CommandEntry& entry, std::string* error) const;

  static const std::string kNone;
  const CommandEntry* entry_ = nullptr;
  std::vector<std::string> operands_;
  std::map<std::string, std::string> values_;
  std::map<std::string, std::vector<std::string>> files_;
};

// The whole program: dispatches argv[1] over the commands; "--help" prints
// the usage text, "COMMAND --help" the command's.
int runExport(int argc, char** argv, const CommandEntry* commands, int count);

// "veldora-export: " and the text, as one line on standard error; report
// text in it stays on the line (controls escaped or replaced).
void printErrorLine(const std::string& text);

// Writes text to standard output. False after the error line.
bool writeStandardOutput(const std::string& text);

// True when both names exist and are the same file (links followed).
bool sameFile(const std::string& a, const std::string& b);

// A file the command reads, and what it is: {"report.xrd", "the report"}.
struct CommandInput {
  std::string path;
  const char* what;
};
// The input that path names (links followed), or null.
const CommandInput* findInput(const std::string& path, const std::vector<CommandInput>& inputs);
// False, with the error line's text, when output names one of inputs: an
// output never replaces what the command reads.
bool outputAvoidsInputs(const std::string& output, const std::vector<CommandInput>& inputs,
                        std::string* error);
