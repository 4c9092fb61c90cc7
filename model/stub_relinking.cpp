// Stub relinking: a node with a link hands its children to the Stub that the
// link names, and the moved children take the name of the node's parent in
// front of their own:
//
//   Suite                         Suite
//     caller  link=s                caller
//       check                 =>    s (Stub)
//     s (Stub)                        Suite / check
//
// The nodes act in the post-order of the trees, in list order. A Stub that
// acts later passes everything it holds on, so children can travel along a
// chain of stubs. Done move by move, that costs the chain's length for every
// child. Here a group of children travels as one list that is spliced once
// per move; parents and names are settled at the end, each child once: its
// parent is where its group came to rest, its name is built once from the
// parent names met on the way.
//
// Only nodes visited earlier move, so the order of the visits is that of the
// untouched trees, numbered once up front. A node that has been visited
// never acts again: children that reach it stay there.
#include "model/kinds.h"
#include "model/model_internal.h"
#include "model/model_report.h"

#include <cstring>
#include <unordered_map>
#include <vector>

namespace {

// A composed name keeps at most two names as read and the separator: a
// prefix that would make it longer is not added. Names as read keep at most
// 1985 bytes.
constexpr size_t kComposedNameLimit = 2 * 1985 + 3;
const char kSeparator[] = " / ";
constexpr size_t kSeparatorLength = sizeof kSeparator - 1;

// One move of a group: the name it puts in front of its children, the move
// that took the group on from there, and the nearest later move with a
// shorter prefix (so that prefixes too long to fit are skipped in jumps).
struct Move {
  const char* prefix;
  size_t length;
  int32_t next = -1;
  int32_t shorter = -1;
};

// Children travelling together: a sibling list, where it is now, and its
// last move. Groups merge when the Stub holding them passes them on.
struct Group {
  int32_t mergedInto;  // itself while it is the group's representative
  TestNode* at;
  TestNode* first;
  TestNode* last;
  int32_t lastMove;
};

// A node that handed on its own children, and the move that took them.
struct Handover {
  TestNode* firstChild;
  TestNode* lastChild;
  int32_t move;
};

// The children spliced into their final parent's list, first to last.
struct Arrival {
  TestNode* parent;
  TestNode* first;
  TestNode* last;
};

struct RelinkPass {
  std::vector<ModelNode*> linkers;  // in walk order
  uint32_t visits = 0;
  std::unordered_map<uint64_t, TestNode*> targets;        // link identifier -> Stub
  std::vector<Move> moves;
  std::vector<Group> groups;
  std::unordered_map<const TestNode*, int32_t> groupOf;   // node -> group of its own children
  std::unordered_map<const TestNode*, std::vector<int32_t>> waiting;  // Stub not yet visited -> groups
  std::vector<Handover> handovers;
  std::vector<Arrival> arrivals;
  std::unordered_map<const TestNode*, TestNode*> shortcuts;  // node -> visited ancestor
  std::vector<TestNode*> climbed;
};

void numberNode(TestNode* node, void* user) {
  RelinkPass& pass = *static_cast<RelinkPass*>(user);
  ModelNode* model = modelNode(node);
  model->relinkOrder = ++pass.visits;
  if (node->linkId != 0) pass.linkers.push_back(model);
}

// The Stub of each link identifier: the Stub registered under it in the
// first tree of the list that has one.
void findTargets(const Model& model, RelinkPass& pass) {
  std::unordered_map<int32_t, int> rankOfFile;
  for (int n = 0; n < fileTreeCount(model); ++n)
    rankOfFile.emplace(fileTreeAt(model, n)->fileIndex, n);
  std::unordered_map<uint64_t, int> rankOfTarget;
  for (ModelNode* stub : model.stubs) {
    if (findNode(model, stub->fileIndex, stub->objectId) != stub) continue;
    auto file = rankOfFile.find(stub->fileIndex);
    if (file == rankOfFile.end()) continue;
    auto known = rankOfTarget.emplace(stub->objectId, file->second);
    if (known.second || file->second < known.first->second) {
      known.first->second = file->second;
      pass.targets[stub->objectId] = stub;
    }
  }
}

int32_t representative(RelinkPass& pass, int32_t group) {
  while (pass.groups[group].mergedInto != group) {
    int32_t up = pass.groups[group].mergedInto;
    pass.groups[group].mergedInto = pass.groups[up].mergedInto;  // path halving
    group = up;
  }
  return group;
}

// The parent of a node now: the node's own parent field still names where
// it was created, and the group of that parent's children tells where they
// went.
TestNode* currentParent(RelinkPass& pass, const TestNode* node) {
  TestNode* parent = node->parent;
  if (!parent) return nullptr;
  auto group = pass.groupOf.find(parent);
  return group == pass.groupOf.end() ? parent : pass.groups[representative(pass, group->second)].at;
}

// True when target is node or lies below it now. A node not yet visited
// cannot lie below node, whose subtree has been visited whole; so the climb
// from target stops at the first such ancestor. Climbs leave shortcuts to
// the highest visited ancestor they reached, which stays an ancestor: only
// the children of a node acting later can move.
bool closesCycle(RelinkPass& pass, const ModelNode* node, TestNode* target) {
  const uint32_t now = node->relinkOrder;
  if (target == node) return true;
  if (modelNode(target)->relinkOrder > now) return false;
  pass.climbed.clear();
  TestNode* at = target;
  bool within = false;
  for (;;) {
    auto shortcut = pass.shortcuts.find(at);
    TestNode* up = shortcut != pass.shortcuts.end() ? shortcut->second : currentParent(pass, at);
    if (up == node) {
      within = true;
      break;
    }
    if (!up || modelNode(up)->relinkOrder > now) break;
    pass.climbed.push_back(at);
    at = up;
  }
  for (TestNode* below : pass.climbed) pass.shortcuts[below] = at;
  return within;
}

void appendList(TestNode* parent, TestNode* first, TestNode* last) {
  if (parent->lastChild)
    parent->lastChild->nextSibling = first;
  else
    parent->firstChild = first;
  parent->lastChild = last;
}

void arrive(RelinkPass& pass, int32_t group, TestNode* parent) {
  Group& g = pass.groups[group];
  g.at = parent;
  if (!g.first) return;
  appendList(parent, g.first, g.last);
  pass.arrivals.push_back({parent, g.first, g.last});
}

// The node's children, its own and those waiting for it, go to target as
// one group.
void handOver(RelinkPass& pass, ModelNode* node, TestNode* target, std::vector<int32_t>* waiting) {
  const int32_t move = static_cast<int32_t>(pass.moves.size());
  pass.moves.push_back({node->parent->name, strlen(node->parent->name)});
  const int32_t group = static_cast<int32_t>(pass.groups.size());
  pass.groups.push_back({group, target, node->firstChild, node->lastChild, move});
  if (node->firstChild) {
    pass.groupOf[node] = group;
    pass.handovers.push_back({node->firstChild, node->lastChild, move});
  }
  if (waiting) {
    for (int32_t arrived : *waiting) {
      Group& a = pass.groups[arrived];
      pass.moves[a.lastMove].next = move;
      a.mergedInto = group;
      Group& g = pass.groups[group];
      if (!a.first) continue;
      if (g.last)
        g.last->nextSibling = a.first;
      else
        g.first = a.first;
      g.last = a.last;
    }
  }
  node->firstChild = nullptr;
  node->lastChild = nullptr;
  node->linkId = 0;
  // A Stub still to come passes the group on or keeps it when its turn
  // comes; any other target keeps it from now on.
  ModelNode* stub = modelNode(target);
  if (stub->relinkOrder > node->relinkOrder && stub->linkId != 0)
    pass.waiting[target].push_back(group);
  else
    arrive(pass, group, target);
}

void visitLinker(RelinkPass& pass, ModelNode* node) {
  auto found = pass.waiting.find(node);
  std::vector<int32_t>* waiting = found == pass.waiting.end() ? nullptr : &found->second;
  TestNode* target = nullptr;
  if (node->firstChild || waiting) {
    auto link = pass.targets.find(node->linkId);
    if (link != pass.targets.end()) target = link->second;
  }
  if (target && !closesCycle(pass, node, target)) {
    handOver(pass, node, target, waiting);
  } else if (waiting) {
    for (int32_t group : *waiting) arrive(pass, group, node);
  }
  if (waiting) pass.waiting.erase(found);
}

// For each move, the nearest later move with a shorter prefix. Later moves
// have higher numbers, so they are done first.
void linkShorterMoves(std::vector<Move>& moves) {
  for (size_t i = moves.size(); i-- > 0;) {
    int32_t candidate = moves[i].next;
    while (candidate >= 0 && moves[candidate].length >= moves[i].length)
      candidate = moves[candidate].shorter;
    moves[i].shorter = candidate;
  }
}

// prefix of the last move + " / " + ... + prefix of the first move + " / " +
// the name as read, leaving out each prefix that would make the name longer
// than the limit at the time of its move.
void composeName(Model& model, TestNode* child, const std::vector<Move>& moves, int32_t firstMove,
                 std::vector<int32_t>& taken) {
  taken.clear();
  const size_t nameLength = strlen(child->name);
  size_t length = nameLength;
  for (int32_t move = firstMove; move >= 0 && length + kSeparatorLength <= kComposedNameLimit;) {
    const size_t room = kComposedNameLimit - kSeparatorLength - length;
    while (move >= 0 && moves[move].length > room) move = moves[move].shorter;
    if (move < 0) break;
    taken.push_back(move);
    length += kSeparatorLength + moves[move].length;
    move = moves[move].next;
  }
  if (taken.empty()) return;
  char* name = static_cast<char*>(model.memory.alloc(length + 1));
  char* end = name + length;
  *end = '\0';
  end -= nameLength;
  memcpy(end, child->name, nameLength);
  for (int32_t move : taken) {
    end -= kSeparatorLength;
    memcpy(end, kSeparator, kSeparatorLength);
    end -= moves[move].length;
    memcpy(end, moves[move].prefix, moves[move].length);
  }
  child->name = name;
}

}  // namespace

void relinkStubs(Model& model) {
  if (!model.linked) return;
  RelinkPass pass;
  for (int n = 0; n < fileTreeCount(model); ++n) walkTree(fileTreeAt(model, n), numberNode, &pass);
  findTargets(model, pass);
  for (ModelNode* linker : pass.linkers) visitLinker(pass, linker);

  for (const Arrival& arrival : pass.arrivals) {
    for (TestNode* child = arrival.first;; child = child->nextSibling) {
      child->parent = arrival.parent;
      if (child == arrival.last) break;
    }
  }
  linkShorterMoves(pass.moves);
  std::vector<int32_t> taken;
  for (const Handover& handover : pass.handovers) {
    for (TestNode* child = handover.firstChild;; child = child->nextSibling) {
      composeName(model, child, pass.moves, handover.move, taken);
      if (child == handover.lastChild) break;
    }
  }
}
