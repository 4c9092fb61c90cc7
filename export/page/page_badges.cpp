// The badges of failed objects as markup and as the page's badges block.
#include "export/page/page_badges.h"

#include "export/page/page_markup.h"

#include <algorithm>
#include <map>

namespace {

// By ObjectStatus: the tree's glyphs and state classes, and for a run
// without the object a dot.
const char* const kGlyphs[] = {"✓", "○", "✗", "·"};
const char* const kClasses[] = {"ok", "ne", "ko", "absent"};

const std::string& statusWord(ObjectStatus status, const PageLabels& labels) {
  switch (status) {
    case StatusPassed: return labels.passed;
    case StatusNotExecuted: return labels.notExecuted;
    case StatusFailed: return labels.failed;
    case StatusAbsent: break;
  }
  return labels.notInRun;
}

}  // namespace

std::string badgeWordMarkup(const NodeBadge& badge, const PageLabels& labels) {
  static const char* const kKinds[] = {"new", "since", "flaky", "quarantined"};
  const std::string* const kWords[] = {&labels.badgeNew, nullptr, &labels.badgeFlaky,
                                       &labels.badgeQuarantined};
  const std::string word =
      badge.kind == BadgeFailingSince ? fillText(labels.failingSince, {badge.since}) : *kWords[badge.kind];
  std::string s = std::string("<span class=\"badge ") + kKinds[badge.kind] + "\">";
  appendEscapedHtml(&s, word);
  return s + "</span>";
}

std::string stripMarkup(const std::vector<ObjectStatus>& strip, const PageLabels& labels) {
  std::string words, glyphs;
  for (const ObjectStatus status : strip) {
    if (!words.empty()) words += ", ";
    words += statusWord(status, labels);
    glyphs += std::string("<span class=\"") + kClasses[status] + "\">" + kGlyphs[status] + "</span>";
  }
  std::string title;
  appendEscapedHtml(&title, fillText(labels.strip, {std::to_string(strip.size()), words}));
  return "<span class=\"strip\" role=\"img\" aria-label=\"" + title + "\" title=\"" + title + "\">" +
         glyphs + "</span>";
}

std::string badgeMarkup(const NodeBadge& badge, const PageLabels& labels) {
  return badgeWordMarkup(badge, labels) + " " + stripMarkup(badge.strip, labels);
}

const NodeBadge* findBadge(const std::vector<NodeBadge>& badges, int node) {
  const auto found = std::lower_bound(badges.begin(), badges.end(), node,
                                      [](const NodeBadge& badge, int node) { return badge.node < node; });
  return found != badges.end() && found->node == node ? &*found : nullptr;
}

void writeBadges(const std::vector<NodeBadge>& badges, CompressedBlock* block) {
  // Most failures of a run share a few "since" runs: each name once.
  std::map<std::string, uint64_t> numbers;
  std::vector<const std::string*> names;
  for (const NodeBadge& badge : badges) {
    if (badge.kind != BadgeFailingSince) continue;
    const auto added = numbers.emplace(badge.since, names.size());
    if (added.second) names.push_back(&added.first->first);
  }
  block->appendVarint(names.size());
  for (const std::string* name : names) block->appendString(*name);
  block->appendVarint(badges.size());
  int previous = 0;
  for (const NodeBadge& badge : badges) {
    block->appendVarint(static_cast<uint64_t>(badge.node - previous));
    previous = badge.node;
    block->appendByte(static_cast<uint8_t>(badge.kind));
    if (badge.kind == BadgeFailingSince) block->appendVarint(numbers[badge.since]);
    const size_t length = std::min(badge.strip.size(), kStripRuns);
    block->appendByte(static_cast<uint8_t>(length));
    for (size_t i = badge.strip.size() - length; i < badge.strip.size(); ++i)
      block->appendByte(static_cast<uint8_t>(badge.strip[i]));
  }
  block->finish();
}
