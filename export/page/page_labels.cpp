// The page's labels through Qt's translators: each text is its own
// translate() call so that lupdate finds it.
#include "export/page/page_labels.h"

#include <QCoreApplication>

namespace {

std::string tr(const char* text) {
  return QCoreApplication::translate("Page", text).toUtf8().toStdString();
}

// A JSON string: quotes, backslashes and controls escaped, and "<" too.
void appendJsonString(std::string* out, const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  out->push_back('"');
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out->push_back('\\');
      out->push_back(c);
    } else if (u < 0x20 || c == '<') {
      out->append("\\u00");
      out->push_back(kHex[u >> 4]);
      out->push_back(kHex[u & 15]);
    } else {
      out->push_back(c);
    }
  }
  out->push_back('"');
}

}  // namespace

PageLabels pageLabels() {
  PageLabels l;
  // The language code of the translation itself: "de" in the German one.
  l.language = tr("en");
  l.report = tr("Report");
  l.summary = tr("Summary");
  l.information = tr("Report information");
  l.failures = tr("Failures");
  l.noFailures = tr("No failed check and no failed object.");
  l.failedCount = tr("%1 failed");
  l.showMore = tr("Show %1 more");
  l.unlisted = tr("%1 failed verdicts that the report counts but shows in no table");
  l.testObjects = tr("Test objects");
  l.search = tr("Search names, expressions, file:line and notes");
  l.failuresOnly = tr("Failures only");
  l.notExecutedOnly = tr("Not executed only");
  l.expandAll = tr("Expand all");
  l.collapseAll = tr("Collapse all");
  l.skipToTree = tr("Skip to the test objects");
  l.controls = tr("Tree controls");
  l.noScript = tr("The tree of test objects needs JavaScript.");
  l.bar = tr("%1 passed, %2 inconclusive, %3 failed");
  l.notExecuted = tr("not executed");
  l.passed = tr("passed");
  l.failed = tr("failed");
  l.tally = tr("%1 failed of %2 verdicts");
  l.link = tr("Link to this node");
  l.nodes = tr("%1 nodes");
  l.matches = tr("%1 matches");
  l.shown = tr("%1 shown");
  l.matchOf = tr("%1 of %2");
  l.printEnd = tr("The print view ends after %1 of %2 objects.");
  l.cannotShow = tr("The tree cannot be shown: this browser could not unpack the page's data (%1).");
  return l;
}

std::string fill(const std::string& text, long long a, long long b, long long c) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '3') {
      const char k = text[++i];
      out += std::to_string(k == '1' ? a : k == '2' ? b : c);
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string scriptLabelsJson(const PageLabels& l) {
  const std::pair<const char*, const std::string*> fields[] = {
      {"tally", &l.tally},     {"link", &l.link},       {"nodes", &l.nodes},
      {"matches", &l.matches}, {"shown", &l.shown},     {"matchOf", &l.matchOf},
      {"printEnd", &l.printEnd}, {"cannotShow", &l.cannotShow}};
  std::string json = "{\"states\":[";
  appendJsonString(&json, l.notExecuted);
  json += ',';
  appendJsonString(&json, l.passed);
  json += ',';
  appendJsonString(&json, l.failed);
  json += ']';
  for (const auto& field : fields) {
    json += ",\"";
    json += field.first;
    json += "\":";
    appendJsonString(&json, *field.second);
  }
  json += '}';
  return json;
}
