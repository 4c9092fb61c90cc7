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
  l.history = label(QT_TRANSLATE_NOOP("Page", "History"));
  l.trendChart = label(QT_TRANSLATE_NOOP("Page", "Passed, inconclusive and failed of the last %1 runs, oldest first"));
  l.trendRuns = label(QT_TRANSLATE_NOOP("Page", "%1 runs, from %2 to %3; each column's title gives its run and totals."));
  l.runTotals = label(QT_TRANSLATE_NOOP("Page", "Passed %1, Inconclusive %2, Failed %3, Total %4"));
  l.run = label(QT_TRANSLATE_NOOP("Page", "run %1"));
  l.thisReport = label(QT_TRANSLATE_NOOP("Page", "this report"));
  l.newFailures = label(QT_TRANSLATE_NOOP("Page", "New failures"));
  l.noNewFailure = label(QT_TRANSLATE_NOOP("Page", "No new failure against %1."));
  l.emptyHistory = label(QT_TRANSLATE_NOOP("Page", "an empty history"));
  l.againstHistory = label(QT_TRANSLATE_NOOP("Page", "Failures against the history"));
  l.test = label(QT_TRANSLATE_NOOP("Page", "Test"));
  l.since = label(QT_TRANSLATE_NOOP("Page", "Since"));
  l.lastRuns = label(QT_TRANSLATE_NOOP("Page", "Last runs"));
  l.badgeNew = label(QT_TRANSLATE_NOOP("Page", "new"));
  l.badgeFlaky = label(QT_TRANSLATE_NOOP("Page", "flaky"));
  l.badgeQuarantined = label(QT_TRANSLATE_NOOP("Page", "quarantined"));
  l.failingSince = label(QT_TRANSLATE_NOOP("Page", "failing since %1"));
  l.strip = label(QT_TRANSLATE_NOOP("Page", "Last %1 runs, oldest first: %2"));
  l.notInRun = label(QT_TRANSLATE_NOOP("Page", "not in the run"));
  l.noHeaderSummary = label(QT_TRANSLATE_NOOP("Page", "The header text file holds no test summary."));
  l.gate = label(QT_TRANSLATE_NOOP("Page", "New %1, Lost %2, Flaky %3, Quarantined %4, Fixed %5, Still failing %6, Added %7, Removed %8"));
  l.lost = label(QT_TRANSLATE_NOOP("Page", "No longer executed"));
  l.runsNamed = label(QT_TRANSLATE_NOOP("Page", "The runs named above: %1."));
  l.part = label(QT_TRANSLATE_NOOP("Page", "Part"));
  return l;
}

std::string fill(const std::string& text, long long a, long long b, long long c) {
  return fillText(text, {std::to_string(a), std::to_string(b), std::to_string(c)});
}

std::string fillText(const std::string& text, const std::vector<std::string>& values) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t k = i + 1 < text.size() ? static_cast<size_t>(text[i + 1] - '1') : values.size();
    if (text[i] == '%' && k < values.size() && k < 9) {
      out += values[k];
      ++i;
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
      {"printEnd", &l.printEnd}, {"cannotShow", &l.cannotShow}, {"badgeNew", &l.badgeNew},
      {"badgeFlaky", &l.badgeFlaky}, {"badgeQuarantined", &l.badgeQuarantined},
      {"failingSince", &l.failingSince}, {"strip", &l.strip},
      {"notInRun", &l.notInRun}};
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
