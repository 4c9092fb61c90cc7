// The walk from a report's test objects to the run the history keeps, and
// the digest of its bytes.
#include "export/history/report_run.h"

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

// The first 16 bytes of an identity key's SHA3-256, as every history keeps
// its objects.
// The algorithm is fetched once: fetching it for each key cost as much as
// the digest.
struct RunCollector::KeyDigest {
  std::unique_ptr<EVP_MD, void (*)(EVP_MD*)> algorithm{EVP_MD_fetch(nullptr, "SHA3-256", nullptr),
                                                       EVP_MD_free};
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context{EVP_MD_CTX_new(), EVP_MD_CTX_free};
  std::string of(const std::string& key) {
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!algorithm || !context || EVP_DigestInit_ex(context.get(), algorithm.get(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), key.data(), key.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), value, &size) != 1 || size < 16)
      abort();  // a digest the library cannot take: nothing to go on with
    return std::string(reinterpret_cast<const char*>(value), 16);
  }
};

RunCollector::RunCollector() : keyDigest_(new KeyDigest) {}
RunCollector::~RunCollector() = default;
RunCollector::RunCollector(RunCollector&&) noexcept = default;
RunCollector& RunCollector::operator=(RunCollector&&) noexcept = default;

void RunCollector::object(const TestObject& object) {
  RunObject o;
  o.key = keyed ? keyDigest_->of(identities_.identify(object, KeyOnly).key)
                : std::to_string(run.objects.size());
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

namespace {

// The file's digest by the algorithm. False, with the error line's text,
// when the file cannot be read.
bool fileDigest(const std::string& path, const EVP_MD* algorithm, std::string* digest,
                std::string* error) {
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), algorithm, nullptr) != 1) {
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
  *digest = std::string(reinterpret_cast<const char*>(value), size);
  return true;
}

}  // namespace

bool reportDigest(const std::string& path, std::string* digest, std::string* error) {
  if (!fileDigest(path, EVP_sha256(), digest, error)) return false;
  digest->insert(0, kDigestTag);
  return true;
}

bool legacyReportDigest(const std::string& path, std::string* digest, std::string* error) {
  return fileDigest(path, EVP_sha3_256(), digest, error);
}

std::string shortLabel(const std::string& label) {
  if (label.size() <= kLabelBytes) return label;
  size_t end = kLabelBytes;
  // Back to the first byte of a UTF-8 character.
  while (end > 0 && (static_cast<unsigned char>(label[end]) & 0xc0) == 0x80) --end;
  return label.substr(0, end);
}
