// A report as one run of the history: its time (the report's time row;
// the caller gives the time of recording when there is none), its totals
// and every object that adds to them (as the JUnit export counts them),
// each with its identity key, status and failed checks; and the digest of
// the report's bytes.
//
//   report.xrd, "Report Generation Time  Mon Dec  7 09:30:12 2026"
//   -> generated "2026-12-07T09:30:12", objects {key(stack_test > Stack > overflow),
//      failed, "size() == capacity()\t(failed 1 of 1 executions)"}, ...
//      content "sha256:" sha256(bytes)
#pragma once

#include "export/history/history_store.h"
#include "export/xrd/object_identity.h"
#include "export/xrd/test_objects.h"

#include <memory>
#include <string>
#include <vector>

// Gathers the run while the report streams; a command that needs more of
// each object overrides object() and calls this one first. The history
// keeps a digest of each identity key: 16 bytes, whatever the names.
class RunCollector : public TestObjectVisitor {
 public:
  RunCollector();
  ~RunCollector() override;
  RunCollector(RunCollector&&) noexcept;
  RunCollector& operator=(RunCollector&&) noexcept;
  void summary(const ReportTotals& totals) override;
  void property(const std::string& name, const std::string& value) override;
  void suiteStart(const TestSuiteInfo& suite) override;
  void object(const TestObject& object) override;

  NewRun run;  // content, key and label are the caller's
  // False where no history matches the objects: each is then known by its
  // place alone, and no identity is made.
  bool keyed = true;

 protected:
  ObjectIdentities identities_;

 private:
  // The digest of each identity key, one SHA3-256 context for all.
  struct KeyDigest;
  std::unique_ptr<KeyDigest> keyDigest_;
};

// The digest of the report's bytes, a run's content: "sha256:" and the 32
// bytes of its SHA-256 (fast where the processor has instructions for it,
// as it is taken beside the parse). False, with the error line's text,
// when the file cannot be read.
bool reportDigest(const std::string& path, std::string* digest, std::string* error);
// The content of runs recorded before contents were tagged: the 32 bytes
// of the SHA3-256 of the report's bytes. Taken only to find such a run again.
bool legacyReportDigest(const std::string& path, std::string* digest, std::string* error);

// "2026-12-07T09:30:12": the layout of a run's time.
std::string isoTime(const ReportTime& time);

// The label kept at most this long, cut on a character boundary.
constexpr size_t kLabelBytes = 200;
std::string shortLabel(const std::string& label);
