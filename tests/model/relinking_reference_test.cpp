// Stub relinking against a reference that does it the plain way: a walk in
// post-order that moves children one link at a time and walks them again
// where they arrive, renaming each at every move. Random forests with links
// within and across files must come out alike: the same trees, the same
// names, the same parents.
//
// The one place where the two may differ is a node that acts only when it
// is walked a second time (a Stub that got children after its own turn and
// then travels inside a moved group); the reference notes such runs, and
// they are left out of the comparison and counted.
#include "tests/model_fixture.h"

#include <memory>

#include <cstring>
#include <random>
#include <set>

namespace {

constexpr size_t kComposedNameLimit = 2 * 1985 + 3;

struct ReferencePass {
  Model& model;
  std::set<const TestNode*> visited;
  bool actedOnASecondVisit = false;
};

TestNode* referenceTarget(const Model& model, const TestNode* node) {
  for (int n = 0; n < fileTreeCount(model); ++n) {
    TestNode* target = findNode(model, fileTreeAt(model, n)->fileIndex, node->linkId);
    if (target && target->kind == KindStub) return target;
  }
  return nullptr;
}

bool liesWithin(const TestNode* node, const TestNode* ancestor) {
  for (; node; node = node->parent)
    if (node == ancestor) return true;
  return false;
}

void referenceRelink(TestNode* node, void* user) {
  ReferencePass& pass = *static_cast<ReferencePass*>(user);
  const bool again = !pass.visited.insert(node).second;
  if (node->linkId == 0 || !node->firstChild) return;
  TestNode* target = referenceTarget(pass.model, node);
  if (!target || liesWithin(target, node)) return;
  if (again) pass.actedOnASecondVisit = true;
  const std::string prefix = node->parent->name;
  for (TestNode* child = node->firstChild; child; child = child->nextSibling) {
    child->parent = target;
    if (prefix.size() + 3 + strlen(child->name) <= kComposedNameLimit)
      child->name = pass.model.memory.copyText((prefix + " / " + child->name).c_str());
  }
  if (target->lastChild)
    target->lastChild->nextSibling = node->firstChild;
  else
    target->firstChild = node->firstChild;
  target->lastChild = node->lastChild;
  node->firstChild = node->lastChild = nullptr;
  node->linkId = 0;
}

// Every tree in list order, pre-order: depth, key, name and link; parents
// checked against the structure on the way.
std::string snapshot(const Model& model) {
  std::string text;
  for (int n = 0; n < fileTreeCount(model); ++n) {
    std::vector<std::pair<const TestNode*, int>> pending{{fileTreeAt(model, n), 0}};
    while (!pending.empty()) {
      auto [node, depth] = pending.back();
      pending.pop_back();
      text += std::string(depth, ' ') + std::to_string(node->fileIndex) + "/" +
              std::to_string(node->objectId) + " " + node->name + " link " +
              std::to_string(node->linkId) + "\n";
      std::vector<const TestNode*> children;
      for (const TestNode* child = node->firstChild; child; child = child->nextSibling) {
        if (child->parent != node) text += "PARENT MISMATCH\n";
        children.push_back(child);
      }
      for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back({*it, depth + 1});
    }
  }
  return text;
}

struct Record {
  int32_t file;
  int32_t kind;
  uint64_t id;
  uint64_t parent;
  uint64_t link;
  std::string name;
};

std::vector<Record> randomForest(std::mt19937& random, int* files) {
  *files = 1 + random() % 3;
  const int32_t kinds[] = {KindTestSuite, KindTestCase, KindStub, KindStub, KindCheckExpression, KindProc};
  std::vector<Record> records;
  for (int32_t file = 0; file < *files; ++file) {
    std::vector<uint64_t> ids{1};
    const int count = 3 + random() % 14;
    for (int i = 0; i < count; ++i) {
      uint64_t id = 2 + random() % 20;  // repeats: duplicate keys, shared link targets
      uint64_t parent = ids[random() % ids.size()];
      uint64_t link = random() % 3 == 0 ? 2 + random() % 20 : 0;
      std::string name = random() % 9 == 0 ? std::string(1000 + random() % 986, 'L')
                                           : std::string(1, char('a' + random() % 26));
      records.push_back({file, kinds[random() % std::size(kinds)], id, parent, link, name});
      ids.push_back(id);
    }
  }
  return records;
}

std::unique_ptr<Model> build(const std::vector<Record>& records, int files) {
  auto model = std::make_unique<Model>();
  for (int file = 0; file < files; ++file)
    addSymbolFile(*model, file, ("f" + std::to_string(file)).c_str());
  for (const Record& r : records)
    addChildNode(*model, r.file, r.kind, r.id, r.name.c_str(), r.parent, 1, r.link);
  return model;
}

TEST(RelinkingReference, RandomForestsRelinkAsTheReferenceDoes) {
  std::mt19937 random(20261208);
  int compared = 0;
  int leftOut = 0;
  int moved = 0;
  for (int sample = 0; sample < 4000; ++sample) {
    int files = 0;
    std::vector<Record> records = randomForest(random, &files);
    std::unique_ptr<Model> reference = build(records, files);
    const std::string before = snapshot(*reference);
    ReferencePass pass{*reference, {}};
    for (int n = 0; n < fileTreeCount(*reference); ++n)
      walkTree(fileTreeAt(*reference, n), referenceRelink, &pass);
    const std::string expected = snapshot(*reference);
    std::unique_ptr<Model> model = build(records, files);
    relinkStubs(*model);
    const std::string actual = snapshot(*model);
    if (pass.actedOnASecondVisit) {
      ++leftOut;
      continue;
    }
    ++compared;
    moved += expected != before;
    ASSERT_EQ(expected, actual) << "sample " << sample;
  }
  printf("[ relink   ] %d forests compared, %d with moves, %d left out\n", compared, moved, leftOut);
  EXPECT_GT(compared, 3500);
  EXPECT_GT(moved, 1000);
}

}  // namespace
