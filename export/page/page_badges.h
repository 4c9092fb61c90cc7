// The history's part of the page: its section, and the badge of every
// failed object where the page shows that object (its line in the tree, its
// item in the failures list), found by the object's node.
//
//   <span class="badge new">new</span> <span class="strip" role="img"
//   aria-label="Last 3 runs, oldest first: passed, failed, failed"
//   title="..."><span class="ok">✓</span><span class="ko">✗</span><span class="ko">✗</span></span>
//
// Each status is a glyph with its colour, and the strip's label says it in
// words: the colour is never the only sign. The script draws the same
// markup from the badges block:
//
// badges:  varint count of run names, each as varint length and UTF-8
//          bytes (the "since" runs, each once); varint badge count; per
//          badge, by node ascending: varint node minus the previous badge's
//          node (the first's from 0), kind byte (0 new, 1 failing since,
//          2 flaky, 3 quarantined), for kind 1 the varint number of its run
//          name ("run 3": a run's label and time stand once in the section), strip
//          length byte (at most 10), then one status byte per run, oldest
//          first (0 passed, 1 not executed, 2 failed, 3 not in the run).
#pragma once

#include "export/history/report_history.h"
#include "export/page/compressed_block.h"
#include "export/page/page_labels.h"

#include <string>
#include <vector>

enum BadgeKind { BadgeNew, BadgeFailingSince, BadgeFlaky, BadgeQuarantined };

struct NodeBadge {
  int node = 0;  // the failed object's node (TestObject::nodeId)
  BadgeKind kind = BadgeNew;
  std::string since;  // the run's number in words, for BadgeFailingSince
  std::vector<ObjectStatus> strip;
};

struct PageHistory {
  std::string section;  // the history section, ahead of the failures
  std::vector<NodeBadge> badges;  // by node ascending; empty without a run history
};

// The badge's word: "new", "flaky", "quarantined", "failing since run 3", escaped.
std::string badgeWordMarkup(const NodeBadge& badge, const PageLabels& labels);
// The strip of its last statuses.
std::string stripMarkup(const std::vector<ObjectStatus>& strip, const PageLabels& labels);
// Both, for the failures list.
std::string badgeMarkup(const NodeBadge& badge, const PageLabels& labels);

// The badge of node, or null; a binary search of badges.
const NodeBadge* findBadge(const std::vector<NodeBadge>& badges, int node);

// The badges block (finished).
void writeBadges(const std::vector<NodeBadge>& badges, CompressedBlock* block);
