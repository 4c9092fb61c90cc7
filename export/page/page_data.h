// The tree of the page as compact data for its script: numbered nodes in
// columns, a table of repeated strings, the searchable texts and the node
// details (tables, trace lines, notes), each a CompressedBlock.
//
// nodes:   u32 version (2), u32 count, then six columns of count u32 each
//          (little-endian): parent distance (id - parent id; 0 at the top),
//          flags, type string, link file string, link line, details offset.
//          flags: bits 0-1 state (0 NE, 1 ok, 2 ko), 2-3 icon (0 none,
//          1 method, 2 class, 3 testscript), 4 sum > 0, 5-6 title (0 none,
//          1 "type name", 2 "name", 3 its own text in texts), 7 linked,
//          8-10 section (0 none, 1 overview, 2 driver, 3 contracts, 4 other).
// strings: u32 count, then each string as varint length and UTF-8 bytes.
// texts:   per node "\x01" name, "\x02" own title when flags say so, then
//          "\x03" and the text of each searchable cell (the cells of a data
//          row before its status word and counts: expressions, names; the
//          cells of trace lines and notes). The script searches this one
//          text, and the nodes' links in their columns.
// details: per node from its offset: items of one byte kind:
//          1 row: role byte, varint cell count, then per cell a flags byte
//            (bits 0-2 style, 3 CELL, 4 image, 5 linked, 6 text is the next
//            searchable text, 7 text is a string) and, unless bit 6, the text
//            (varint string id, or varint length and bytes), and when linked
//            varint file string and varint line;
//          2 title: varint level, style byte, varint length and bytes,
//            linked byte, then varint file string and varint line when 1.
#pragma once

#include "export/page/compressed_block.h"
#include "export/xrd/report_reader.h"

#include <string>
#include <map>
#include <vector>

class PageData {
 public:
  // Feed the items below the node of the whole run, in order.
  // nodeStart returns the node's number: 0, 1, 2, ... in document order.
  int nodeStart(const ReportNodeInfo& node);
  void title(const ReportTitleInfo& title);
  void row(const ReportRowInfo& row);
  void nodeEnd();
  // Writes the nodes and strings blocks and ends all four.
  void finish();

  int nodeCount() const { return static_cast<int>(types_.size()); }
  const CompressedBlock& nodes() const { return nodes_; }
  const CompressedBlock& strings() const { return strings_; }
  const CompressedBlock& texts() const { return texts_; }
  const CompressedBlock& details() const { return details_; }

 private:
  uint32_t stringId(const std::string& text);
  // A cell text that is not searchable: from the string table when short
  // and repeated enough to be there, else inline.
  void appendCellText(const std::string& text, uint8_t* flags, std::string* encoded);
  void appendLink(const SourceLink& link);

  std::vector<uint32_t> parents_;  // of open nodes
  std::vector<uint32_t> parentDistance_, flags_, types_, files_, lines_, detailOffsets_;
  uint64_t detailBytes_ = 0;
  // Keyed by report text: a tree, so that no crafted set of texts can
  // make the lookups degrade as colliding hashes would.
  std::map<std::string, uint32_t, std::less<>> stringIds_;
  std::vector<const std::string*> stringsInOrder_;
  CompressedBlock nodes_;
  CompressedBlock strings_;
  CompressedBlock texts_;
  CompressedBlock details_;
  std::string scratch_;
};
