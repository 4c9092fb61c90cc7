// The history store alone as a program, for the tests that need processes
// (history_processes_test.py) and for timing the store on large runs:
//
//   history_store_tool record FILE --objects N --seed S [--key K] [--keep N] [--failing-every N]
//       records a run of N objects ("object 0", ...), every Nth failing
//       (default 7) from the seed's own place on; prints "run 3 attempt 1"
//   history_store_tool read FILE [--times N]
//       every read over every run, N times in one store (default 1), each
//       run's objects against its totals; prints "runs 1 2 3"
//
// Exit 0, or 2 after "history_store_tool: FILE: why".
#include "export/history/history_store.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

int failed(const std::string& file, const std::string& why) {
  fprintf(stderr, "history_store_tool: %s: %s\n", file.c_str(), why.c_str());
  return 2;
}

std::string objectKey(int64_t i) {
  char key[32];
  snprintf(key, sizeof key, "object %09lld", static_cast<long long>(i));
  return key;
}

int record(const std::string& file, int64_t objects, int64_t seed, const std::string& key, int64_t keep,
           int64_t failingEvery) {
  NewRun run;
  run.content = std::string(kDigestTag) + "seed " + std::to_string(seed);
  run.info.key = key;
  run.info.generated = "2026-12-07T09:30:12";
  run.info.label = "seed " + std::to_string(seed);
  for (int64_t i = 0; i < objects; ++i) {
    const bool fails = (i + seed) % failingEvery == 0;
    run.objects.push_back({objectKey(i), "suite > object " + std::to_string(i),
                           fails ? StatusFailed : StatusPassed,
                           fails ? "size() == n\t(failed 1 of 3 executions)" : ""});
    ++(fails ? run.info.totals.failed : run.info.totals.passed);
  }
  run.info.totals.total = objects;
  std::string error;
  std::unique_ptr<HistoryStore> store = openHistory(file, HistoryWrite, &error);
  RecordedRun recorded;
  if (!store) return failed(file, error);
  if (!store->record(run, keep, &recorded)) return failed(file, store->error());
  printf("run %lld attempt %lld\n", static_cast<long long>(recorded.run),
         static_cast<long long>(recorded.attempt));
  return 0;
}

int read(const std::string& file, int64_t times) {
  std::string error;
  std::unique_ptr<HistoryStore> store = openHistory(file, HistoryRead, &error);
  if (!store) return failed(file, error);
  std::string listed;
  for (int64_t time = 0; time < times; ++time) {
    if (time > 0) usleep(20000);
    std::vector<RunInfo> runs;
    bool untagged = false;
    if (!store->runsBefore(0, 0, &runs) || !store->holdsUntaggedContent(&untagged))
      return failed(file, store->error());
    std::string now = "runs";
    std::vector<int64_t> ids;
    for (const RunInfo& run : runs) {
      RunInfo again;
      bool found = false;
      std::vector<RunObject> objects;
      if (!store->runWithId(run.id, &again, &found) || !store->runObjects(run.id, &objects))
        return failed(file, store->error());
      if (!found || static_cast<int64_t>(objects.size()) != run.totals.total)
        return failed(file, "run " + std::to_string(run.id) + " holds " +
                                std::to_string(objects.size()) + " objects of " +
                                std::to_string(run.totals.total));
      now += " " + std::to_string(run.id);
      ids.push_back(run.id);
    }
    const std::vector<std::string> keys = {objectKey(0), objectKey(1), objectKey(7)};
    std::vector<RunStatus> statuses;
    std::vector<int64_t> since;
    if (!store->statuses(keys, ids, &statuses) ||
        (!ids.empty() && !store->failingSince(keys, ids.back(), &since)))
      return failed(file, store->error());
    if (time > 0 && now != listed) return failed(file, "read " + listed + ", then " + now);
    listed = now;
  }
  printf("%s\n", listed.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: history_store_tool record|read FILE [options]\n");
    return 2;
  }
  const std::string command = argv[1], file = argv[2];
  int64_t objects = 0, seed = 0, keep = 0, times = 1, failingEvery = 7;
  std::string key;
  for (int i = 3; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--key") key = argv[i + 1];
    else if (option == "--objects") objects = atoll(argv[i + 1]);
    else if (option == "--seed") seed = atoll(argv[i + 1]);
    else if (option == "--keep") keep = atoll(argv[i + 1]);
    else if (option == "--times") times = atoll(argv[i + 1]);
    else if (option == "--failing-every") failingEvery = std::max(1LL, atoll(argv[i + 1]));
    else return failed(file, "unknown option " + option);
  }
  if (command == "record") return record(file, objects, seed, key, keep, failingEvery);
  if (command == "read") return read(file, times);
  return failed(file, "unknown command " + command);
}
