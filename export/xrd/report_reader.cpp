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

#include <cstring>

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
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) i = 1;
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    if (v > (INT64_MAX - (text[i] - '0')) / 10) return false;
    v = v * 10 + (text[i] - '0');
  }
  *value = negative ? -v : v;
  return true;
}

ReportStyle cellStyleOf(std::string_view style) {
  if (style == "Array Title") return ReportStyleTitle;
  if (style == "Array") return ReportStylePlain;
  if (style == "Array Failed") return ReportStyleFailed;
  if (style == "Array Passed") return ReportStylePassed;
  return ReportStyleNone;
}

bool endsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

ReportStyle titleStyleOf(std::string_view style) {
  if (endsWith(style, " Failed")) return ReportStyleFailed;
  if (endsWith(style, " Passed")) return ReportStylePassed;
  return ReportStylePlain;
}

SectionKind sectionOf(std::string_view tag) {
  if (tag.substr(0, 5) == "filex") return SectionOverview;
  if (tag.substr(0, 5) == "rootx") return SectionDriver;
  if (tag.substr(0, 6) == "classx") return SectionContracts;
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

// Length of a valid UTF-8 sequence at p (of at most n bytes), 0 if invalid.
size_t utf8Length(const unsigned char* p, size_t n) {
  if (p[0] < 0x80) return 1;
  size_t length;
  uint32_t value;
  if (p[0] >= 0xC2 && p[0] <= 0xDF) {
    length = 2;
    value = p[0] & 0x1F;
  } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
    length = 3;
    value = p[0] & 0x0F;
  } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
    length = 4;
    value = p[0] & 0x07;
  } else {
    return 0;
  }
  if (length > n) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (p[i] & 0x3F);
  }
  if ((length == 3 && value < 0x800) || (length == 4 && (value < 0x10000 || value > 0x10FFFF)) ||
      (value >= 0xD800 && value <= 0xDFFF))
    return 0;
  return length;
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
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  for (size_t j = 0; j < bytes.size();) {
    const size_t n = utf8Length(p + j, bytes.size() - j);
    if (n == 0) return false;
    j += n;
  }
  *text = std::move(bytes);
  return true;
}

SourceLink parseLinkTarget(std::string_view target) {
  SourceLink link;
  link.present = true;
  const size_t at = target.rfind(" line ");
  int64_t line;
  if (at != std::string_view::npos && parseInteger(target.substr(at + 6), &line) && line >= 0 &&
      target[at + 6] != '-') {
    link.file.assign(target.substr(0, at));
    link.line = line;
  } else {
    link.file.assign(target);
  }
  return link;
}

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
      hour > 23 || minute > 59 || second > 60 || hour < 0 || minute < 0 || second < 0)
    return false;
  *time = {static_cast<int>(year), month, static_cast<int>(dayOfMonth), static_cast<int>(hour),
           static_cast<int>(minute), static_cast<int>(second)};
  return true;
}

bool ReportReader::open(const char* path) {
  tokenizer_.setLenientAttribute("DOCUMENT", "TITLE");
  std::string reason;
  if (tokenizer_.openFile(path, &reason)) return true;
  error_ = {"cannot open: " + reason, 0, 0};
  ended_ = true;
  last_ = ReportFailed;
  return false;
}

void ReportReader::openBytes(std::string_view bytes) {
  tokenizer_.setLenientAttribute("DOCUMENT", "TITLE");
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

void ReportReader::reject(ReportErrorInfo error) {
  error_ = std::move(error);
  ended_ = true;
  last_ = ReportFailed;
}

ReportItemKind ReportReader::failAt(const XmlToken& at, std::string message) {
  error_ = {std::move(message), at.line, at.column};
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
  const std::string_view target = attributeOf(start, "TARGET", &found);
  if (!found) {
    failAt(start, "<LINK> lacks its TARGET");
    return false;
  }
  *link = parseLinkTarget(target);
  for (;;) {
    const XmlToken& t = take();
    if (t.kind == XmlEndTag) return true;
    if (t.kind == XmlText && t.whiteSpace) continue;
    if (t.kind == XmlStartTag && t.name == "TEXT") {
      if (!readText("TEXT", text)) return false;
      continue;
    }
    if (t.kind == XmlError) failAt(t, std::string(t.text));
    else unexpected(t, "LINK");
    return false;
  }
}

bool ReportReader::readTitle(const XmlToken& start, ReportTitleInfo* title) {
  title->present = true;
  int64_t level = 0;
  bool found;
  const std::string_view levelText = attributeOf(start, "LEVEL", &found);
  if (found && (!parseInteger(levelText, &level) || level < 0 || level > 1000000000)) {
    failAt(start, "the LEVEL of a <TITLE> is not a number");
    return false;
  }
  title->level = static_cast<int>(level);
  title->tag.assign(attributeOf(start, "TAG"));
  title->style = titleStyleOf(attributeOf(start, "STYLE"));
  title->text.clear();
  title->link = SourceLink();
  for (;;) {
    const XmlToken& t = take();
    if (t.kind == XmlEndTag) break;
    if (t.kind == XmlText && t.whiteSpace) continue;
    if (t.kind == XmlStartTag && t.name == "TEXT") {
      if (!readText("TEXT", &title->text)) return false;
    } else if (t.kind == XmlStartTag && t.name == "LINK") {
      if (!readLink(t, &title->link, &title->text)) return false;
    } else {
      if (t.kind == XmlError) failAt(t, std::string(t.text));
      else unexpected(t, "TITLE");
      return false;
    }
  }
  repairDoubleEncoding(&title->text);
  return true;
}

bool ReportReader::readCell(const XmlToken& start, ReportCell* cell) {
  cell->style = cellStyleOf(attributeOf(start, "STYLE"));
  cell->linkCell = start.name == "CELL";
  if (!cell->linkCell) return readText("CELL_TEXT", &cell->text);
  for (;;) {
    const XmlToken& t = take();
    if (t.kind == XmlEndTag) return true;
    if (t.kind == XmlText && t.whiteSpace) continue;
    if (t.kind == XmlStartTag && t.name == "TEXT") {
      if (!readText("TEXT", &cell->text)) return false;
    } else if (t.kind == XmlStartTag && t.name == "LINK") {
      if (!readLink(t, &cell->link, &cell->text)) return false;
    } else if (t.kind == XmlStartTag && t.name == "IMAGE") {
      cell->image = true;
      if (!skipEmpty("IMAGE")) return false;
    } else {
      if (t.kind == XmlError) failAt(t, std::string(t.text));
      else unexpected(t, "CELL");
      return false;
    }
  }
}

bool ReportReader::readRow(const XmlToken& start) {
  row_.line = start.line;
  row_.column = start.column;
  row_.cells.clear();
  const bool titleRow = attributeOf(start, "STYLE") == "Array Title";
  for (;;) {
    const XmlToken& t = take();
    if (t.kind == XmlEndTag) break;
    if (t.kind == XmlText && t.whiteSpace) continue;
    if (t.kind == XmlStartTag && (t.name == "CELL_TEXT" || t.name == "CELL")) {
      row_.cells.emplace_back();
      if (!readCell(t, &row_.cells.back())) return false;
    } else {
      if (t.kind == XmlError) failAt(t, std::string(t.text));
      else unexpected(t, "ROW");
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
    if (t.kind != XmlStartTag || t.name != "ROW") {
      if (t.kind == XmlError) failAt(t, std::string(t.text));
      else unexpected(t, "TABLE");
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
  const std::string_view name = attributeOf(token, "name", &hasName);
  const std::string_view type = attributeOf(token, "type", &hasType);
  const std::string_view state = attributeOf(token, "state", &hasState);
  if (!hasName || !hasType || !hasState)
    return failAt(token, std::string("<XROD:NODE> lacks its ") +
                             (!hasName ? "name" : !hasType ? "type" : "state"));
  if (state == "ok") node_.state = StatePassed;
  else if (state == "ko") node_.state = StateFailed;
  else if (state == "NE") node_.state = StateNotExecuted;
  else return failAt(token, "<XROD:NODE> has the unknown state \"" + std::string(state) + "\"");
  bool hasSum;
  const std::string_view sum = attributeOf(token, "sum", &hasSum);
  int64_t sumValue = 0;
  if (hasSum && (!parseInteger(sum, &sumValue) || sumValue < 0 || sumValue > 1000000000))
    return failAt(token, "the sum of an <XROD:NODE> is not a number");
  const std::string_view icon = attributeOf(token, "icone");
  node_.icon = icon == "method.xpm"       ? NodeIconMethod
               : icon == "class.xpm"      ? NodeIconClass
               : icon == "testscript.xpm" ? NodeIconTestScript
                                          : NodeIconNone;
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

ReportItemKind ReportReader::next() {
  if (ended_) return last_;
  for (;;) {
    const XmlToken& t = take();
    if (t.kind == XmlError) return failAt(t, std::string(t.text));
    if (t.kind == XmlEnd) {
      ended_ = true;
      return last_ = ReportEnd;
    }
    if (nodePending_) {
      // The node's first TITLE belongs to it, also when its SECTION comes first.
      if (t.kind == XmlText && t.whiteSpace) continue;
      if (t.kind == XmlStartTag && t.name == "SECTION" && contexts_.back() == InNode) {
        node_.sectionTag.assign(attributeOf(t, "TAG"));
        node_.section = sectionOf(node_.sectionTag);
        if (node_.section == SectionOverview) overviewLevel_ = contexts_.size() + 1;
        contexts_.push_back(InSection);
        continue;
      }
      nodePending_ = false;
      itemDepth_ = node_.depth;
      if (t.kind == XmlStartTag && t.name == "TITLE") {
        if (!readTitle(t, &node_.title)) return ReportFailed;
      } else {
        pushedBack_ = true;
      }
      return last_ = ReportNodeStart;
    }
    if (t.kind == XmlText) {
      if (t.whiteSpace) continue;
      return unexpected(t, contexts_.empty() ? "XROD" : contextName(contexts_.back()));
    }
    if (t.kind == XmlEndTag) {
      // The tokenizer has matched the names; only the levels are left.
      const Context closing = contexts_.back();
      if (contexts_.size() == overviewLevel_) overviewLevel_ = 0;
      contexts_.pop_back();
      switch (closing) {
        case InNode:
          itemDepth_ = depth_--;
          if (itemDepth_ == 0 && !summarySeen_)
            return failAt(t, "not a report: the report's first XROD:NODE holds no summary table");
          return last_ = ReportNodeEnd;
        case InTable:
          itemDepth_ = depth_;
          return last_ = ReportTableEnd;
        case InDocument:
          if (!globalSeen_) return failAt(t, "not a report: <DOCUMENT> holds no <XROD:NODE>");
          continue;
        case InApidoc:
          if (!globalSeen_) return failAt(t, "not a report: <APIDOC> holds no <DOCUMENT>");
          continue;
        case InXrod:
          if (!globalSeen_) return failAt(t, "not a report: <XROD> holds no <APIDOC>");
          continue;
        default:
          continue;
      }
    }
    if (contexts_.empty()) {
      if (t.name != "XROD")
        return failAt(t, "not a report: the root element is <" + std::string(t.name) +
                             ">, not <XROD>");
      contexts_.push_back(InXrod);
      continue;
    }
    const Context context = contexts_.back();
    itemDepth_ = depth_;
    if (context == InXrod && t.name == "APIDOC") {
      contexts_.push_back(InApidoc);
    } else if (context == InApidoc && t.name == "DOCUMENT") {
      if (globalSeen_) return failAt(t, "not a report: a second <DOCUMENT>");
      document_.title.assign(attributeOf(t, "TITLE"));
      document_.tag.assign(attributeOf(t, "TAG"));
      contexts_.push_back(InDocument);
      return last_ = ReportDocument;
    } else if (context == InDocument && t.name == "XROD:NODE") {
      if (globalSeen_) return failAt(t, "not a report: a second <XROD:NODE> in <DOCUMENT>");
      globalSeen_ = true;
      if (startNode(t) == ReportFailed) return ReportFailed;
    } else if ((context == InNode || context == InSection) && t.name == "XROD:NODE") {
      if (startNode(t) == ReportFailed) return ReportFailed;
    } else if ((context == InNode || context == InSection) && t.name == "TITLE") {
      if (!readTitle(t, &title_)) return ReportFailed;
      return last_ = ReportTitle;
    } else if ((context == InNode || context == InSection) && t.name == "TABLE") {
      if (overviewLevel_ == contexts_.size() && !summarySeen_) {
        if (!readSummary(t)) return ReportFailed;
        return last_ = ReportSummary;
      }
      contexts_.push_back(InTable);
      return last_ = ReportTableStart;
    } else if (context == InTable && t.name == "ROW") {
      if (!readRow(t)) return ReportFailed;
      return last_ = ReportRow;
    } else {
      return unexpected(t, contextName(context));
    }
  }
}

const char* ReportReader::contextName(Context context) {
  switch (context) {
    case InXrod: return "XROD";
    case InApidoc: return "APIDOC";
    case InDocument: return "DOCUMENT";
    case InNode: return "XROD:NODE";
    case InSection: return "SECTION";
    case InTable: return "TABLE";
  }
  return "";
}
