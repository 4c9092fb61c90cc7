// The page writer: reads the report once, gathering the markup parts, then
// writes the page.
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

#include "export/page_assets.h"
#include "export/page/page_data.h"
#include "export/page/page_markup.h"
#include "export/xrd/test_objects.h"
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

// The failed test objects, as summary and junit count them, into the
// failures list, grouped by their suite (driver or contracts).
class FailureList : public TestObjectVisitor {
 public:
  explicit FailureList(PageMarkup& markup) : markup_(markup) {}
  void suiteStart(const TestSuiteInfo&) override { ++suite_; }
  void object(const TestObject& object) override {
    if (object.state == StateFailed) markup_.failure(object, suite_);
  }

 private:
  PageMarkup& markup_;
  int suite_ = 0;
};

// Reads the report into the page's markup (the overview, the failures) and
// data (the tree); false when the report breaks off.
bool readReport(ReportReader& reader, PageMarkup& markup, PageData& data) {
  FailureList failures(markup);
  TestObjectStream objects(failures);
  for (;;) {
    const ReportItemKind kind = reader.next();
    if (kind == ReportFailed) return false;
    if (kind == ReportEnd) return true;
    objects.item(reader, kind);
    const bool overview = reader.depth() == 0;
    switch (kind) {
      case ReportDocument:
        markup.document(reader.document());
        break;
      case ReportNodeStart:
        if (overview) markup.reportTitle(reader.node().title);
        else data.nodeStart(reader.node());
        break;
      case ReportTitle:
        if (overview) markup.informationTitle(reader.title());
        else data.title(reader.title());
        break;
      case ReportSummary:
        markup.summary(reader.summary());
        break;
      case ReportTableStart:
        if (overview) markup.informationTableStart();
        break;
      case ReportRow:
        if (overview) markup.informationRow(reader.row());
        else data.row(reader.row());
        break;
      case ReportTableEnd:
        if (overview) markup.informationTableEnd();
        break;
      case ReportNodeEnd:
        if (!overview) data.nodeEnd();
        break;
      default:
        break;
    }
  }
}

}  // namespace

bool writePage(ReportReader& reader, const PageLabels& labels, FILE* out, bool* failedVerdict,
               const std::function<PageHistory()>& history) {
  PageMarkup markup(labels);
  PageData data;
  if (!readReport(reader, markup, data)) return false;
  *failedVerdict = reader.summary().failed > 0;
  data.finish();

  put(out, "<!DOCTYPE html>\n<html lang=\"");
  std::string language;
  appendEscapedHtml(&language, labels.language);
  put(out, language);
  put(out, "\">\n<head>\n<meta charset=\"utf-8\">\n");
  put(out, "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src " +
               hashSource(kEmbedded_page_css) + "; script-src " + hashSource(kEmbedded_page_js) +
               "; base-uri 'none'; form-action 'none'\">\n");
  put(out, "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n");
  put(out, "<title>" + markup.pageTitle() + "</title>\n<style>");
  put(out, kEmbedded_page_css);
  put(out, "</style>\n</head>\n<body>\n");
  const PageHistory past = history ? history() : PageHistory();
  put(out, markup.body(past));
  put(out, markup.treeSection());
  writeJsonBlock(out, "data-labels", scriptLabelsJson(labels));
  writeBlock(out, "data-nodes", data.nodes());
  writeBlock(out, "data-strings", data.strings());
  writeBlock(out, "data-texts", data.texts());
  writeBlock(out, "data-details", data.details());
  CompressedBlock moreFailures;
  moreFailures.append(markup.moreFailures());
  moreFailures.finish();
  writeBlock(out, "data-failures", moreFailures);
  // Only a page with a run history has badges, and then their block.
  if (!past.badges.empty()) {
    CompressedBlock badges;
    writeBadges(past.badges, &badges);
    writeBlock(out, "data-badges", badges);
  }
  put(out, "<script>");
  put(out, kEmbedded_page_js);
  put(out, "</script>\n</body>\n</html>\n");
  return true;
}
