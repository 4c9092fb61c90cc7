// The page's labels through a Qt translator: each text is marked where it
// is used, so that lupdate finds it.
#include "export/page/page_labels.h"

#include "export/page/json_text.h"

#include <QCoreApplication>
#include <QTranslator>

namespace {

class Translate {
 public:
  explicit Translate(const QTranslator& translator) : translator_(translator) {}
  std::string operator()(const char* text) const {
    const QString translated = translator_.translate("Page", text);
    return translated.isEmpty() ? std::string(text) : translated.toUtf8().toStdString();
  }

 private:
  const QTranslator& translator_;
};

}  // namespace

PageLabels pageLabels(const QTranslator& translator) {
  const Translate label(translator);
  PageLabels l;
  // The language code of the translation itself: "de" in the German one.
  l.language = label(QT_TRANSLATE_NOOP("Page", "en"));
  l.report = label(QT_TRANSLATE_NOOP("Page", "Report"));
  l.summary = label(QT_TRANSLATE_NOOP("Page", "Summary"));
  l.information = label(QT_TRANSLATE_NOOP("Page", "Report information"));
  l.failures = label(QT_TRANSLATE_NOOP("Page", "Failures"));
  l.noFailures = label(QT_TRANSLATE_NOOP("Page", "No failed check and no failed object."));
  l.failedCount = label(QT_TRANSLATE_NOOP("Page", "%1 failed"));
  l.showMore = label(QT_TRANSLATE_NOOP("Page", "Show %1 more"));
  l.unlisted = label(QT_TRANSLATE_NOOP("Page", "%1 failed verdicts that the report counts but shows in no table"));
  l.testObjects = label(QT_TRANSLATE_NOOP("Page", "Test objects"));
  l.search = label(QT_TRANSLATE_NOOP("Page", "Search names, expressions, file:line and notes"));
  l.failuresOnly = label(QT_TRANSLATE_NOOP("Page", "Failures only"));
  l.notExecutedOnly = label(QT_TRANSLATE_NOOP("Page", "Not executed only"));
  l.expandAll = label(QT_TRANSLATE_NOOP("Page", "Expand all"));
  l.collapseAll = label(QT_TRANSLATE_NOOP("Page", "Collapse all"));
  l.skipToTree = label(QT_TRANSLATE_NOOP("Page", "Skip to the test objects"));
  l.controls = label(QT_TRANSLATE_NOOP("Page", "Tree controls"));
  l.noScript = label(QT_TRANSLATE_NOOP("Page", "The tree of test objects needs JavaScript."));
  l.bar = label(QT_TRANSLATE_NOOP("Page", "%1 passed, %2 inconclusive, %3 failed"));
  l.notExecuted = label(QT_TRANSLATE_NOOP("Page", "not executed"));
  l.passed = label(QT_TRANSLATE_NOOP("Page", "passed"));
  l.failed = label(QT_TRANSLATE_NOOP("Page", "failed"));
  l.tally = label(QT_TRANSLATE_NOOP("Page", "%1 failed of %2 verdicts"));
  l.link = label(QT_TRANSLATE_NOOP("Page", "Link to this node"));
  l.nodes = label(QT_TRANSLATE_NOOP("Page", "%1 nodes"));
  l.matches = label(QT_TRANSLATE_NOOP("Page", "%1 matches"));
  l.shown = label(QT_TRANSLATE_NOOP("Page", "%1 shown"));
  l.matchOf = label(QT_TRANSLATE_NOOP("Page", "%1 of %2"));
  l.printEnd = label(QT_TRANSLATE_NOOP("Page", "The print view ends after %1 of %2 objects."));
  l.cannotShow = label(QT_TRANSLATE_NOOP("Page", "The tree cannot be shown: this browser could not unpack the page's data (%1)."));
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
