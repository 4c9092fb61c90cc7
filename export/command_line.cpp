// Dispatch, the usage texts and the parser of the command table.
//
//   veldora-export --help | --version
//   veldora-export COMMAND OPERANDS [options]
//   veldora-export COMMAND --help
#include "export/command_line.h"

#include "export/xrd/test_objects.h"
#include "support/decimal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

const char kVersion[] = "veldora-export 8.2.0.1";

void printUsage(FILE* to, const CommandEntry* commands, int count) {
  fputs("Usage: veldora-export COMMAND REPORT [options]\n"
        "       veldora-export COMMAND --help\n"
        "       veldora-export --help | --version\n"
        "\n"
        "Turns a report file written by veldora into other forms.\n"
        "\n"
        "Commands:\n",
        to);
  for (int i = 0; i < count; ++i) {
    const std::string synopsis = std::string(commands[i].name) + " " + commands[i].operands;
    fprintf(to, "  %-21s %s\n", synopsis.c_str(), commands[i].summary);
  }
  fputs("\n"
        "OUT \"-\" writes to standard output; any other OUT appears only once it\n"
        "is complete, and never replaces a file the command reads.\n"
        "\n"
        "Exit status: 0 when no verdict failed, 3 when the report holds a failed\n"
        "verdict, 2 when the export failed (usage, an unreadable or broken\n"
        "report or history, an output that could not be written). record gives\n"
        "0 once the run is stored; diff gives 3 only as --fail-on says.\n",
        to);
}

std::string synopsisValue(const OptionEntry& option) {
  return option.value ? std::string(option.name) + " " + option.value : option.name;
}

void printCommandHelp(const CommandEntry& entry) {
  printf("Usage: veldora-export %s %s [options]\n\n%s\n", entry.name, entry.operands, entry.summary);
  if (!entry.options.empty()) puts("\nOptions:");
  for (const OptionEntry& option : entry.options) {
    const std::string synopsis = synopsisValue(option);
    if (synopsis.size() <= 24) printf("  %-24s %s\n", synopsis.c_str(), option.help);
    else printf("  %s\n  %-24s %s\n", synopsis.c_str(), "", option.help);
  }
}

// "-" alone names standard output, not an option.
bool isOption(const char* arg) { return arg[0] == '-' && arg[1] != '\0'; }

bool isHelp(const char* arg) { return strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0; }

const OptionEntry* findOption(const CommandEntry& entry, const char* name) {
  for (const OptionEntry& option : entry.options)
    if (strcmp(option.name, name) == 0) return &option;
  return nullptr;
}

bool takesFiles(const OptionEntry& option) {
  return option.value && strcmp(option.value, "FILES...") == 0;
}

// The words of a text separated by sep.
std::vector<std::string> split(const char* text, char sep) {
  std::vector<std::string> words(1);
  for (const char* c = text; *c; ++c) {
    if (*c == sep) words.emplace_back();
    else words.back() += *c;
  }
  return words;
}

// --help anywhere but as an option's value asks for the command's help.
bool asksForHelp(const CommandEntry& entry, int argc, char** argv) {
  for (int i = 0; i < argc; ++i) {
    if (isHelp(argv[i])) return true;
    const OptionEntry* option = findOption(entry, argv[i]);
    if (option && option->value && !takesFiles(*option)) ++i;
  }
  return false;
}

}  // namespace

const std::string CommandArguments::kNone;

bool CommandArguments::parse(const CommandEntry& entry, int argc, char** argv, std::string* error) {
  entry_ = &entry;
  const std::string command = std::string(entry.name) + ": ";
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (!isOption(arg)) {
      operands_.push_back(arg);
      continue;
    }
    const OptionEntry* option = findOption(entry, arg);
    if (!option) {
      *error = command + "unknown option " + arg + " (see --help)";
      return false;
    }
    if (values_.count(arg) || files_.count(arg)) {
      *error = command + arg + " given twice (see --help)";
      return false;
    }
    if (takesFiles(*option)) {
      std::vector<std::string>& files = files_[arg];
      while (i + 1 < argc && !isOption(argv[i + 1])) files.push_back(argv[++i]);
      if (files.empty()) {
        *error = command + arg + " needs the files (see --help)";
        return false;
      }
    } else if (!option->value) {
      values_[arg];
    } else if (i + 1 == argc) {
      *error = command + arg + " needs a value (see --help)";
      return false;
    } else {
      // The next argument whatever it looks like: "-o -h" names a file "-h".
      values_[arg] = argv[++i];
    }
  }
  return operandsFit(entry, error);
}

// The operands against their words: "REPORT" one, "REPORT..." one or
// more, "[REPORT...]" any number.
bool CommandArguments::operandsFit(const CommandEntry& entry, std::string* error) const {
  const std::vector<std::string> wanted = split(entry.operands, ' ');
  const std::string& last = wanted.back();
  const bool many = last.size() > 3 && last.compare(last.size() - 3, 3, "...") == 0 &&
                    last.find("...]") == std::string::npos;
  const bool optional = last.front() == '[';
  const size_t fixed = wanted.size() - (many || optional ? 1 : 0);
  const size_t given = operands_.size();
  if (given == wanted.size() || (many && given > fixed) || (optional && given >= fixed)) return true;
  const std::string command = std::string(entry.name) + ": ";
  if (wanted.size() == 1 && given == 0) *error = command + "no report file named";
  else if (wanted.size() == 1 && !many) *error = command + "one report file only";
  else if (wanted.size() == 2 && !optional) *error = command + "needs " + wanted[0] + " and " + wanted[1];
  else *error = command + "needs " + wanted[0];
  *error += " (see --help)";
  return false;
}

const std::string& CommandArguments::value(const char* option, const std::string& fallback) const {
  const auto found = values_.find(option);
  return found == values_.end() ? fallback : found->second;
}

const std::vector<std::string>& CommandArguments::files(const char* option) const {
  static const std::vector<std::string> kNoFiles;
  const auto found = files_.find(option);
  return found == files_.end() ? kNoFiles : found->second;
}

bool CommandArguments::number(const char* option, int64_t min, int64_t max, int64_t* number,
                              std::string* error) const {
  if (!has(option)) return true;
  const std::string& text = value(option);
  if (parseDecimal(text.c_str(), min, max, number)) return true;
  *error = std::string(entry_->name) + ": " + option + " needs a number" +
           (min > 0 ? " above 0" : "") + ", not " + text;
  return false;
}

bool CommandArguments::choice(const char* option, int* chosen, std::string* error) const {
  if (!has(option)) return true;
  const std::vector<std::string> choices = split(findOption(*entry_, option)->value, '|');
  const std::string& given = value(option);
  std::string known;
  for (size_t i = 0; i < choices.size(); ++i) {
    if (choices[i] == given) {
      *chosen = static_cast<int>(i);
      return true;
    }
    known += (i ? ", " : "") + choices[i];
  }
  *error = std::string(entry_->name) + ": unknown " + option + " " + given + " (" + known + ")";
  return false;
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat first, second;
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

const CommandInput* findInput(const std::string& path, const std::vector<CommandInput>& inputs) {
  for (const CommandInput& input : inputs)
    if (!input.path.empty() && sameFile(path, input.path)) return &input;
  return nullptr;
}

bool outputAvoidsInputs(const std::string& output, const std::vector<CommandInput>& inputs,
                        std::string* error) {
  const CommandInput* input = output == "-" ? nullptr : findInput(output, inputs);
  if (input) *error = output + ": the output would replace " + input->what;
  return !input;
}

// Quoted report text stays on the line: controls are escaped or replaced,
// runner commands made inert.
void printErrorLine(const std::string& text) {
  fprintf(stderr, "veldora-export: %s\n", runnerInert(singleLine(text)).c_str());
}

bool writeStandardOutput(const std::string& text) {
  if (fwrite(text.data(), 1, text.size(), stdout) == text.size() && fflush(stdout) == 0) return true;
  printErrorLine(std::string("standard output: cannot write: ") + strerror(errno));
  return false;
}

int runExport(int argc, char** argv, const CommandEntry* commands, int count) {
  if (argc < 2) {
    printUsage(stderr, commands, count);
    return ExitBroken;
  }
  if (isHelp(argv[1])) {
    printUsage(stdout, commands, count);
    return ExitPassed;
  }
  if (strcmp(argv[1], "--version") == 0) {
    puts(kVersion);
    return ExitPassed;
  }
  for (int i = 0; i < count; ++i) {
    const CommandEntry& entry = commands[i];
    if (strcmp(argv[1], entry.name) != 0) continue;
    if (asksForHelp(entry, argc - 2, argv + 2)) {
      printCommandHelp(entry);
      return ExitPassed;
    }
    CommandArguments args;
    std::string error;
    if (!args.parse(entry, argc - 2, argv + 2, &error)) {
      printErrorLine(error);
      return ExitBroken;
    }
    return entry.run(args);
  }
  printErrorLine(std::string("unknown command ") + argv[1] + " (see veldora-export --help)");
  return ExitBroken;
}
