// The run history's inputs of the commands: the only place where the
// history's defaults are taken from the CI's environment.
#include "export/history_inputs.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace {

std::string environment(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

// The option's value, else the first of the variables that is set and not empty.
std::string optionOrEnvironment(const CommandArguments& args, const char* option,
                                std::initializer_list<const char*> variables) {
  if (args.has(option)) return args.value(option);
  for (const char* name : variables) {
    const std::string value = environment(name);
    if (!value.empty()) return value;
  }
  return std::string();
}

std::string trimmed(const std::string& text) {
  const char* blanks = " \t\r";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

struct QuarantineEntry {
  std::string path;
  int64_t line = 0;
};

bool readQuarantine(const std::string& path, std::vector<QuarantineEntry>* entries,
                    std::string* error) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path.c_str(), "rb"), fclose);
  if (!file) {
    *error = path + ": cannot read: " + strerror(errno);
    return false;
  }
  std::string line;
  int64_t number = 0;
  int c;
  do {
    c = getc(file.get());
    if (c != '\n' && c != EOF) {
      line += static_cast<char>(c);
      continue;
    }
    ++number;
    const std::string entry = trimmed(line);
    if (!entry.empty() && entry[0] != '#') entries->push_back({entry, number});
    line.clear();
  } while (c != EOF);
  if (ferror(file.get())) {
    *error = path + ": cannot read: " + strerror(errno);
    return false;
  }
  return true;
}

// The report's file name without its folder and its extension.
std::string partName(const std::string& report) {
  const size_t slash = report.rfind('/');
  std::string name = report.substr(slash == std::string::npos ? 0 : slash + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

void LocatedRun::object(const TestObject& object) {
  RunCollector::object(object);
  locations.push_back(object.location);
  nodes.push_back(object.nodeId);
  lines.push_back(object.state == StatusFailed ? failureLines(object) : std::vector<FailureLine>());
}

bool partReports(const CommandArguments& args, size_t first, std::vector<PartReport>* parts,
                 std::string* error) {
  const std::vector<std::string>& operands = args.operands();
  const size_t count = operands.size() - first;
  const std::string command = args.command().name;
  if (count > 1 && (args.has("--part") || args.has("--ots"))) {
    *error = command + ": " + (args.has("--part") ? "--part" : "--ots") +
             " names what belongs to one report only (see --help)";
    return false;
  }
  parts->resize(count);
  std::unordered_map<std::string, size_t> names;
  for (size_t i = 0; i < count; ++i) {
    PartReport& part = (*parts)[i];
    part.input = reportInput(args, first + i);
    part.run.run.part = args.value("--part", partName(part.input.path));
    if (!names.emplace(part.run.run.part, i).second) {
      *error = command + ": two reports of one part \"" + part.run.run.part + "\": " +
               operands[first + names[part.run.run.part]] + " and " + part.input.path;
      return false;
    }
  }
  return true;
}

bool readPart(PartReport* part, TestObjectVisitor* extra, const ReportItems& items,
              PartReading reading, std::string* error) {
  VisitorFanOut objects;
  if (reading.run) objects.add(part->run);
  if (extra) objects.add(*extra);
  return readReportOnce(part->input, objects, items, reading.digest ? &part->digest : nullptr, error);
}

namespace {

// A stored failed object's lines, as its report gave them but without
// places: a check line's expression, else the object's title.
std::vector<FailureLine> storedLines(const RunObject& object) {
  std::vector<FailureLine> lines;
  if (object.status != StatusFailed) return lines;
  size_t from = 0;
  while (from <= object.checks.size()) {
    const size_t end = std::min(object.checks.find('\n', from), object.checks.size());
    const std::string line = object.checks.substr(from, end - from);
    const size_t tab = line.find('\t');
    lines.push_back({SourceLink(), tab == std::string::npos ? "failed" : "check failed",
                     line.substr(0, tab), object.path, SeverityError});
    from = end + 1;
  }
  return lines;
}

}  // namespace

bool storedParts(const CommandArguments& args, const std::string& location,
                 std::vector<PartReport>* parts, std::string* error) {
  const std::string key = runKeyOf(args);
  const std::string shown = shownLocation(location) + ": ";
  std::unique_ptr<HistoryStore> store = openHistory(location, projectOf(args, location), HistoryRead, error);
  RunInfo own;
  bool found = false;
  std::vector<PartInfo> held;
  if (!store) {
    *error = shown + *error;
    return false;
  }
  if (!store->runWithKey(key, &own, &found) || (found && !store->runParts(own.id, &held))) {
    *error = shown + store->error();
    return false;
  }
  if (!found) {
    *error = shown + "no run of key " + key;
    return false;
  }
  for (const PartInfo& info : held) {
    parts->emplace_back();
    LocatedRun& located = parts->back().run;
    NewRun& run = located.run;
    run.part = info.name;
    run.info = own;
    run.info.totals = info.totals;
    if (!store->runObjects(own.id, info.name, &run.objects)) {
      *error = shown + store->error();
      return false;
    }
    located.locations.resize(run.objects.size());
    located.nodes.resize(run.objects.size());
    for (const RunObject& object : run.objects) located.lines.push_back(storedLines(object));
  }
  return true;
}

std::string historyOf(const CommandArguments& args) {
  return optionOrEnvironment(args, "--history", {"VELDORA_HISTORY"});
}

std::string projectOf(const CommandArguments& args, const std::string& history) {
  if (!isHistoryServer(history)) return args.value("--project");
  return optionOrEnvironment(args, "--project", {"CI_PROJECT_PATH", "GITHUB_REPOSITORY"});
}

std::string runKeyOf(const CommandArguments& args) {
  return optionOrEnvironment(args, "--run-key", {"CI_PIPELINE_ID", "GITHUB_RUN_ID"});
}

std::string branchOf(const CommandArguments& args) {
  return optionOrEnvironment(args, "--branch",
                             {"CI_MERGE_REQUEST_SOURCE_BRANCH_NAME", "CI_COMMIT_BRANCH",
                              "GITHUB_HEAD_REF", "GITHUB_REF_NAME"});
}

std::string baseBranchOf(const CommandArguments& args) {
  const std::string base = optionOrEnvironment(
      args, "--base-branch",
      {"CI_MERGE_REQUEST_TARGET_BRANCH_NAME", "CI_DEFAULT_BRANCH", "GITHUB_BASE_REF"});
  return base.empty() ? branchOf(args) : base;
}

std::string runLabelOf(const CommandArguments& args) {
  if (args.has("--label")) return shortLabel(args.value("--label"));
  const std::string commit = environment("CI_COMMIT_SHORT_SHA");
  return shortLabel(commit.empty() ? environment("GITHUB_SHA").substr(0, 8) : commit);
}

bool quarantineOf(const CommandArguments& args, std::vector<PartReport>* parts,
                  std::vector<FailureLine>* stale, std::string* error) {
  for (PartReport& part : *parts) part.quarantined.assign(part.run.run.objects.size(), false);
  if (!args.has("--quarantine")) return true;
  const std::string& path = args.value("--quarantine");
  std::vector<QuarantineEntry> entries;
  if (!readQuarantine(path, &entries, error)) return false;
  // An entry names an object by its path, or in a run of several parts
  // by its part and path.
  std::unordered_map<std::string, std::vector<std::pair<size_t, size_t>>> byPath;
  for (size_t p = 0; p < parts->size(); ++p) {
    const NewRun& run = (*parts)[p].run.run;
    for (size_t i = 0; i < run.objects.size(); ++i) {
      byPath[run.objects[i].path].emplace_back(p, i);
      if (parts->size() > 1) byPath[run.part + " > " + run.objects[i].path].emplace_back(p, i);
    }
  }
  for (const QuarantineEntry& entry : entries) {
    const auto found = byPath.find(entry.path);
    if (found == byPath.end()) {
      stale->push_back({SourceLink{true, path, entry.line}, "quarantine entry matches no object",
                        singleLine(entry.path), path, SeverityWarning});
      continue;
    }
    for (const auto& [p, i] : found->second) (*parts)[p].quarantined[i] = true;
  }
  return true;
}

bool judgeRun(const CommandArguments& args, const std::string& location,
              const std::vector<PartReport>& parts, RunHistory* history, std::string* error) {
  RunHistoryQuery query;
  query.runKey = runKeyOf(args);
  query.branch = branchOf(args);
  query.baseBranch = baseBranchOf(args);
  if (!parts.empty()) {
    query.content = parts.front().digest;
    query.reportPath = parts.front().input.path;
  }
  if (!args.number("--run", 1, INT64_MAX, &query.baseRun, error)) return false;
  std::vector<PartRun> runs;
  for (const PartReport& part : parts) runs.push_back({&part.run.run, &part.quarantined});
  std::unique_ptr<HistoryStore> store = openHistory(location, projectOf(args, location), HistoryRead, error);
  if (store && loadRunHistory(*store, runs, query, history, error)) return true;
  *error = shownLocation(location) + ": " + *error;
  return false;
}

GateReport gateReportOf(const RunHistory& history, bool againstHistory, const std::string& against,
                        const std::vector<PartReport>& parts, const std::vector<FailureLine>& stale) {
  GateReport report;
  for (size_t p = 0; p < parts.size(); ++p) {
    const ReportHistory& part = history.parts[p];
    const LocatedRun& run = parts[p].run;
    report.parts.push_back({&part.diff, againstHistory ? &part : nullptr,
                            parts.size() > 1 ? part.part : std::string(), &run.run.objects,
                            &part.baseObjects, &run.lines, &run.locations});
  }
  report.missingParts = history.missingParts;
  for (const PartReport& part : parts) report.totals += part.run.run.info.totals;
  report.against = against;
  report.staleQuarantine = &stale;
  return report;
}
