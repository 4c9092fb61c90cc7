// veldora-export record: adds reports to the run history: each a part of
// a run, or another attempt of its part in its CI run.
//
//   CI_PIPELINE_ID=4711 veldora-export record shard1/stack_test.xrd --history history.sqlite --keep 200
//   run 12 recorded in history.sqlite: Passed 6, Inconclusive 2, Failed 1, Total 9
//   (another shard of the pipeline)
//   CI_PIPELINE_ID=4711 veldora-export record shard2/queue_test.xrd --part queue --history history.sqlite
//   run 12 part queue recorded in history.sqlite: Passed 3, Inconclusive 0, Failed 0, Total 3
#include "export/record_command.h"

#include "export/history_inputs.h"

#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The time of recording, in the layout of the runs' times.
std::string now() {
  const time_t seconds = time(nullptr);
  struct tm local;
  if (!localtime_r(&seconds, &local)) return std::string();
  return isoTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec});
}

// A run key of its own, for reports recorded together without one: they
// are one run, and no later record joins it.
std::string freshKey() {
  unsigned char bytes[16] = {};
  const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  const bool read = fd >= 0 && ::read(fd, bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes);
  if (fd >= 0) close(fd);
  std::string key = "local:";
  char hex[3];
  for (const unsigned char b : bytes) {
    snprintf(hex, sizeof hex, "%02x", b);
    key += hex;
  }
  if (!read) key += std::to_string(getpid()) + "." + std::to_string(time(nullptr));
  return key;
}

}  // namespace

bool recordsNamedParts(const CommandArguments& args, const std::vector<PartReport>& parts) {
  return parts.size() > 1 || args.has("--part");
}

bool prepareRecord(const CommandArguments& args, std::vector<PartReport>* parts, int64_t* keep,
                   std::string* error) {
  if (!args.number("--keep", 1, 1000000000, keep, error)) return false;
  std::string key = runKeyOf(args);
  if (key.empty() && parts->size() > 1) key = freshKey();
  for (PartReport& part : *parts) {
    NewRun& run = part.run.run;
    run.content = part.digest;
    run.info.key = key;
    run.info.branch = branchOf(args);
    run.info.label = runLabelOf(args);
    if (run.info.generated.empty()) run.info.generated = now();
  }
  return true;
}

bool recordPrepared(const std::string& history, const std::string& project,
                    const std::vector<PartReport>& parts, int64_t keep, bool named,
                    std::string* said, std::string* error) {
  std::unique_ptr<HistoryStore> store = openHistory(history, project, HistoryWrite, error);
  const std::string shown = shownLocation(history);
  if (!store) {
    *error = shown + ": " + *error;
    return false;
  }
  for (const PartReport& part : parts) {
    const NewRun& run = part.run.run;
    RecordedRun recorded;
    if (!store->record(run, keep, &recorded)) {
      *error = shown + ": " + store->error();
      return false;
    }
    const VerdictTotals& t = run.info.totals;
    *said += "run " + std::to_string(recorded.run) + (named ? " part " + run.part : "") +
             (recorded.attempt > 1 ? " attempt " + std::to_string(recorded.attempt) : "") +
             " recorded in " + shown + ": Passed " + std::to_string(t.passed) + ", Inconclusive " +
             std::to_string(t.inconclusive) + ", Failed " + std::to_string(t.failed) + ", Total " +
             std::to_string(t.total) + "\n";
  }
  return true;
}

int runRecordCommand(const CommandArguments& args) {
  const std::string history = historyOf(args);
  std::vector<PartReport> parts;
  std::string error;
  if (history.empty()) {
    printErrorLine("record: --history is missing, and VELDORA_HISTORY names none (see --help)");
    return ExitBroken;
  }
  int64_t keep = 0;
  bool ok = args.number("--keep", 1, 1000000000, &keep, &error) && partReports(args, 0, &parts, &error);
  for (const PartReport& part : parts) {
    if (ok && sameFile(history, part.input.path)) {
      error = history + ": the run history would replace the report";
      ok = false;
    }
  }
  for (PartReport& part : parts) ok = ok && readPart(&part, nullptr, nullptr, {true, true}, &error);
  std::string said;
  if (!ok || !prepareRecord(args, &parts, &keep, &error) ||
      !recordPrepared(history, projectOf(args, history), parts, keep, recordsNamedParts(args, parts),
                      &said, &error)) {
    printErrorLine(error);
    return ExitBroken;
  }
  return writeStandardOutput(said) ? ExitPassed : ExitBroken;
}
