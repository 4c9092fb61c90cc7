// The walk from a report's test objects to the run the history keeps, and
// the digest of its bytes.
#include "export/history/report_run.h"

#include <QCryptographicHash>
#include <openssl/evp.h>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

std::string isoTime(const ReportTime& t) {
  char text[32];
  snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
           t.minute, t.second);
  return text;
}

namespace {

// What failed, one check a line: the expression, a tab and its counts, or
// the object's title when no row of it failed.
std::string failedChecks(const TestObject& object) {
  if (object.checks.empty()) return singleLine(object.title);
  std::string text;
  for (const FailedCheck& check : object.checks) {
    if (!text.empty()) text += '\n';
    text += singleLine(check.expression) + '\t' + checkCounts(check, object.kind);
  }
  return text;
}

}  // namespace

void RunCollector::summary(const ReportTotals& totals) {
  run.info.totals = totals;
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
  o.status = object.state;
  if (o.status == StatusFailed) o.checks = failedChecks(object);
  run.objects.push_back(std::move(o));
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

std::string shortLabel(const std::string& label) {
  if (label.size() <= kLabelBytes) return label;
  size_t end = kLabelBytes;
  // Back to the first byte of a UTF-8 character.
  while (end > 0 && (static_cast<unsigned char>(label[end]) & 0xc0) == 0x80) --end;
  return label.substr(0, end);
}
