// The page writer: gathers the markup parts and the tree's data as the
// report streams, then writes the page.
//
//   <!DOCTYPE html>
//   <html lang="en"><head><meta charset="utf-8">
//   <meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'sha256-...'">
//   <title>Component testing C++ report – report.xrd</title><style>...</style></head>
//   <body><header>...</header><section id="summary">...</section>
//   <section id="information">...</section><section id="failures">...</section>
//   <section id="objects">controls, <div id="tree"></section>
//   <script type="application/json" id="data-labels">{"states":["not executed",...]}</script>
//   <script type="application/octet-stream" id="data-nodes" data-encoding="deflate">eJzt...</script>
//   ... data-strings, data-texts, data-details, data-failures, with a run
//   history data-badges (page_badges.h) ...
//   <script>the page's script</script>
//   </body></html>
//
// The policy allows nothing but the page's own style and script by their
// hashes: no network load, and no markup that a report text might smuggle
// in can run. The data blocks are base64 or JSON without "<", not script;
// each is one writeDataBlock call, so one more is one more line.
#include "export/page/page_writer.h"

#include "export/page/page_assets.h"
#include "support/output_file.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <cstring>

namespace {

// The CSP source of an inline element's text: 'sha256-<base64>'.
std::string hashSource(const char* text) {
  const QByteArray digest =
      QCryptographicHash::hash(QByteArray::fromRawData(text, static_cast<int>(strlen(text))),
                               QCryptographicHash::Sha256);
  return "'sha256-" + digest.toBase64().toStdString() + "'";
}


void writeBlock(FILE* out, const char* id, const CompressedBlock& block) {
  put(out, std::string("<script type=\"application/octet-stream\" id=\"") + id +
               "\" data-encoding=\"" + (block.compressed() ? "deflate" : "raw") + "\" data-size=\"" +
               std::to_string(block.rawSize()) + "\">");
  writeBase64(out, block.bytes());
  put(out, "</script>\n");
}

void writeJsonBlock(FILE* out, const char* id, const std::string& json) {
  put(out, std::string("<script type=\"application/json\" id=\"") + id + "\">");
  put(out, json);
  put(out, "</script>\n");
}

}  // namespace

void PageBuilder::FailureList::object(const TestObject& object) {
  if (object.state == StatusFailed) markup_.failure(object, suite_, nodeOffset);
}

void PageBuilder::beginPart(const std::string& name) {
  part_ = name;
  partPending_ = true;
  partTotals_ = ReportTotals();
  markup_.part(name);
  failures_.nodeOffset = data_.nodeCount() + 1;
}

void PageBuilder::endPart() {
  openPart();
  data_.nodeEnd();
  partOpen_ = false;
}

// The part's node: its name, the state of its totals.
void PageBuilder::openPart() {
  if (!partPending_) return;
  partPending_ = false;
  ReportNodeInfo node;
  node.name = part_;
  node.type = labels_.part;
  node.state = partTotals_.failed > 0 ? StatusFailed : partTotals_.passed > 0 ? StatusPassed : StatusNotExecuted;
  data_.nodeStart(node);
  partOpen_ = true;
}

PageBuilder::PageBuilder(const PageLabels& labels)
    : labels_(labels), markup_(labels), failures_(markup_) {}

void PageBuilder::item(const ReportReader& reader, ReportItemKind kind) {
  const bool overview = reader.depth() == 0;
  switch (kind) {
    case ReportDocument:
      markup_.document(reader.document());
      break;
    case ReportNodeStart:
      if (overview) {
        markup_.reportTitle(reader.node().title);
      } else {
        openPart();
        data_.nodeStart(reader.node());
      }
      break;
    case ReportTitle:
      if (overview) markup_.informationTitle(reader.title());
      else data_.title(reader.title());
      break;
    case ReportSummary:
      markup_.summary(reader.summary());
      failedVerdict_ = failedVerdict_ || reader.summary().failed > 0;
      partTotals_ = reader.summary();
      break;
    case ReportTableStart:
      if (overview) markup_.informationTableStart();
      break;
    case ReportRow:
      if (overview) markup_.informationRow(reader.row());
      else data_.row(reader.row());
      break;
    case ReportTableEnd:
      if (overview) markup_.informationTableEnd();
      break;
    case ReportNodeEnd:
      if (!overview) data_.nodeEnd();
      break;
    default:
      break;
  }
}

void PageBuilder::write(FILE* out, const PageHistory& history) {
  data_.finish();
  put(out, "<!DOCTYPE html>\n<html lang=\"");
  std::string language;
  appendEscapedHtml(&language, labels_.language);
  put(out, language);
  put(out, "\">\n<head>\n<meta charset=\"utf-8\">\n");
  put(out, "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src " +
               hashSource(kEmbedded_page_css) + "; script-src " + hashSource(kEmbedded_page_js) +
               "; base-uri 'none'; form-action 'none'\">\n");
  put(out, "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n");
  put(out, "<title>" + markup_.pageTitle() + "</title>\n<style>");
  put(out, kEmbedded_page_css);
  put(out, "</style>\n</head>\n<body>\n");
  put(out, markup_.body(history));
  put(out, markup_.treeSection());
  writeJsonBlock(out, "data-labels", scriptLabelsJson(labels_));
  writeBlock(out, "data-nodes", data_.nodes());
  writeBlock(out, "data-strings", data_.strings());
  writeBlock(out, "data-texts", data_.texts());
  writeBlock(out, "data-details", data_.details());
  CompressedBlock moreFailures;
  moreFailures.append(markup_.moreFailures());
  moreFailures.finish();
  writeBlock(out, "data-failures", moreFailures);
  // Only a page with a run history has badges, and then their block.
  if (!history.badges.empty()) {
    CompressedBlock badges;
    writeBadges(history.badges, &badges);
    writeBlock(out, "data-badges", badges);
  }
  put(out, "<script>");
  put(out, kEmbedded_page_js);
  put(out, "</script>\n</body>\n</html>\n");
}

bool writePage(ReportReader& reader, const PageLabels& labels, FILE* out, bool* failedVerdict) {
  PageBuilder page(labels);
  if (!readTestObjects(reader, page.objects(),
                       [&](const ReportReader& r, ReportItemKind kind) { page.item(r, kind); }))
    return false;
  *failedVerdict = page.failedVerdict();
  page.write(out, PageHistory());
  return true;
}
