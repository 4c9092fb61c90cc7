// The gate's lines, section by section, each kind at most max lines; the
// comment's tables from the same sections, cut to what a merge request
// comment holds.
#include "export/ci/gate_writer.h"

#include <algorithm>
#include <cstdio>

namespace {

// One kind of change, in the order the output gives them.
enum SectionKind { New, Lost, Flaky, Quarantined, Still, NowPasses, Added, Removed, Missing, Stale,
                   kSections };
const char* const kTitles[] = {"New failures", "Lost",    "Flaky",   "Quarantined",
                               "Still failing", "Now passes", "Added", "Removed",
                               "Missing parts", "Quarantine entries that match no object"};

struct Section {
  std::vector<FailureLine> lines;
  int64_t more = 0;
};

const char* statusWord(ObjectStatus status) {
  static const char* const kWords[] = {"passed", "not executed", "failed", "absent"};
  return kWords[status];
}

// "size() == 2 (failed 1 of 1 executions)": a stored check line in words.
std::string checkWords(const std::string& checks) {
  std::string line = checks.substr(0, checks.find('\n'));
  const size_t tab = line.find('\t');
  if (tab != std::string::npos) line = line.substr(0, tab) + (tab + 1 < line.size() ? " " : "") + line.substr(tab + 1);
  return singleLine(line);
}

class Sections {
 public:
  explicit Sections(int64_t max) : max_(max) {}
  void add(SectionKind kind, FailureLine line) {
    Section& section = sections_[kind];
    if (static_cast<int64_t>(section.lines.size()) < max_) section.lines.push_back(std::move(line));
    else ++section.more;
  }
  const Section& operator[](int kind) const { return sections_[kind]; }

 private:
  int64_t max_;
  Section sections_[kSections];
};

// A path of the part's, as the gate shows it.
std::string shownPath(const GateView& view, const std::string& path) {
  return view.part.empty() ? path : view.part + " > " + path;
}

void addFailures(const GateView& view, Sections* sections) {
  for (const FailedObject& failed : view.diff->failed) {
    const std::vector<FailureLine>& lines = (*view.lines)[failed.object];
    for (size_t i = 0; i < lines.size(); ++i) {
      FailureLine line = lines[i];
      line.path = shownPath(view, line.path);
      const std::string mark = failureMark(failed, i);
      SectionKind kind = Still;
      if (failed.kind == FailureNew && !mark.empty()) kind = New;
      else if (failed.kind == FailureFlaky) kind = Flaky, line.severity = SeverityWarning;
      else if (failed.kind == FailureQuarantined) kind = Quarantined, line.severity = SeverityNote;
      if (kind == Still) {
        line.what = (view.history ? stillFailingWords(*view.history, failed) : "still failing") +
                    ": " + line.what;
        line.severity = SeverityWarning;
      } else {
        line.what = mark + ": " + line.what;
      }
      sections->add(kind, std::move(line));
    }
  }
  if (view.diff->unlistedNew > 0)
    sections->add(New, {SourceLink(), "new failure: failed",
                        std::to_string(view.diff->unlistedNew) +
                            " more verdicts that the report counts but lists in no table",
                        shownPath(view, "unlisted"), SeverityError});
}

void addChanges(const GateView& view, Sections* sections) {
  const RunDiff& diff = *view.diff;
  const std::vector<RunObject>& now = *view.now;
  const std::vector<RunObject>& base = *view.base;
  for (size_t k = 0; k < diff.lost.size(); ++k) {
    const size_t i = diff.lost[k];
    sections->add(Lost, {(*view.locations)[i], "no longer executed",
                         std::string(statusWord(base[diff.lostBefore[k]].status)) + " before",
                         shownPath(view, now[i].path), SeverityError});
  }
  for (size_t k = 0; k < diff.fixed.size(); ++k) {
    const size_t i = diff.fixed[k];
    sections->add(NowPasses, {(*view.locations)[i], "now passes, failed before",
                              checkWords(base[diff.fixedBefore[k]].checks),
                              shownPath(view, now[i].path), SeverityNote});
  }
  for (const size_t i : diff.added)
    sections->add(Added, {(*view.locations)[i], "added", statusWord(now[i].status),
                          shownPath(view, now[i].path), SeverityNote});
  for (const size_t i : diff.removed)
    sections->add(Removed, {SourceLink(), "removed", statusWord(base[i].status),
                            shownPath(view, base[i].path), SeverityNote});
}

Sections gather(const GateReport& report, int64_t max) {
  Sections sections(max);
  for (const GateView& view : report.parts) addFailures(view, &sections);
  for (const GateView& view : report.parts) addChanges(view, &sections);
  for (const std::string& part : report.missingParts)
    sections.add(Missing, {SourceLink(), "part missing", "in the base run, not in this one", part,
                           SeverityWarning});
  if (report.staleQuarantine)
    for (const FailureLine& line : *report.staleQuarantine) sections.add(Stale, line);
  return sections;
}

// A code span that holds text as it is: fenced by more backticks than it
// holds in a row, and a table cell's bar escaped.
std::string codeSpan(const std::string& text) {
  size_t run = 0, longest = 0;
  std::string body;
  for (const char c : text) {
    run = c == '`' ? run + 1 : 0;
    longest = std::max(longest, run);
    body += c == '|' ? std::string("\\|") : std::string(1, c);
  }
  const std::string fence(longest + 1, '`');
  const bool pad = !body.empty() && (body.front() == '`' || body.back() == '`' || body.front() == ' ');
  return fence + (pad ? " " : "") + body + (pad ? " " : "") + fence;
}

std::string markdownRow(const FailureLine& line) {
  const std::string place = placeText(line.location);
  return "| " + markdownEscaped(line.path) + " | " +
         (place.empty() ? std::string() : codeSpan(place)) + " | " + markdownEscaped(line.what) +
         (line.detail.empty() ? std::string() : " " + codeSpan(line.detail)) + " |\n";
}

// A link's target between angle brackets: what would end it (an angle
// bracket, a line end) or split it (white space) percent-encoded.
std::string linkTarget(const std::string& url) {
  std::string target;
  for (const char c : url) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u > 0x20 && u != 0x7f && c != '<' && c != '>') {
      target += c;
    } else {
      char escaped[4];
      snprintf(escaped, sizeof escaped, "%%%02X", u);
      target += escaped;
    }
  }
  return target;
}

std::string totalsWords(const VerdictTotals& t) {
  return "Passed " + std::to_string(t.passed) + ", Inconclusive " + std::to_string(t.inconclusive) +
         ", Failed " + std::to_string(t.failed) + ", Total " + std::to_string(t.total);
}

}  // namespace

std::string gateVerdict(const GateCounts& counts, const FailOn& failOn, int64_t reportFailed,
                        bool* passed) {
  const std::vector<std::string> reasons = gateReasons(counts, failOn, reportFailed);
  *passed = reasons.empty();
  std::string words;
  for (const std::string& reason : reasons) words += (words.empty() ? "" : ", ") + reason;
  if (!*passed) return words;
  const std::pair<int64_t, const char*> others[] = {{counts.fresh, "new, not gating"},
                                                    {counts.lost, "lost"},
                                                    {counts.flaky, "flaky"},
                                                    {counts.quarantined, "quarantined"},
                                                    {counts.still, "still failing"}};
  for (const auto& other : others)
    if (other.first > 0) words += (words.empty() ? "" : ", ") + std::to_string(other.first) + " " + other.second;
  return "no new failures" + (words.empty() ? "" : " (" + words + ")");
}

GateCounts gateCounts(const GateReport& report) {
  GateCounts all;
  for (const GateView& view : report.parts) all += gateCounts(*view.diff);
  return all;
}

std::string gateText(const GateReport& report, const GateOptions& options) {
  if (options.format == GateMarkdown) return gateMarkdown(report, options);
  const Sections sections = gather(report, options.max);
  std::string text;
  for (int kind = 0; kind < kSections; ++kind) {
    for (const FailureLine& line : sections[kind].lines)
      text += options.format == GateGithub ? githubLine(line) : plainLine(line, options.colour);
    if (sections[kind].more > 0) text += "and " + std::to_string(sections[kind].more) + " more\n";
  }
  return text + gateLine(gateCounts(report));
}

std::string gateMarkdown(const GateReport& report, const GateOptions& options) {
  const GateCounts counts = gateCounts(report);
  bool passed = true;
  const std::string verdict = gateVerdict(counts, options.failOn, report.totals.failed, &passed);
  std::string md = std::string(passed ? "✅ " : "❌ ") + markdownEscaped(verdict) + "\n\n";
  md += totalsWords(report.totals) + ", against " + markdownEscaped(report.against);
  if (!options.pageUrl.empty()) md += " · [the report's page](<" + linkTarget(options.pageUrl) + ">)";
  md += "\n\n" + gateLine(counts);
  // Every row counts against the budget; what does not fit is counted.
  const Sections sections = gather(report, options.max);
  const size_t reserve = 100;
  int64_t left = 0;
  for (int kind = 0; kind < kSections; ++kind) {
    const Section& section = sections[kind];
    if (section.lines.empty()) continue;
    const std::string head =
        "\n#### " + std::string(kTitles[kind]) + "\n\n| Test | Location | What |\n|---|---|---|\n";
    if (md.size() + head.size() + reserve > kCommentBytes) {
      left += static_cast<int64_t>(section.lines.size()) + section.more;
      continue;
    }
    md += head;
    int64_t more = section.more;
    for (const FailureLine& line : section.lines) {
      const std::string row = markdownRow(line);
      if (md.size() + row.size() + reserve > kCommentBytes) ++more;
      else md += row;
    }
    if (more > 0) md += "\nand " + std::to_string(more) + " more\n";
  }
  if (left > 0) md += "\nand " + std::to_string(left) + " more\n";
  return md;
}
