// The page's tree data: a small report in, the node table, strings, texts
// and details out (decoded here as the page's script decodes them), and the
// choice between compressed and raw blocks.
#include "export/page/page_data.h"

#include "export/xrd/report_reader.h"
#include "tests/export/xrd/report_test_reports.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

using Lines = std::vector<std::string>;

std::string bytesOf(const CompressedBlock& block) {
  if (!block.compressed()) return block.bytes();
  std::string raw(block.rawSize(), '\0');
  uLongf size = raw.size();
  EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(&raw[0]), &size,
                       reinterpret_cast<const Bytef*>(block.bytes().data()), block.bytes().size()),
            Z_OK);
  raw.resize(size);
  return raw;
}

uint64_t varint(const std::string& bytes, size_t* at) {
  uint64_t value = 0;
  for (int shift = 0;; shift += 7) {
    const uint8_t b = static_cast<uint8_t>(bytes[(*at)++]);
    value |= uint64_t(b & 0x7F) << shift;
    if (!(b & 0x80)) return value;
  }
}

uint32_t word(const std::string& bytes, size_t index) {
  uint32_t w;
  memcpy(&w, bytes.data() + 4 * index, 4);
  return w;
}

// The page data of a report: one line per node, then its details.
Lines decode(const PageData& data) {
  const std::string nodes = bytesOf(data.nodes());
  const std::string strings = bytesOf(data.strings());
  const std::string texts = bytesOf(data.texts());
  const std::string details = bytesOf(data.details());
  std::vector<std::string> table;
  size_t at = 4;
  for (uint32_t i = 0; i < word(strings, 0); ++i) {
    const size_t length = varint(strings, &at);
    table.push_back(strings.substr(at, length));
    at += length;
  }
  const uint32_t n = word(nodes, 1);
  EXPECT_EQ(word(nodes, 0), 2u);
  const auto column = [&](int c, uint32_t i) { return word(nodes, 2 + c * n + i); };
  // Texts: split at the marks, per node.
  std::vector<Lines> nodeTexts;
  for (size_t i = 0; i < texts.size();) {
    const size_t next = texts.find_first_of("\x01\x02\x03", i + 1);
    const std::string part = texts.substr(i, next == std::string::npos ? next : next - i);
    static const char* const kMarks[] = {"", "", "title ", "cell "};
    if (part[0] == '\x01') nodeTexts.emplace_back();
    nodeTexts.back().push_back(kMarks[static_cast<int>(part[0])] + part.substr(1));
    i = next == std::string::npos ? texts.size() : next;
  }
  EXPECT_EQ(nodeTexts.size(), n);
  Lines lines;
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t f = column(1, i);
    std::string line = "node " + std::to_string(i) + " up " + std::to_string(column(0, i)) +
                       " state " + std::to_string(f & 3) + " icon " + std::to_string((f >> 2) & 3) +
                       " sum " + std::to_string((f >> 4) & 1) + " title " +
                       std::to_string((f >> 5) & 3) + " section " + std::to_string((f >> 8) & 7) +
                       " '" + table[column(2, i)] + "'";
    if (f & 128) line += " @" + table[column(3, i)] + ":" + std::to_string(column(4, i));
    for (const std::string& t : nodeTexts[i]) line += " | " + t;
    lines.push_back(line);
    size_t d = column(5, i);
    const size_t stop = i + 1 < n ? column(5, i + 1) : details.size();
    while (d < stop) {
      const int kind = details[d++];
      if (kind == 2) {
        const uint64_t level = varint(details, &d);
        const int style = details[d++];
        const size_t length = varint(details, &d);
        std::string title = "  title " + std::to_string(level) + " " + std::to_string(style) + " '" +
                            details.substr(d, length) + "'";
        d += length;
        if (details[d++]) {
          const uint64_t file = varint(details, &d);
          title += " @" + table[file] + ":" + std::to_string(varint(details, &d));
        }
        lines.push_back(title);
        continue;
      }
      std::string row = "  row " + std::to_string(int(details[d++]));
      const uint64_t cells = varint(details, &d);
      for (uint64_t c = 0; c < cells; ++c) {
        const uint8_t flags = static_cast<uint8_t>(details[d++]);
        row += " [" + std::to_string(flags & 7) + (flags & 8 ? " cell" : "") +
               (flags & 16 ? " image" : "");
        if (flags & 0x40) {
          row += " next";
        } else if (flags & 0x80) {
          row += " s'" + table[varint(details, &d)] + "'";
        } else {
          const size_t length = varint(details, &d);
          row += " '" + details.substr(d, length) + "'";
          d += length;
        }
        if (flags & 0x20) {
          const uint64_t file = varint(details, &d);
          row += " @" + table[file] + ":" + std::to_string(varint(details, &d));
        }
        row += "]";
      }
      lines.push_back(row);
    }
  }
  return lines;
}

void feed(const std::string& report, PageData* data) {
  ReportReader reader;
  reader.openBytes(report);
  for (ReportItemKind kind; (kind = reader.next()) != ReportEnd;) {
    ASSERT_NE(kind, ReportFailed) << reader.error().message;
    if (reader.depth() == 0) continue;
    if (kind == ReportNodeStart) data->nodeStart(reader.node());
    if (kind == ReportTitle) data->title(reader.title());
    if (kind == ReportRow) data->row(reader.row());
    if (kind == ReportNodeEnd) data->nodeEnd();
  }
  data->finish();
}

TEST(PageData, NodeTableOfASmallReport) {
  const std::string nodes =
      "<XROD:NODE name=\"push\" type=\"Test Case\" state=\"ko\" sum=\"1\" icone=\"method.xpm\">"
      "<TITLE LEVEL=\"1\" TAG=\"nodex8\" STYLE=\"Title2 Failed\">\n"
      "<LINK TARGET=\"src/s.cpp line 20\">\n<TEXT>Test Case push</TEXT>\n</LINK>\n</TITLE>\n"
      "<TABLE>\n<ROW>\n<CELL_TEXT STYLE=\"Array Title\">Expression</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Title\">Status</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Title\">Executed</CELL_TEXT>\n</ROW>\n<ROW>\n"
      "<CELL_TEXT STYLE=\"Array Failed\">top() == 3</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Failed\">Failed</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Failed\">2</CELL_TEXT>\n</ROW>\n</TABLE>\n"
      "<TABLE>\n<ROW>\n<CELL STYLE=\"Array\">\n<IMAGE NAME=\"arrow10.xpm\"/>"
      "<LINK TARGET=\"src/s.cpp line 22\">\n<TEXT>Print size</TEXT>\n</LINK>\n</CELL>\n"
      "<CELL STYLE=\"Array\">\n<TEXT>(x1)</TEXT>\n</CELL>\n</ROW>\n</TABLE>\n"
      "<TABLE>\n<ROW>\n<CELL STYLE=\"Array\">\n</CELL>\n<CELL STYLE=\"Array\">\n"
      "<TEXT>a&#10;b</TEXT>\n</CELL>\n</ROW>\n</TABLE>\n"
      "<XROD:NODE name=\"stub\" type=\"Stub\" state=\"NE\" sum=\"1\" icone=\"method.xpm\">"
      "<TITLE LEVEL=\"2\" TAG=\"nodex9\" STYLE=\"Title3\">\n<TEXT>A title of its own</TEXT>\n"
      "</TITLE>\n</XROD:NODE>\n</XROD:NODE>\n"
      "<XROD:NODE name=\"Invariant\" type=\"Invariant\" state=\"ok\" sum=\"1\" icone=\"method.xpm\">"
      "<TITLE LEVEL=\"1\" TAG=\"nodex10\" STYLE=\"Title2 Passed\">\n<TEXT>Invariant</TEXT>\n"
      "</TITLE>\n<TABLE>\n<ROW>\n<CELL STYLE=\"Array Passed\"><LINK TARGET=\"src/s.h line 4\">\n"
      "<TEXT>n &gt;= 0</TEXT>\n</LINK>\n</CELL>\n<CELL_TEXT STYLE=\"Array Passed\">Passed</CELL_TEXT>\n"
      "<CELL_TEXT STYLE=\"Array Passed\">4</CELL_TEXT>\n</ROW>\n</TABLE>\n</XROD:NODE>\n";
  PageData data;
  feed(reportAround(driverAround(nodes, "ko"), 0, 1, 1), &data);
  EXPECT_EQ(data.nodeCount(), 4);
  EXPECT_EQ(decode(data),
            (Lines{
                "node 0 up 0 state 2 icon 3 sum 0 title 1 section 2 'Test Driver' | stack",
                "node 1 up 1 state 2 icon 1 sum 1 title 1 section 0 'Test Case' @src/s.cpp:20 | "
                "push | cell top() == 3 | cell Print size | cell (x1) | cell a\nb",
                "  row 1 [1 s'Expression'] [1 s'Status'] [1 s'Executed']",
                "  row 0 [3 next] [3 s'Failed'] [3 '2']",
                "  row 3 [2 cell image next @src/s.cpp:22] [2 cell next]",
                "  row 4 [2 cell s''] [2 cell next]",
                "node 2 up 1 state 0 icon 1 sum 1 title 3 section 0 'Stub' | stub | title A "
                "title of its own",
                "node 3 up 3 state 1 icon 1 sum 1 title 2 section 0 'Invariant' | Invariant | "
                "cell n >= 0",
                "  row 0 [4 cell next @src/s.h:4] [4 s'Passed'] [4 '4']",
            }));
}

// Texts that repeat come from the string table; long ones and numbers are
// written where they stand. Notes are searchable, so they are texts.
TEST(PageData, StringTableHoldsRepeatedShortTexts) {
  const std::string longWord(60, 'L');
  std::string rows;
  for (int i = 0; i < 2; ++i)
    rows += "<ROW>\n<CELL_TEXT STYLE=\"Array\">x" + std::to_string(i) +
            "</CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\">Passed</CELL_TEXT>\n"
            "<CELL_TEXT STYLE=\"Array\">12</CELL_TEXT>\n</ROW>\n"
            "<ROW>\n<CELL_TEXT STYLE=\"Array\">y</CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\">" +
            longWord + "</CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\">3</CELL_TEXT>\n</ROW>\n"
            "<ROW>\n<CELL STYLE=\"Array\">\n</CELL>\n<CELL STYLE=\"Array\">\n<TEXT>a note</TEXT>\n"
            "</CELL>\n</ROW>\n";
  PageData data;
  feed(reportAround(driverAround("<TABLE>\n" + rows + "</TABLE>\n")), &data);
  const std::string inlineWord = "  row 0 [2 next] [2 '" + longWord + "'] [2 '3']";
  const std::string note = "  row 4 [2 cell s''] [2 cell next]";
  EXPECT_EQ(decode(data),
            (Lines{"node 0 up 0 state 1 icon 3 sum 0 title 1 section 2 'Test Driver' | stack | "
                   "cell x0 | cell y | cell a note | cell x1 | cell y | cell a note",
                   "  row 0 [2 next] [2 s'Passed'] [2 '12']", inlineWord, note,
                   "  row 0 [2 next] [2 s'Passed'] [2 '12']", inlineWord, note}));
  const std::string strings = bytesOf(data.strings());
  EXPECT_EQ(strings.find("Passed"), strings.rfind("Passed"));  // once
}

TEST(PageData, BlocksCompressOnlyWhenThatPays) {
  CompressedBlock small;
  small.append("abc");
  small.finish();
  EXPECT_FALSE(small.compressed());
  EXPECT_EQ(small.bytes(), "abc");

  CompressedBlock large;
  for (int i = 0; i < 200000; ++i) large.append("row " + std::to_string(i % 100) + ";");
  large.finish();
  EXPECT_TRUE(large.compressed());
  EXPECT_LT(large.bytes().size(), large.rawSize() / 10);
  std::string raw(large.rawSize(), '\0');
  uLongf size = raw.size();
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(&raw[0]), &size,
                       reinterpret_cast<const Bytef*>(large.bytes().data()), large.bytes().size()),
            Z_OK);
  EXPECT_EQ(raw.substr(0, 12), "row 0;row 1;");
}

TEST(PageData, Base64) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
      {std::string("\xFF\x00\xFE", 3), "/wD+"},
  };
  for (const auto& [bytes, expected] : cases) {
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    writeBase64(out, bytes);
    fclose(out);
    EXPECT_EQ(std::string(text, size), expected);
    free(text);
  }
  // Longer than one output buffer.
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  writeBase64(out, std::string(30000, 'a'));
  fclose(out);
  EXPECT_EQ(size, 40000u);
  EXPECT_EQ(std::string(text + 39996, 4), "YWFh");
  free(text);
}

}  // namespace
