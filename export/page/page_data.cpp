// The page data, built as the report streams: node columns in memory (six
// numbers a node), texts and details compressed as they come.
#include "export/page/page_data.h"

#include "export/xrd/failures.h"
#include "support/decimal.h"

namespace {

// Cell texts go into the string table up to this many entries, and only
// when short: beyond, they are written where they stand.
constexpr size_t kCellStrings = 65536;
constexpr size_t kLongestCellString = 48;

uint32_t clampLine(int64_t line) {
  return line < 0 ? 0 : line > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<uint32_t>(line);
}

}  // namespace

uint32_t PageData::stringId(const std::string& text) {
  const auto found = stringIds_.find(text);
  if (found != stringIds_.end()) return found->second;
  const uint32_t id = static_cast<uint32_t>(stringsInOrder_.size());
  const auto added = stringIds_.emplace(text, id).first;
  stringsInOrder_.push_back(&added->first);
  return id;
}

void PageData::appendCellText(const std::string& text, uint8_t* flags, std::string* encoded) {
  if (text.size() <= kLongestCellString && !isDigits(text) &&
      (stringIds_.count(text) || stringIds_.size() < kCellStrings)) {
    *flags |= 0x80;
    appendVarint(encoded, stringId(text));
  } else {
    appendVarint(encoded, text.size());
    encoded->append(text);
  }
}

void PageData::appendLink(const SourceLink& link) {
  appendVarint(&scratch_, stringId(link.file));
  appendVarint(&scratch_, clampLine(link.line));
}

int PageData::nodeStart(const ReportNodeInfo& node) {
  const uint32_t id = static_cast<uint32_t>(types_.size());
  parentDistance_.push_back(parents_.empty() ? 0 : id - parents_.back());
  parents_.push_back(id);
  uint32_t titleForm = 0;
  if (node.title.present) {
    if (node.title.text == node.type + " " + node.name) titleForm = 1;
    else if (node.title.text == node.name) titleForm = 2;
    else titleForm = 3;
  }
  const uint32_t state = node.state == StatusPassed ? 1 : node.state == StatusFailed ? 2 : 0;
  const uint32_t linked = node.title.link.present ? 1 : 0;
  flags_.push_back(state | static_cast<uint32_t>(node.icon - IconNone) << 2 | (node.sum > 0 ? 1u : 0u) << 4 |
                   titleForm << 5 | linked << 7 | static_cast<uint32_t>(node.section) << 8);
  types_.push_back(stringId(node.type));
  files_.push_back(linked ? stringId(node.title.link.file) : 0);
  lines_.push_back(linked ? clampLine(node.title.link.line) : 0);
  detailOffsets_.push_back(static_cast<uint32_t>(detailBytes_));
  texts_.appendByte(1);
  texts_.append(node.name);
  if (titleForm == 3) {
    texts_.appendByte(2);
    texts_.append(node.title.text);
  }
  return static_cast<int>(id);
}

void PageData::nodeEnd() { parents_.pop_back(); }

void PageData::title(const ReportTitleInfo& title) {
  scratch_.clear();
  scratch_.push_back(2);
  appendVarint(&scratch_, static_cast<uint64_t>(title.level));
  scratch_.push_back(static_cast<char>(title.style));
  appendVarint(&scratch_, title.text.size());
  scratch_.append(title.text);
  scratch_.push_back(title.link.present ? 1 : 0);
  if (title.link.present) appendLink(title.link);
  details_.append(scratch_);
  detailBytes_ += scratch_.size();
}

void PageData::row(const ReportRowInfo& row) {
  const std::vector<ReportCell>& cells = row.cells;
  const size_t n = cells.size();
  // Searchable: the text cells of a data row before its status and
  // counts, and every cell of a trace line or a note.
  const size_t searchable = row.role == RowData                           ? splitDataRow(row).texts
                            : row.role == RowTrace || row.role == RowNote ? n
                                                                          : 0;
  scratch_.clear();
  scratch_.push_back(1);
  scratch_.push_back(static_cast<char>(row.role));
  appendVarint(&scratch_, n);
  for (size_t i = 0; i < n; ++i) {
    const ReportCell& cell = cells[i];
    const size_t flagsAt = scratch_.size();
    uint8_t flags = static_cast<uint8_t>(cell.style) | (cell.linkCell ? 0x08 : 0) |
                    (cell.image ? 0x10 : 0) | (cell.link.present ? 0x20 : 0);
    scratch_.push_back(0);
    if (i < searchable && !cell.text.empty()) {
      flags |= 0x40;
      texts_.appendByte(3);
      texts_.append(cell.text);
    } else {
      appendCellText(cell.text, &flags, &scratch_);
    }
    scratch_[flagsAt] = static_cast<char>(flags);
    if (cell.link.present) appendLink(cell.link);
  }
  details_.append(scratch_);
  detailBytes_ += scratch_.size();
}

void PageData::finish() {
  const uint32_t count = static_cast<uint32_t>(types_.size());
  const uint32_t header[] = {2, count};
  nodes_.append(header, sizeof header);
  for (const std::vector<uint32_t>* column :
       {&parentDistance_, &flags_, &types_, &files_, &lines_, &detailOffsets_})
    nodes_.append(column->data(), column->size() * sizeof(uint32_t));
  nodes_.finish();
  const uint32_t strings = static_cast<uint32_t>(stringsInOrder_.size());
  strings_.append(&strings, sizeof strings);
  for (const std::string* text : stringsInOrder_) strings_.appendString(*text);
  strings_.finish();
  texts_.finish();
  details_.finish();
}
