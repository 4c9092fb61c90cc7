// The report reader: the XML tokens of a report file turned into report
// items, with the structure checked as it goes.
//
//   <XROD:NODE name="overflow" type="Test Case" state="ko" sum="1" icone="method.xpm">
//   <TITLE LEVEL="2" TAG="nodex11" STYLE="Title3 Failed">
//   <LINK TARGET="src/stack_test.cpp line 30">
//   <TEXT>Test Case overflow</TEXT>
//   </LINK>
//   </TITLE>
//   <TABLE BORDER="1" WIDTH="40,15,15,15,15">
//   <ROW>
//   <CELL_TEXT STYLE="Array Failed">size() == capacity()</CELL_TEXT>
//   ...
//   </ROW>
//   </TABLE>
//   </XROD:NODE>
//
// Only the levels that can nest without bound (nodes, sections, tables) are
// kept on a stack of one byte each; titles, rows and the summary table are
// read whole by straight loops. Nothing recurses, so any depth reads.
#include "export/xrd/report_reader.h"


#include "support/decimal.h"
#include "support/utf8.h"

#include <cstring>

namespace format = report_format;

namespace {

std::string_view attributeOf(const XmlToken& token, std::string_view name, bool* found) {
  for (const XmlAttribute& a : token.attributes) {
    if (a.name == name) {
      *found = true;
      return a.value;
    }
  }
  *found = false;
  return {};
}

std::string_view attributeOf(const XmlToken& token, std::string_view name) {
  bool found;
  return attributeOf(token, name, &found);
}

// A decimal integer, optionally negative, that fits 64 bits.
bool parseInteger(std::string_view text, int64_t* value) {
  return parseDecimal(text, INT64_MIN, INT64_MAX, value);
}

// ReportStyle counts the cell styles from 1, after ReportStyleNone.
ReportStyle cellStyleOf(std::string_view style) {
  return static_cast<ReportStyle>(cellStyleFromName(style) + 1);
}

bool endsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

ReportStyle titleStyleOf(std::string_view style) {
  if (endsWith(style, format::kFailedSuffix)) return ReportStyleFailed;
  if (endsWith(style, format::kPassedSuffix)) return ReportStylePassed;
  return ReportStylePlain;
}

bool startsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

SectionKind sectionOf(std::string_view tag) {
  if (startsWith(tag, format::kOverviewTag)) return SectionOverview;
  if (startsWith(tag, format::kDriverTag)) return SectionDriver;
  if (startsWith(tag, format::kContractsTag)) return SectionContracts;
  return SectionOther;
}

RowRole roleOf(const ReportRowInfo& row, bool titleRow) {
  if (titleRow) return RowTitle;
  const std::vector<ReportCell>& cells = row.cells;
  if (cells.empty()) return RowData;
  bool header = true;
  for (const ReportCell& c : cells) header = header && !c.linkCell && c.style == ReportStyleTitle;
  if (header) return RowHeader;
  if (cells[0].linkCell && cells[0].image) return RowTrace;
  if (cells.size() == 2 && cells[0].linkCell && cells[1].linkCell && cells[0].text.empty() &&
      !cells[0].link.present && !cells[0].image)
    return RowNote;
  return RowData;
}

}  // namespace

bool repairDoubleEncoding(std::string* text) {
  // A text without a byte above 0x7F, the usual one, is left without a copy.
  size_t i = 0;
  while (i < text->size() && static_cast<unsigned char>((*text)[i]) < 0x80) ++i;
  if (i == text->size()) return false;
  std::string bytes;
  bytes.reserve(text->size());
  bytes.assign(*text, 0, i);
  for (; i < text->size(); ++i) {
    const unsigned char c = static_cast<unsigned char>((*text)[i]);
    if (c < 0x80) {
      bytes += static_cast<char>(c);
      continue;
    }
    // U+0080 to U+00FF are C2 or C3 and one continuation byte.
    if ((c != 0xC2 && c != 0xC3) || i + 1 == text->size()) return false;
    const unsigned char d = static_cast<unsigned char>((*text)[++i]);
    if ((d & 0xC0) != 0x80) return false;
    bytes += static_cast<char>(((c & 0x03) << 6) | (d & 0x3F));
  }
  if (!isValidUtf8(bytes)) return false;
  *text = std::move(bytes);
  return true;
}

SourceLink parseLinkTarget(std::string_view target) {
  SourceLink link;
  link.present = true;
  constexpr size_t kSeparator = sizeof format::kLineSeparator - 1;
  const size_t at = target.rfind(format::kLineSeparator);
  int64_t line;
  if (at != std::string_view::npos &&
      parseDecimal(target.substr(at + kSeparator), 0, INT64_MAX, &line)) {
    link.file.assign(target.substr(0, at));
    link.line = line;
  } else {
    link.file.assign(target);
  }
  return link;
}

std::string relativeToRoot(std::string file, std::string_view root) {
  while (root.size() > 1 && root.back() == '/') root.remove_suffix(1);
  if (root.empty()) return file;
  if (root == "/") return file.size() > 1 && file[0] == '/' ? file.substr(1) : file;
  if (file.size() > root.size() + 1 && file.compare(0, root.size(), root) == 0 &&
      file[root.size()] == '/')
    file.erase(0, root.size() + 1);
  return file;
}

namespace {

int daysInMonth(int month, int64_t year) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

bool parseReportTime(std::string_view text, ReportTime* time) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::string_view fields[5];
  size_t n = 0;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    const size_t end = std::min(text.find(' ', i), text.size());
    if (n == 5) return false;
    fields[n++] = text.substr(i, end - i);
    i = end;
  }
  if (n != 5) return false;
  bool day = false;
  for (const char* d : kDays) day = day || fields[0] == d;
  int month = 0;
  for (int m = 0; m < 12; ++m)
    if (fields[1] == kMonths[m]) month = m + 1;
  int64_t dayOfMonth, year, hour, minute, second;
  const std::string_view clock = fields[3];
  if (!day || !month || fields[2].size() > 2 || !parseInteger(fields[2], &dayOfMonth) ||
      dayOfMonth < 1 || dayOfMonth > 31 || fields[4].size() != 4 ||
      !parseInteger(fields[4], &year) || clock.size() != 8 || clock[2] != ':' ||
      clock[5] != ':' || !parseInteger(clock.substr(0, 2), &hour) ||
      !parseInteger(clock.substr(3, 2), &minute) || !parseInteger(clock.substr(6, 2), &second) ||
      hour > 23 || minute > 59 || second > 59 || hour < 0 || minute < 0 || second < 0 ||
      fields[4][0] == '-' || year < 1 || dayOfMonth > daysInMonth(month, year))
    return false;
  *time = {static_cast<int>(year), month, static_cast<int>(dayOfMonth), static_cast<int>(hour),
           static_cast<int>(minute), static_cast<int>(second)};
  return true;
}

std::string errorLine(const std::string& path, const ReportErrorInfo& error) {
  return path + ":" + std::to_string(error.line) + ":" + std::to_string(error.column) + ": " +
         error.message;
}

bool ReportReader::open(const char* path) {
  tokenizer_.setLenientAttribute(format::kDocument, format::kDocumentTitle);
  std::string reason;
  if (tokenizer_.openFile(path, &reason)) return true;
  error_ = {"cannot open: " + reason, 0, 0};
  ended_ = true;
  last_ = ReportFailed;
  return false;
}

void ReportReader::openBytes(std::string_view bytes) {
  tokenizer_.setLenientAttribute(format::kDocument, format::kDocumentTitle);
  tokenizer_.openBytes(bytes);
}

const XmlToken& ReportReader::take() {
  if (pushedBack_) {
    pushedBack_ = false;
    return *lastToken_;
  }
  lastToken_ = &tokenizer_.next();
  return *lastToken_;
}

ReportItemKind ReportReader::failAt(const XmlToken& at, std::string message) {
  return failAt(at.line, at.column, std::move(message));
}

ReportItemKind ReportReader::failAt(int64_t line, int64_t column, std::string message) {
  error_ = {std::move(message), line, column};
  ended_ = true;
  return last_ = ReportFailed;
}

ReportItemKind ReportReader::unexpected(const XmlToken& token, const char* inside) {
  if (token.kind == XmlText) return failAt(token, std::string("text inside <") + inside + ">");
  return failAt(token, "unexpected <" + std::string(token.name) + "> inside <" + inside + ">");
}

bool ReportReader::readText(const char* inside, std::string* text) {
  for (;;) {
    const XmlToken& t = take();
    if (t.kind == XmlText) {
      text->append(t.text);
    } else if (t.kind == XmlEndTag) {
      return true;
    } else {
      if (t.kind == XmlError) failAt(t, std::string(t.text));
      else unexpected(t, inside);
      return false;
    }
  }
}

// Reads up to the end tag of an element that holds only white space.
bool ReportReader::skipEmpty(const char* inside) {
  for (;;) {
    const XmlToken& t = take();
    if (t.kind == XmlEndTag) return true;
    if (t.kind == XmlText && t.whiteSpace) continue;
    if (t.kind == XmlError) failAt(t, std::string(t.text));
    else unexpected(t, inside);
    return false;
  }
}

// Reads LINK's content (white space and TEXT) into the text.
bool ReportReader::readLink(const XmlToken& start, SourceLink* link, std::string* text) {
  bool found;
  const std::string_view target = attributeOf(start, format::kTarget, &found);
  if (!found) {
    failAt(start, "<LINK> lacks its TARGET");
    return false;
  }
  *link = parseLinkTarget(target);
  link->file = relativeToRoot(std::move(link->file), sourceRoot_);
  for (;;) {
    const XmlToken& t = take();
    if (t.kind == XmlEndTag) return true;
    if (t.kind == XmlText && t.whiteSpace) continue;
    if (t.kind == XmlStartTag && t.name == format::kText) {
      if (!readText(format::kText, text)) return false;
      continue;
    }
    if (t.kind == XmlError) failAt(t, std::string(t.text));
    else unexpected(t, format::kLink);
    return false;
  }
}

bool ReportReader::readTitle(const XmlToken& start, ReportTitleInfo* title) {
  title->present = true;
  int64_t level = 0;
  bool found;
  const std::string_view levelText = attributeOf(start, format::kLevel, &found);
  if (found && (!parseInteger(levelText, &level) || level < 0 || level > 1000000000)) {
    failAt(start, "the LEVEL of a <TITLE> is not a number");
    return false;
  }
  title->level = static_cast<int>(level);
  title->tag.assign(attributeOf(start, format::kTag));
  title->style = titleStyleOf(attributeOf(start, format::kStyle));
  title->text.clear();
  title->link = SourceLink();
  for (;;) {
    const XmlToken& t = take();
    if (t.kind == XmlEndTag) break;
    if (t.kind == XmlText && t.whiteSpace) continue;
    if (t.kind == XmlStartTag && t.name == format::kText) {
      if (!readText(format::kText, &title->text)) return false;
    } else if (t.kind == XmlStartTag && t.name == format::kLink) {
      if (!readLink(t, &title->link, &title->text)) return false;
    } else {
      if (t.kind == XmlError) failAt(t, std::string(t.text));
      else unexpected(t, format::kTitle);
      return false;
    }
  }
  repairDoubleEncoding(&title->text);
  return true;
}

bool ReportReader::readCell(const XmlToken& start, ReportCell* cell) {
  cell->style = cellStyleOf(attributeOf(start, format::kStyle));
  cell->linkCell = start.name == format::kCell;
  if (!cell->linkCell) return readText(format::kCellText, &cell->text);
  for (;;) {
    const XmlToken& t = take();
    if (t.kind == XmlEndTag) return true;
    if (t.kind == XmlText && t.whiteSpace) continue;
    if (t.kind == XmlStartTag && t.name == format::kText) {
      if (!readText(format::kText, &cell->text)) return false;
    } else if (t.kind == XmlStartTag && t.name == format::kLink) {
      if (!readLink(t, &cell->link, &cell->text)) return false;
    } else if (t.kind == XmlStartTag && t.name == format::kImage) {
      cell->image = true;
      if (!skipEmpty(format::kImage)) return false;
    } else {
      if (t.kind == XmlError) failAt(t, std::string(t.text));
      else unexpected(t, format::kCell);
      return false;
    }
  }
}

bool ReportReader::readRow(const XmlToken& start) {
  row_.line = start.line;
  row_.column = start.column;
  row_.cells.clear();
  const bool titleRow = cellStyleFromName(attributeOf(start, format::kStyle)) == StyleTitle;
  for (;;) {
    const XmlToken& t = take();
    if (t.kind == XmlEndTag) break;
    if (t.kind == XmlText && t.whiteSpace) continue;
    if (t.kind == XmlStartTag && (t.name == format::kCellText || t.name == format::kCell)) {
      row_.cells.emplace_back();
      if (!readCell(t, &row_.cells.back())) return false;
    } else {
      if (t.kind == XmlError) failAt(t, std::string(t.text));
      else unexpected(t, format::kRow);
      return false;
    }
  }
  row_.role = roleOf(row_, titleRow);
  return true;
}

// The overview's first table: a title row with the product line, then the
// four totals in the order passed, inconclusive, failed, total.
bool ReportReader::readSummary(const XmlToken& start) {
  const int64_t line = start.line;
  const int64_t column = start.column;
  int count = 0;
  int64_t* const values[] = {&summary_.passed, &summary_.inconclusive, &summary_.failed,
                             &summary_.total};
  for (;;) {
    const XmlToken& t = take();
    if (t.kind == XmlEndTag) break;
    if (t.kind == XmlText && t.whiteSpace) continue;
    if (t.kind != XmlStartTag || t.name != format::kRow) {
      if (t.kind == XmlError) failAt(t, std::string(t.text));
      else unexpected(t, format::kTable);
      return false;
    }
    if (!readRow(t)) return false;
    if (row_.role == RowTitle && !row_.cells.empty()) {
      if (summary_.productLine.empty()) summary_.productLine = row_.cells[0].text;
      continue;
    }
    if (row_.role != RowData || row_.cells.size() != 2 || count == 4 ||
        !parseInteger(row_.cells[1].text, values[count])) {
      error_ = {"not a report: the summary table holds a row that is not a total", row_.line,
                row_.column};
      ended_ = true;
      last_ = ReportFailed;
      return false;
    }
    summary_.labels[count] = row_.cells[0].text;
    summary_.styles[count] = row_.cells[0].style;
    ++count;
  }
  if (count != 4) {
    error_ = {"not a report: the summary table holds " + std::to_string(count) +
                  " totals instead of four",
              line, column};
    ended_ = true;
    last_ = ReportFailed;
    return false;
  }
  // The report's counters are 32-bit and its total is the sum of the three
  // others; held to that, no sum of totals can overflow further on.
  const char* fault = nullptr;
  for (int i = 0; i < 4 && !fault; ++i)
    if (*values[i] < 0 || (i < 3 && *values[i] > kMaxVerdictCount))
      fault = "not a report: a total is not a count from 0 to 2147483647";
  if (!fault &&
      summary_.total != summary_.passed + summary_.inconclusive + summary_.failed)
    fault = "not a report: the last total is not the sum of the three before it";
  if (fault) {
    error_ = {fault, line, column};
    ended_ = true;
    last_ = ReportFailed;
    return false;
  }
  summary_.line = line;
  summary_.column = column;
  summarySeen_ = true;
  return true;
}

ReportItemKind ReportReader::startNode(const XmlToken& token) {
  bool hasName, hasType, hasState;
  const std::string_view name = attributeOf(token, format::kName, &hasName);
  const std::string_view type = attributeOf(token, format::kType, &hasType);
  const std::string_view state = attributeOf(token, format::kState, &hasState);
  if (!hasName || !hasType || !hasState)
    return failAt(token, std::string("<XROD:NODE> lacks its ") +
                             (!hasName ? format::kName : !hasType ? format::kType : format::kState));
  if (state == format::kPassed) node_.state = StatusPassed;
  else if (state == format::kFailed) node_.state = StatusFailed;
  else if (state == format::kNotExecuted) node_.state = StatusNotExecuted;
  else return failAt(token, "<XROD:NODE> has the unknown state \"" + std::string(state) + "\"");
  bool hasSum;
  const std::string_view sum = attributeOf(token, format::kSum, &hasSum);
  int64_t sumValue = 0;
  if (hasSum && (!parseInteger(sum, &sumValue) || sumValue < 0 || sumValue > 1000000000))
    return failAt(token, "the sum of an <XROD:NODE> is not a number");
  node_.icon = iconFromFile(attributeOf(token, format::kIcon));
  node_.name.assign(name);
  node_.type.assign(type);
  repairDoubleEncoding(&node_.name);
  repairDoubleEncoding(&node_.type);
  node_.sum = static_cast<int>(sumValue);
  node_.section = SectionNone;
  node_.sectionTag.clear();
  node_.title.present = false;
  node_.title.text.clear();
  node_.title.link = SourceLink();
  node_.depth = ++depth_;
  node_.line = token.line;
  node_.column = token.column;
  contexts_.push_back(InNode);
  nodePending_ = true;
  return ReportNodeStart;
}

// Each helper below takes one token; true when it gave an item (*item).
ReportReader::ReportReader() = default;
ReportReader::~ReportReader() = default;

void ReportReader::setAnnotator(std::unique_ptr<ReportAnnotator> annotator) {
  annotator_ = std::move(annotator);
}

ReportItemKind ReportReader::next() {
  if (ended_) return last_;
  const ReportItemKind item = nextItem();
  return annotator_ ? annotate(item) : item;
}

// A report that parts from the symbol files fails at the item where it does.
ReportItemKind ReportReader::annotate(ReportItemKind item) {
  std::string message;
  switch (item) {
    case ReportNodeStart:
      if (!annotator_->nodeStart(node_, &message)) return failAt(node_.line, node_.column, message);
      break;
    case ReportRow:
      if (!annotator_->row(&row_, &message)) return failAt(row_.line, row_.column, message);
      break;
    case ReportNodeEnd:
      if (!annotator_->nodeEnd(itemDepth_, &message)) return failAt(*lastToken_, message);
      break;
    case ReportEnd:
      if (!annotator_->end(&message)) return failAt(*lastToken_, message);
      break;
    default: break;
  }
  return item;
}

ReportItemKind ReportReader::nextItem() {
  for (;;) {
    const XmlToken& t = take();
    if (t.kind == XmlError) return failAt(t, std::string(t.text));
    if (t.kind == XmlEnd) {
      ended_ = true;
      return last_ = ReportEnd;
    }
    ReportItemKind item;
    const bool given = nodePending_          ? finishNodeStart(t, &item)
                       : t.kind == XmlText   ? textBetweenElements(t, &item)
                       : t.kind == XmlEndTag ? endElement(t, &item)
                                             : startElement(t, &item);
    if (given) return item;
  }
}

// The node's first TITLE belongs to it, also when its SECTION comes first.
bool ReportReader::finishNodeStart(const XmlToken& t, ReportItemKind* item) {
  if (t.kind == XmlText && t.whiteSpace) return false;
  if (t.kind == XmlStartTag && t.name == format::kSection && contexts_.back() == InNode) {
    node_.sectionTag.assign(attributeOf(t, format::kTag));
    node_.section = sectionOf(node_.sectionTag);
    if (node_.section == SectionOverview) overviewLevel_ = contexts_.size() + 1;
    contexts_.push_back(InSection);
    return false;
  }
  nodePending_ = false;
  itemDepth_ = node_.depth;
  if (t.kind == XmlStartTag && t.name == format::kTitle) {
    if (!readTitle(t, &node_.title)) return *item = ReportFailed, true;
  } else {
    pushedBack_ = true;
  }
  *item = last_ = ReportNodeStart;
  return true;
}

bool ReportReader::textBetweenElements(const XmlToken& t, ReportItemKind* item) {
  if (t.whiteSpace) return false;
  *item = unexpected(t, contexts_.empty() ? format::kXrod : contextName(contexts_.back()));
  return true;
}

// The tokenizer has matched the names; only the levels are left.
bool ReportReader::endElement(const XmlToken& t, ReportItemKind* item) {
  const Context closing = contexts_.back();
  if (contexts_.size() == overviewLevel_) overviewLevel_ = 0;
  contexts_.pop_back();
  switch (closing) {
    case InNode:
      itemDepth_ = depth_--;
      if (itemDepth_ == 0 && !summarySeen_)
        *item = failAt(t, "not a report: the report's first XROD:NODE holds no summary table");
      else
        *item = last_ = ReportNodeEnd;
      return true;
    case InTable:
      itemDepth_ = depth_;
      *item = last_ = ReportTableEnd;
      return true;
    case InDocument:
      if (globalSeen_) return false;
      *item = failAt(t, "not a report: <DOCUMENT> holds no <XROD:NODE>");
      return true;
    case InApidoc:
      if (globalSeen_) return false;
      *item = failAt(t, "not a report: <APIDOC> holds no <DOCUMENT>");
      return true;
    case InXrod:
      if (globalSeen_) return false;
      *item = failAt(t, "not a report: <XROD> holds no <APIDOC>");
      return true;
    default:
      return false;
  }
}

// The frame (XROD, APIDOC, DOCUMENT, the node of the whole run), then by
// the open element: nodes, titles and tables in nodes and sections, rows in
// tables.
bool ReportReader::startElement(const XmlToken& t, ReportItemKind* item) {
  if (contexts_.empty()) {
    if (t.name == format::kXrod) {
      contexts_.push_back(InXrod);
      return false;
    }
    *item = failAt(t, "not a report: the root element is <" + std::string(t.name) + ">, not <XROD>");
    return true;
  }
  const Context context = contexts_.back();
  itemDepth_ = depth_;
  if (context == InNode || context == InSection) return startInNode(t, item);
  if (context == InXrod && t.name == format::kApidoc) {
    contexts_.push_back(InApidoc);
    return false;
  }
  if (context == InApidoc && t.name == format::kDocument) {
    if (globalSeen_) {
      *item = failAt(t, "not a report: a second <DOCUMENT>");
      return true;
    }
    document_.title.assign(attributeOf(t, format::kDocumentTitle));
    document_.tag.assign(attributeOf(t, format::kTag));
    contexts_.push_back(InDocument);
    *item = last_ = ReportDocument;
    return true;
  }
  if (context == InDocument && t.name == format::kNode && !globalSeen_) {
    globalSeen_ = true;
    return startNode(t) == ReportFailed ? (*item = ReportFailed, true) : false;
  }
  if (context == InDocument && t.name == format::kNode)
    *item = failAt(t, "not a report: a second <XROD:NODE> in <DOCUMENT>");
  else if (context == InTable && t.name == format::kRow)
    *item = readRow(t) ? (last_ = ReportRow) : ReportFailed;
  else
    *item = unexpected(t, contextName(context));
  return true;
}

bool ReportReader::startInNode(const XmlToken& t, ReportItemKind* item) {
  if (t.name == format::kNode)
    return startNode(t) == ReportFailed ? (*item = ReportFailed, true) : false;
  if (t.name == format::kTitle) {
    *item = readTitle(t, &title_) ? (last_ = ReportTitle) : ReportFailed;
  } else if (t.name == format::kTable && overviewLevel_ == contexts_.size() && !summarySeen_) {
    *item = readSummary(t) ? (last_ = ReportSummary) : ReportFailed;
  } else if (t.name == format::kTable) {
    contexts_.push_back(InTable);
    *item = last_ = ReportTableStart;
  } else {
    *item = unexpected(t, contextName(contexts_.back()));
  }
  return true;
}

const char* ReportReader::contextName(Context context) {
  switch (context) {
    case InXrod: return format::kXrod;
    case InApidoc: return format::kApidoc;
    case InDocument: return format::kDocument;
    case InNode: return format::kNode;
    case InSection: return format::kSection;
    case InTable: return format::kTable;
  }
  return "";
}
