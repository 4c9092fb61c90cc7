// Copying a history (history_copy.h): each project's attempts are read a
// few at a time and recorded into the target as they were recorded first,
// so that every run gets its attempts in their order, under its key.
#include "export/history/history_copy.h"

#include "export/history/history_store.h"

#include <set>

namespace {

// Attempts read at once: a few reports' objects in memory.
const size_t kAttemptsAtOnce = 4;

bool failed(const std::string& location, const std::string& why, std::string* error) {
  *error = shownLocation(location) + ": " + why;
  return false;
}

bool copyProject(const std::string& from, const std::string& to, const std::string& project, std::string* error) {
  std::string why;
  std::unique_ptr<HistoryStore> source = openHistory(from, project, HistoryRead, &why);
  if (!source) return failed(from, why, error);
  std::unique_ptr<HistoryStore> target = openHistory(to, project, HistoryWrite, &why);
  if (!target) return failed(to, why, error);
  std::set<int64_t> keyless;  // a run without a key is one attempt: a record of its own
  std::vector<StoredAttempt> attempts;
  for (int64_t after = 0;;) {
    if (!source->attempts(after, kAttemptsAtOnce, &attempts, &after)) return failed(from, source->error(), error);
    if (attempts.empty()) return true;
    for (const StoredAttempt& attempt : attempts) {
      if (attempt.run.info.key.empty() && !keyless.insert(attempt.runId).second)
        return failed(from, "run " + std::to_string(attempt.runId) + " has several attempts but no key", error);
      RecordedRun recorded;
      if (!target->record(attempt.run, 0, &recorded)) return failed(to, target->error(), error);
    }
  }
}

// False when the target holds runs of one of the projects.
bool targetIsFree(const std::string& to, const std::vector<std::string>& projects, std::string* error) {
  for (const std::string& project : projects) {
    std::string why;
    std::unique_ptr<HistoryStore> target = openHistory(to, project, HistoryWrite, &why);
    std::vector<RunInfo> runs;
    if (!target) return failed(to, why, error);
    if (!target->runsBefore(RunFilter(), 0, 1, &runs)) return failed(to, target->error(), error);
    if (!runs.empty()) return failed(to, "holds runs of project \"" + project + "\" already", error);
  }
  return true;
}

}  // namespace

bool copyHistory(const std::string& from, const std::string& to, std::string* error) {
  std::string why;
  std::unique_ptr<HistoryStore> listing = openHistory(from, "", HistoryRead, &why);
  std::vector<std::string> projects;
  if (!listing) return failed(from, why, error);
  if (!listing->projects(&projects)) return failed(from, listing->error(), error);
  listing.reset();
  if (!targetIsFree(to, projects, error)) return false;
  for (const std::string& project : projects)
    if (!copyProject(from, to, project, error)) return false;
  return true;
}
