// Failure gathering: a node's rows come before its child nodes, so its
// failure is complete when its first child starts or when it ends.
//
//   <ROW><CELL_TEXT STYLE="Array Title">Expression</CELL_TEXT>...</ROW>   header
//   <ROW><CELL_TEXT STYLE="Array Failed">size() == capacity()</CELL_TEXT>
//        <CELL_TEXT ...>Failed</CELL_TEXT><CELL_TEXT ...>1</CELL_TEXT>...</ROW>
#include "export/xrd/failures.h"

#include "support/decimal.h"

std::string locationText(const SourceLink& link) {
  if (!link.present || link.file.empty()) return std::string();
  if (link.line == 0) return link.file;
  return link.file + ":" + std::to_string(link.line);
}

DataRowParts splitDataRow(const ReportRowInfo& row) {
  const size_t n = row.cells.size();
  DataRowParts parts;
  while (parts.counts + 1 < n && isDigits(row.cells[n - 1 - parts.counts].text)) ++parts.counts;
  if (parts.counts == 0) return parts;
  parts.texts = n - parts.counts >= 2 ? n - parts.counts - 1 : n - parts.counts;
  return parts;
}

void boundedPath(const OpenNames& names, std::vector<std::string_view>* path) {
  path->clear();
  const size_t n = names.size();
  for (size_t i = 0; i < n; ++i) {
    if (n > kPathNames && i == kPathEnd) {
      path->push_back("…");
      i = n - kPathEnd;
    }
    path->push_back(names[i]);
  }
}

// The failure is complete while its node is still the innermost one, so
// its path is taken then, and only for a failure that is emitted.
void FailureCollector::finishPending() {
  ready_ = false;
  if (!pendingFailed_) return;
  pendingFailed_ = false;
  if (!pendingCarries_ && pending_.checks.empty()) return;
  std::swap(done_, pending_);
  boundedPath(names_, &done_.path);
  ready_ = true;
}

void FailureCollector::dropEnded() {
  if (!ended_) return;
  ended_ = false;
  names_.pop_back();
}

void FailureCollector::nodeStart(int nodeId, const ReportNodeInfo& node) {
  dropEnded();
  finishPending();
  names_.push_back(node.name);
  header_.clear();
  if (node.state != StatusFailed) return;
  pendingFailed_ = true;
  pendingCarries_ = node.sum > 0;
  pending_.nodeId = nodeId;
  pending_.type = node.type;
  pending_.link = node.title.link;
  pending_.checks.clear();
}

void FailureCollector::tableStart() {
  dropEnded();
  ready_ = false;
}

void FailureCollector::row(const ReportRowInfo& row) {
  dropEnded();
  ready_ = false;
  if (row.role == RowHeader) {
    header_.clear();
    for (const ReportCell& c : row.cells) header_.push_back(c.text);
    return;
  }
  if (!pendingFailed_ || row.role != RowData || row.cells.empty() ||
      row.cells[0].style != ReportStyleFailed)
    return;
  const DataRowParts parts = splitDataRow(row);
  if (parts.counts == 0) return;  // the node's own status row
  const size_t n = row.cells.size();
  FailedCheck check;
  for (size_t i = 0; i < parts.texts; ++i) {
    const std::string& text = row.cells[i].text;
    if (text.empty()) continue;
    if (!check.expression.empty()) check.expression += ' ';
    check.expression += text;
    if (row.cells[i].link.present && !check.link.present) check.link = row.cells[i].link;
  }
  if (check.expression.empty()) return;
  if (!check.link.present) check.link = pending_.link;
  const bool labelled = header_.size() == n;
  for (size_t i = n - parts.counts; i < n; ++i)
    check.counts.emplace_back(labelled ? header_[i] : std::string(), row.cells[i].text);
  pending_.checks.push_back(std::move(check));
}

void FailureCollector::nodeEnd() {
  dropEnded();
  finishPending();
  ended_ = true;
  header_.clear();
}
