// The history store alone as a program, for the tests that need processes
// (history_processes_test.py) and for timing the store on large runs
// (bench/history_bench.sh). LOCATION is a file or a server's URL.
//
//   history_store_tool record LOCATION --objects N --seed S [--key K] [--keep N] [--failing-every N]
//                             [--project P] [--branch B] [--part P] [--parts N]
//       records a run of N objects ("object 0", ...), every Nth failing
//       (default 7) from the seed's own place on, as part P (default
//       "report"); with --parts N, N parts "P 0", "P 1", ... of it under
//       the key; prints "run 3 attempt 1" and, for several parts, the time
//   history_store_tool read LOCATION [--times N] [--project P] [--part P]
//       every read over every run, N times in one store (default 1), each
//       run's objects against its totals; prints "runs 1 2 3"
//   history_store_tool reads LOCATION --branch B --part P [--times N] [--project P]
//       times what diff and html --history ask of the store: the newest 50
//       runs of the branch with the part, the statuses of the newest run's
//       failed objects in the last 10, and since when they fail; the
//       fastest of N rounds of each (a busy machine only adds)
//   history_store_tool copy FROM TO
//
// Exit 0, or 2 after "history_store_tool: LOCATION: why".
#include "export/history/history_copy.h"
#include "export/history/history_store.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>

namespace {

struct Options {
  int64_t objects = 0, seed = 0, keep = 0, times = 1, failingEvery = 7, parts = 0;
  std::string key, project, branch, part = "report";
};

int failed(const std::string& location, const std::string& why) {
  fprintf(stderr, "history_store_tool: %s: %s\n", shownLocation(location).c_str(), why.c_str());
  return 2;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string objectKey(int64_t i) {
  char key[32];
  snprintf(key, sizeof key, "object %09lld", static_cast<long long>(i));
  return key;
}

NewRun syntheticRun(const Options& o, const std::string& part) {
  NewRun run;
  run.content = std::string(kDigestTag) + "seed " + std::to_string(o.seed) + " " + part;
  run.part = part;
  run.info.key = o.key;
  run.info.branch = o.branch;
  run.info.generated = "2026-12-07T09:30:12";
  run.info.label = "seed " + std::to_string(o.seed);
  for (int64_t i = 0; i < o.objects; ++i) {
    const bool fails = (i + o.seed) % o.failingEvery == 0;
    run.objects.push_back({objectKey(i), "suite > object " + std::to_string(i), fails ? StatusFailed : StatusPassed,
                           fails ? "size() == n\t(failed 1 of 3 executions)" : ""});
    ++(fails ? run.info.totals.failed : run.info.totals.passed);
  }
  run.info.totals.total = o.objects;
  return run;
}

int record(const std::string& location, const Options& o) {
  std::string error;
  std::unique_ptr<HistoryStore> store = openHistory(location, o.project, HistoryWrite, &error);
  if (!store) return failed(location, error);
  const auto start = std::chrono::steady_clock::now();
  RecordedRun recorded;
  for (int64_t part = 0; part < std::max<int64_t>(o.parts, 1); ++part) {
    const NewRun run = syntheticRun(o, o.parts > 0 ? o.part + " " + std::to_string(part) : o.part);
    if (!store->record(run, o.keep, &recorded)) return failed(location, store->error());
  }
  printf("run %lld attempt %lld\n", static_cast<long long>(recorded.run), static_cast<long long>(recorded.attempt));
  if (o.parts > 0) printf("%lld parts in %.2f s\n", static_cast<long long>(o.parts), secondsSince(start));
  return 0;
}

// The runs and each run's objects checked against its totals, as a line.
bool readOnce(HistoryStore& store, const Options& o, std::string* listed, std::string* why) {
  std::vector<RunInfo> runs;
  bool untagged = false;
  if (!store.runsBefore(RunFilter(), 0, 0, &runs) || !store.holdsUntaggedContent(&untagged)) return false;
  *listed = "runs";
  std::vector<int64_t> ids;
  for (const RunInfo& run : runs) {
    RunInfo again;
    bool found = false;
    std::vector<RunObject> objects;
    if (!store.runWithId(run.id, &again, &found) || !store.runObjects(run.id, o.part, &objects)) return false;
    if (!found || static_cast<int64_t>(objects.size()) != run.totals.total) {
      *why = "run " + std::to_string(run.id) + " holds " + std::to_string(objects.size()) + " objects of " +
             std::to_string(run.totals.total);
      return false;
    }
    *listed += " " + std::to_string(run.id);
    ids.push_back(run.id);
  }
  const std::vector<std::string> keys = {objectKey(0), objectKey(1), objectKey(7)};
  std::vector<RunStatus> statuses;
  std::vector<int64_t> since;
  return store.statuses(o.part, keys, ids, &statuses) &&
         (ids.empty() || store.failingSince(o.part, keys, ids.back(), runs.back().branch, &since));
}

int read(const std::string& location, const Options& o) {
  std::string error;
  std::unique_ptr<HistoryStore> store = openHistory(location, o.project, HistoryRead, &error);
  if (!store) return failed(location, error);
  std::string listed;
  for (int64_t time = 0; time < o.times; ++time) {
    if (time > 0) usleep(20000);
    std::string now, why;
    if (!readOnce(*store, o, &now, &why)) return failed(location, why.empty() ? store->error() : why);
    if (time > 0 && now != listed) return failed(location, "read " + listed + ", then " + now);
    listed = now;
  }
  printf("%s\n", listed.c_str());
  return 0;
}

// One round of what diff and html --history read, each call's seconds;
// false with the store's error.
bool readsOnce(HistoryStore& store, const Options& o, std::map<std::string, double>* seconds) {
  auto start = std::chrono::steady_clock::now();
  std::vector<RunInfo> runs;
  if (!store.runsBefore({&o.branch, &o.part}, 0, 50, &runs) || runs.empty()) return false;
  (*seconds)["runsBefore"] = secondsSince(start);
  std::vector<RunObject> objects;
  if (!store.runObjects(runs.back().id, o.part, &objects)) return false;
  std::vector<std::string> keys;
  for (const RunObject& object : objects)
    if (object.status == StatusFailed && keys.size() < 50) keys.push_back(object.key);
  std::vector<int64_t> last;
  for (size_t i = runs.size() > 10 ? runs.size() - 10 : 0; i < runs.size(); ++i) last.push_back(runs[i].id);
  start = std::chrono::steady_clock::now();
  std::vector<RunStatus> statuses;
  if (!store.statuses(o.part, keys, last, &statuses)) return false;
  (*seconds)["statuses"] = secondsSince(start);
  start = std::chrono::steady_clock::now();
  std::vector<int64_t> since;
  if (!store.failingSince(o.part, keys, runs.back().id, o.branch, &since)) return false;
  (*seconds)["failingSince"] = secondsSince(start);
  return true;
}

int reads(const std::string& location, const Options& o) {
  std::string error;
  std::unique_ptr<HistoryStore> store = openHistory(location, o.project, HistoryRead, &error);
  if (!store) return failed(location, error);
  std::map<std::string, double> fastest;
  for (int64_t time = 0; time < o.times; ++time) {
    std::map<std::string, double> seconds;
    if (!readsOnce(*store, o, &seconds)) return failed(location, store->error().empty() ? "no runs" : store->error());
    for (const auto& [call, each] : seconds)
      fastest[call] = time == 0 ? each : std::min(fastest[call], each);
  }
  for (const auto& [call, each] : fastest) printf("%-13s %8.3f ms\n", call.c_str(), 1000 * each);
  return 0;
}

bool parse(int argc, char** argv, Options* o, std::string* unknown) {
  std::map<std::string, int64_t*> numbers = {{"--objects", &o->objects}, {"--seed", &o->seed},
                                             {"--keep", &o->keep},       {"--times", &o->times},
                                             {"--failing-every", &o->failingEvery}, {"--parts", &o->parts}};
  std::map<std::string, std::string*> texts = {
      {"--key", &o->key}, {"--project", &o->project}, {"--branch", &o->branch}, {"--part", &o->part}};
  for (int i = 3; i + 1 < argc; i += 2) {
    if (numbers.count(argv[i])) *numbers[argv[i]] = atoll(argv[i + 1]);
    else if (texts.count(argv[i])) *texts[argv[i]] = argv[i + 1];
    else return (*unknown = argv[i]), false;
  }
  o->failingEvery = std::max<int64_t>(o->failingEvery, 1);
  o->times = std::max<int64_t>(o->times, 1);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: history_store_tool record|read|reads|copy LOCATION [options]\n");
    return 2;
  }
  const std::string command = argv[1], location = argv[2];
  if (command == "copy") {
    std::string error;
    if (argc == 4 && copyHistory(location, argv[3], &error)) return 0;
    fprintf(stderr, "history_store_tool: %s\n", argc == 4 ? error.c_str() : "copy FROM TO");
    return 2;
  }
  Options options;
  std::string unknown;
  if (!parse(argc, argv, &options, &unknown)) return failed(location, "unknown option " + unknown);
  if (command == "record") return record(location, options);
  if (command == "read") return read(location, options);
  if (command == "reads") return reads(location, options);
  return failed(location, "unknown command " + command);
}
