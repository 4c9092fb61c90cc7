// A report as one run of the history: the digest of its bytes, its time
// (the report's time row, else the file's), its totals and every object
// that adds to them (as the JUnit export counts them), each with its
// identity key, status and failed checks.
//
//   report.xrd, "Report Generation Time  Mon Dec  7 09:30:12 2026"
//   -> content "sha256:" sha256(bytes), generated "2026-12-07T09:30:12",
//      objects {key(stack_test > Stack > overflow), failed, "size() == capacity()"}, ...
#pragma once

#include "export/history/history_store.h"
#include "export/xrd/object_identity.h"
#include "export/xrd/test_objects.h"

#include <string>
#include <vector>

// Gathers the run while the report streams; a command that needs more of
// each object overrides object() and calls this one first. The history
// keeps a digest of each identity key: 16 bytes, whatever the names.
class RunCollector : public TestObjectVisitor {
 public:
  void summary(const ReportTotals& totals) override;
  void property(const std::string& name, const std::string& value) override;
  void suiteStart(const TestSuiteInfo& suite) override;
  void object(const TestObject& object) override;

  NewRun run;  // content and label are the caller's

 protected:
  ObjectIdentities identities_;
};

// Reads the report at path into collector (all but the run's content),
// files under sourceRoot relative to it as every export writes them.
// False, with the error line's text in *error, when the report cannot be
// read or is broken.
// With symbol files, the report's checks get their own lines from them.
bool readReportRun(const std::string& path, const std::string& sourceRoot, RunCollector& collector,
                   std::string* error, const std::vector<std::string>& symbolFiles = {});

// The digest of the report's bytes, the run's content: the same report
// recorded twice is one run. "sha256:" and the 32 bytes of its SHA-256
// (fast where the processor has instructions for it: a record reads the
// report twice at once, to parse and to digest, and the digest is the
// longer of the two with a slower hash). False, with the error line's text,
// when the file cannot be read.
bool reportDigest(const std::string& path, std::string* digest, std::string* error);
constexpr char kDigestTag[] = "sha256:";

// The content of runs recorded before: the 32 bytes of the SHA3-256 of
// the report's bytes, without a tag. Taken only to find such a run again.
bool legacyReportDigest(const std::string& path, std::string* digest, std::string* error);

// Reads the report and takes its digest at the same time, on two threads:
// the run that record stores. False after the error line.
bool readWholeRun(const std::string& path, const std::string& sourceRoot, RunCollector& collector);

// The label of a run: the given one, else the commit of the CI job
// (CI_COMMIT_SHA, GITHUB_SHA), else empty.
std::string runLabel(const char* given);
