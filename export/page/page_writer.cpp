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
//   <script type="application/octet-stream" id="data-nodes" data-encoding="deflate">eJzt...</script>
//   ... data-strings, data-texts, data-details ...
//   <script>the page's script</script>
//   </body></html>
//
// The policy allows nothing but the page's own style and script by their
// hashes: no network load, and no markup that a report text might smuggle
// in can run. The data blocks are base64 (which holds no "<"), not script.
#include "export/page/page_writer.h"

#include "export/command_line.h"
#include "export/xrd/failures.h"
#include "support/output_file.h"
#include "export/page_assets.h"
#include "export/history/background_task.h"
#include "export/page/history_markup.h"
#include "export/page/page_data.h"
#include "export/page/page_markup.h"

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


const char kTreeSection[] =
    "<section id=\"objects\" aria-label=\"Test objects\">\n<h2>Test objects</h2>\n"
    "<div class=\"controls\">"
    "<input type=\"search\" id=\"search\" placeholder=\"Search names and check expressions\" "
    "aria-label=\"Search names and check expressions\" autocomplete=\"off\">"
    "<label><input type=\"checkbox\" id=\"failures-only\"> Failures only</label>"
    "<button type=\"button\" id=\"expand-all\">Expand all</button>"
    "<button type=\"button\" id=\"collapse-all\">Collapse all</button>"
    "<span class=\"status\" id=\"status\" role=\"status\"></span></div>\n"
    "<div id=\"tree\" role=\"tree\" tabindex=\"0\" aria-label=\"Test objects\">"
    "<div class=\"spacer\"></div></div>\n"
    "<noscript><p class=\"noscript\">The tree of test objects needs JavaScript.</p></noscript>\n"
    "<div id=\"print\"></div>\n</section>\n";

void writeBlock(FILE* out, const char* id, const CompressedBlock& block) {
  put(out, std::string("<script type=\"application/octet-stream\" id=\"") + id +
               "\" data-encoding=\"" + (block.compressed() ? "deflate" : "raw") + "\" data-size=\"" +
               std::to_string(block.rawSize()) + "\">");
  writeBase64(out, block.bytes());
  put(out, "</script>\n");
}

}  // namespace

bool writePage(ReportReader& reader, FILE* out, bool* failedVerdict,
               const std::function<std::string()>& history) {
  PageMarkup markup;
  FailureCollector failures;
  PageData data;
  for (;;) {
    const ReportItemKind kind = reader.next();
    if (kind == ReportFailed) return false;
    if (kind == ReportEnd) break;
    const bool overview = reader.depth() == 0;
    switch (kind) {
      case ReportDocument:
        markup.document(reader.document());
        break;
      case ReportNodeStart:
        if (overview) {
          markup.reportTitle(reader.node().title);
        } else {
          failures.nodeStart(data.nodeStart(reader.node()), reader.node());
        }
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
        else failures.tableStart();
        break;
      case ReportRow:
        if (overview) markup.informationRow(reader.row());
        else {
          failures.row(reader.row());
          data.row(reader.row());
        }
        break;
      case ReportTableEnd:
        if (overview) markup.informationTableEnd();
        break;
      case ReportNodeEnd:
        if (!overview) {
          failures.nodeEnd();
          data.nodeEnd();
        }
        break;
      default:
        break;
    }
    if (failures.ready()) markup.failure(failures.failure());
  }
  *failedVerdict = reader.summary().failed > 0;
  data.finish();

  put(out, "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n");
  put(out, "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src " +
               hashSource(kEmbedded_page_css) + "; script-src " + hashSource(kEmbedded_page_js) +
               "; base-uri 'none'; form-action 'none'\">\n");
  put(out, "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n");
  put(out, "<title>" + markup.pageTitle() + "</title>\n<style>");
  put(out, kEmbedded_page_css);
  put(out, "</style>\n</head>\n<body>\n");
  put(out, markup.body(history ? history() : std::string()));
  put(out, kTreeSection);
  writeBlock(out, "data-nodes", data.nodes());
  writeBlock(out, "data-strings", data.strings());
  writeBlock(out, "data-texts", data.texts());
  writeBlock(out, "data-details", data.details());
  put(out, "<script>");
  put(out, kEmbedded_page_js);
  put(out, "</script>\n</body>\n</html>\n");
  return true;
}

int runHtmlCommand(int argc, char** argv) {
  PageHistoryOptions historyOptions;
  if (!takePageHistoryOptions(&argc, argv, &historyOptions)) return ExitBroken;
  ReportAndOutput args;
  if (!parseReportAndOutput(argc, argv, "html", ".html", &args)) return ExitBroken;
  // The history's part reads the report beside the page's reading.
  std::string history, historyError;
  bool historyRead = false;
  BackgroundTask historyTask([&] {
    historyRead = pageHistorySection(args.report, args.sourceRoot, historyOptions, &history, &historyError);
  });
  ReportReader reader;
  OutputFile output;
  if (!openReportAndOutput(args, reader, output)) return ExitBroken;
  bool failedVerdict = false;
  auto historyMarkup = [&] {
    historyTask.join();
    return history;
  };
  if (!writePage(reader, output.file(), &failedVerdict, historyMarkup)) {
    printReportError(args.report, reader.error());
    return ExitBroken;
  }
  historyTask.join();
  if (!historyRead) {
    printErrorLine(historyError);
    return ExitBroken;
  }
  return finishOutput(args, output, failedVerdict);
}
