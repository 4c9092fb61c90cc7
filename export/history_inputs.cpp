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

}  // namespace

void LocatedRun::object(const TestObject& object) {
  RunCollector::object(object);
  locations.push_back(object.location);
  nodes.push_back(object.nodeId);
  lines.push_back(object.state == StatusFailed ? failureLines(object) : std::vector<FailureLine>());
}

std::string runKeyOf(const CommandArguments& args) {
  if (args.has("--run-key")) return args.value("--run-key");
  const std::string pipeline = environment("CI_PIPELINE_ID");
  return pipeline.empty() ? environment("GITHUB_RUN_ID") : pipeline;
}

std::string runLabelOf(const CommandArguments& args) {
  if (args.has("--label")) return shortLabel(args.value("--label"));
  const std::string commit = environment("CI_COMMIT_SHORT_SHA");
  return shortLabel(commit.empty() ? environment("GITHUB_SHA").substr(0, 8) : commit);
}

bool quarantineOf(const CommandArguments& args, const std::vector<RunObject>& objects,
                  std::vector<bool>* quarantined, std::vector<FailureLine>* stale,
                  std::string* error) {
  quarantined->assign(objects.size(), false);
  if (!args.has("--quarantine")) return true;
  const std::string& path = args.value("--quarantine");
  std::vector<QuarantineEntry> entries;
  if (!readQuarantine(path, &entries, error)) return false;
  std::unordered_map<std::string, std::vector<size_t>> byPath;
  for (size_t i = 0; i < objects.size(); ++i) byPath[objects[i].path].push_back(i);
  for (const QuarantineEntry& entry : entries) {
    const auto found = byPath.find(entry.path);
    if (found == byPath.end()) {
      SourceLink place{true, path, entry.line};
      stale->push_back({place, "quarantine entry matches no object", singleLine(entry.path), path,
                        SeverityWarning});
      continue;
    }
    for (const size_t i : found->second) (*quarantined)[i] = true;
  }
  return true;
}

GateView gateViewOf(const ReportHistory& history, bool againstHistory, const std::string& against,
                    const LocatedRun& run, const std::vector<FailureLine>& staleQuarantine) {
  GateView view;
  view.diff = &history.diff;
  view.history = againstHistory ? &history : nullptr;
  view.against = against;
  view.now = &run.run.objects;
  view.base = &history.baseObjects;
  view.lines = &run.lines;
  view.locations = &run.locations;
  view.totals = run.run.info.totals;
  view.staleQuarantine = &staleQuarantine;
  return view;
}

bool judgeAgainstHistory(const CommandArguments& args, const std::string& historyPath,
                         const std::string& reportPath, const NewRun& run,
                         const std::string& digest, const std::vector<bool>& quarantined,
                         ReportHistory* history, std::string* error) {
  HistoryQuery query;
  query.runKey = runKeyOf(args);
  query.content = digest;
  query.reportPath = reportPath;
  query.quarantined = quarantined;
  if (!args.number("--run", 1, INT64_MAX, &query.baseRun, error)) return false;
  std::unique_ptr<HistoryStore> store = openHistory(historyPath, HistoryRead, error);
  if (store && loadReportHistory(*store, run, query, history, error)) return true;
  *error = historyPath + ": " + *error;
  return false;
}
