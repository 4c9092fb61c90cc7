// The walk from a report's test objects to the run the history keeps, and
// the digest of its bytes.
#include "export/history/report_run.h"

#include "export/ci/summary_writer.h"
#include "export/command_line.h"
#include "export/history/background_task.h"
#include "export/ots/check_lines.h"

#include <QCryptographicHash>
#include <openssl/evp.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace {

std::string isoTime(const ReportTime& t) {
  char text[32];
  snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
           t.minute, t.second);
  return text;
}

// What failed, one check a line: the expression and its counts, or the
// object's title when no row of it failed.
std::string failedChecks(const TestObject& object) {
  if (object.checks.empty()) return singleLine(object.title);
  std::string text;
  for (const FailedCheck& check : object.checks) {
    if (!text.empty()) text += '\n';
    text += singleLine(check.expression);
    const std::string counts = checkCounts(check, object.kind);
    if (!counts.empty()) text += " " + counts;
  }
  return text;
}

}  // namespace

void RunCollector::summary(const ReportTotals& totals) {
  run.info.totals = {totals.passed, totals.inconclusive, totals.failed, totals.total};
}

void RunCollector::property(const std::string&, const std::string& value) {
  ReportTime time;
  if (run.info.generated.empty() && parseReportTime(value, &time)) run.info.generated = isoTime(time);
}

void RunCollector::suiteStart(const TestSuiteInfo& suite) { identities_.suiteStart(suite); }

void RunCollector::object(const TestObject& object) {
  RunObject o;
  const std::string& key = identities_.identify(object).key;
  o.key = QCryptographicHash::hash(QByteArray::fromRawData(key.data(), static_cast<int>(key.size())),
                                   QCryptographicHash::Sha3_256)
              .left(16)
              .toStdString();
  o.path = singleLine(joinedPath(object.path));
  o.status = object.state == StateFailed   ? ResultFailed
             : object.state == StatePassed ? ResultPassed
                                           : ResultNotExecuted;
  if (o.status == ResultFailed) o.checks = failedChecks(object);
  run.objects.push_back(std::move(o));
}

bool readReportRun(const std::string& path, const std::string& sourceRoot, RunCollector& collector,
                   std::string* error, const std::vector<std::string>& symbolFiles) {
  ReportReader reader;
  reader.setSourceRoot(sourceRoot);
  if (!symbolFiles.empty()) {
    auto lines = std::make_unique<CheckLines>();
    if (!lines->read(symbolFiles, error)) return false;
    reader.setCheckLines(std::move(lines));
  }
  if (!reader.open(path.c_str()) || !readTestObjects(reader, collector)) {
    const ReportErrorInfo& e = reader.error();
    *error = path + ":" + std::to_string(e.line) + ":" + std::to_string(e.column) + ": " + e.message;
    return false;
  }
  if (collector.run.info.generated.empty()) {
    struct stat info;
    struct tm local;
    if (stat(path.c_str(), &info) == 0 && localtime_r(&info.st_mtime, &local)) {
      collector.run.info.generated =
          isoTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                   local.tm_min, local.tm_sec});
    }
  }
  return true;
}

namespace {

// Reads the file in large pieces into update. False, with the error line's
// text, when it cannot be read.
template <typename Update>
bool readPieces(const std::string& path, Update update, std::string* error) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path.c_str(), "rb"), fclose);
  if (!file) {
    *error = path + ": cannot read: " + strerror(errno);
    return false;
  }
  std::vector<char> piece(1 << 20);
  size_t size;
  while ((size = fread(piece.data(), 1, piece.size(), file.get())) > 0) update(piece.data(), size);
  if (ferror(file.get())) {
    *error = path + ": cannot read: " + strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

bool reportDigest(const std::string& path, std::string* digest, std::string* error) {
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
    *error = path + ": cannot take the digest";
    return false;
  }
  if (!readPieces(path, [&](const char* bytes, size_t size) {
        EVP_DigestUpdate(context.get(), bytes, size);
      }, error))
    return false;
  unsigned char value[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_DigestFinal_ex(context.get(), value, &size);
  *digest = std::string(kDigestTag) + std::string(reinterpret_cast<const char*>(value), size);
  return true;
}

bool legacyReportDigest(const std::string& path, std::string* digest, std::string* error) {
  QCryptographicHash hash(QCryptographicHash::Sha3_256);
  if (!readPieces(path, [&](const char* bytes, size_t size) {
        hash.addData(bytes, static_cast<int>(size));
      }, error))
    return false;
  *digest = hash.result().toStdString();
  return true;
}

bool readWholeRun(const std::string& path, const std::string& sourceRoot, RunCollector& collector) {
  std::string digest, digestError, error;
  bool digested = false;
  {
    BackgroundTask task([&] { digested = reportDigest(path, &digest, &digestError); });
    if (!readReportRun(path, sourceRoot, collector, &error)) {
      task.join();
      printErrorLine(error);
      return false;
    }
  }
  if (!digested) {
    printErrorLine(digestError);
    return false;
  }
  collector.run.content = digest;
  return true;
}

std::string runLabel(const char* given) {
  if (given) return given;
  for (const char* name : {"CI_COMMIT_SHA", "GITHUB_SHA"}) {
    const char* value = getenv(name);
    if (value && *value) return value;
  }
  return std::string();
}
