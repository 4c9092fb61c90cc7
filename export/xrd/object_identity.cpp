// The identity of counted objects: container digests chained once per
// container, keys and JUnit names from tables of the current suite.
//
//   suite stack_test        digest D0 = H("D", "stack_test")
//   container Stack         digest D1 = H(D0, "n", "Stack")
//   object overflow         key hex(D1) "t.1:8:overflow:src/stack_test.cpp"
#include "export/xrd/object_identity.h"

#include <QCryptographicHash>
#include <algorithm>
#include <cstring>
#include <random>

namespace {

constexpr size_t kDigestBytes = 16;

uint64_t foldedProduct(uint64_t a, uint64_t b) {
  const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
  return static_cast<uint64_t>(product) ^ static_cast<uint64_t>(product >> 64);
}

std::string hexOf(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    hex += kDigits[static_cast<unsigned char>(c) >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

// A text as the tables hold it: itself when short, else its digest, so
// that a long name is held once (in its key), not once per table. The
// first byte tells the two forms apart.
std::string tableText(const std::string& text) {
  constexpr size_t kShort = 64;
  if (text.size() <= kShort) return 'r' + text;
  const QByteArray digest = QCryptographicHash::hash(
      QByteArray::fromRawData(text.data(), static_cast<int>(text.size())),
      QCryptographicHash::Sha256);
  return 'd' + digest.toStdString();
}

// The part of a key after the container's digest, without its ordinal.
void appendKind(std::string* out, const TestObject& object) {
  if (object.kind == ObjectTest) {
    out->push_back('t');
  } else if (object.kind == ObjectClassBlock) {
    out->push_back('b');
    *out += std::to_string(object.columns);
  } else {
    out->push_back('v');
  }
}

}  // namespace

SeededHash::SeededHash() {
  std::random_device device;
  seed = uint64_t(device()) << 32 | device();
}

// Eight bytes at a time, each mixed with the seed by a folded 128-bit
// product: without the seed, no set of texts can be made to collide.
size_t SeededHash::operator()(const std::string& text) const {
  const uint64_t k1 = seed | 1;
  const uint64_t k2 = seed ^ 0x9e3779b97f4a7c15ULL;
  uint64_t h = foldedProduct(seed ^ text.size(), k2);
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    memcpy(&word, text.data() + i, 8);
    h = foldedProduct(word ^ k1, h ^ k2);
  }
  uint64_t tail = 0;
  memcpy(&tail, text.data() + i, text.size() - i);
  return static_cast<size_t>(foldedProduct(tail ^ k2, h ^ k1));
}

void ObjectIdentities::suiteStart(const TestSuiteInfo& suite) {
  contracts_ = suite.contracts;
  // The contracts node's name is translated: a fixed mark stands for it.
  containers_.assign(1, Container{-1, digestOf(std::string(), contracts_ ? 'C' : 'D',
                                               contracts_ ? std::string() : suite.name,
                                               std::string())});
  ordinals_.clear();
  names_.clear();
}

std::string ObjectIdentities::digestOf(const std::string& parent, char kind,
                                       const std::string& name, const std::string& file) const {
  QCryptographicHash hash(QCryptographicHash::Sha256);
  const uint64_t size = name.size();
  hash.addData(parent.data(), static_cast<int>(parent.size()));
  hash.addData(&kind, 1);
  hash.addData(reinterpret_cast<const char*>(&size), sizeof size);
  hash.addData(name.data(), static_cast<int>(name.size()));
  hash.addData(file.data(), static_cast<int>(file.size()));
  return hash.result().left(kDigestBytes).toStdString();
}

// The stack keeps the digests of the open containers. Objects come in
// report order, so an entry that no longer matches the object's nodes is
// left for good: each container is pushed and popped once.
void ObjectIdentities::openContainers(const TestObject& object) {
  const size_t count = object.path.size() - 1;  // the suite and the containers
  size_t keep = std::min(containers_.size(), count);
  while (keep > 1 && containers_[keep - 1].node != object.nodes[keep - 1]) --keep;
  containers_.resize(keep);
  for (size_t i = keep; i < count; ++i) {
    const bool isClass = contracts_ && i == 1;
    containers_.push_back(
        Container{object.nodes[i], digestOf(containers_.back().digest, isClass ? 'k' : 'n',
                                            object.path[i],
                                            isClass ? object.classLink.file : std::string())});
  }
}

void ObjectIdentities::makeClassName(const TestObject& object) {
  const size_t containers = object.path.size() - 1;
  if (!contracts_ || containers < 2 || object.classLink.file.empty()) {
    identity_.classname = shortPath(object.path, 0, containers, ".", '_', kClassNameBudget);
    return;
  }
  // Contracts, the class's file, the class: same-named classes of several
  // files stay apart.
  const std::vector<std::string> parts = {object.path[0], object.classLink.file, object.path[1]};
  identity_.classname = shortPath(parts, 0, parts.size(), ".", '_', kClassNameBudget);
}

// Each taken name keeps the next suffix number to try, so a name that
// repeats K times costs K tries in all, and a try fails only on a name
// taken by another object (at most once for each such name).
void ObjectIdentities::makeUniqueName(const std::string& name) {
  // The classname by its length, so that no split of a text is ambiguous.
  const std::string prefix = std::to_string(identity_.classname.size()) + ":" + identity_.classname;
  auto found = names_.emplace(prefix + tableText(name), 2);
  if (found.second) {
    identity_.name = name;
    return;
  }
  uint64_t& next = found.first->second;
  for (;;) {
    std::string candidate = name + " (" + std::to_string(next++) + ")";
    if (names_.emplace(prefix + tableText(candidate), 2).second) {
      identity_.name = std::move(candidate);
      return;
    }
  }
}

const ObjectIdentity& ObjectIdentities::identify(const TestObject& object, IdentityParts parts) {
  openContainers(object);
  const std::string& parent = containers_.back().digest;
  const bool named = object.kind == ObjectTest;
  const std::string name = named ? object.path.back() : std::string();
  const std::string file = object.location.present ? object.location.file : std::string();

  std::string kind;
  appendKind(&kind, object);
  const uint32_t ordinal = ++ordinals_[parent + kind + ":" + std::to_string(name.size()) + ":" +
                                       tableText(name) + tableText(file)];

  identity_.parentKey = hexOf(parent);
  identity_.key = identity_.parentKey + kind + "." + std::to_string(ordinal) + ":" +
                  std::to_string(name.size()) + ":" + name + ":" + file;
  if (parts == KeyAndNames) {
    makeClassName(object);
    makeUniqueName(object.path.back());
  }
  return identity_;
}
