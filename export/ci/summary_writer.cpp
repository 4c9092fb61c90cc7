// The summary writer: one line per failed check or failed object, at most
// the first N kept (the rest only counted), then the totals. Everything is
// written only once the report was read to its end, so a broken report
// prints nothing but its error line.
//
//   src/stack.h:25: error: state chart violation: Open (1 multiple exits, 0 illegal exits) [Contracts > Door > State Chart Violations]
//   and 3 more
//   Passed 6, Inconclusive 2, Failed 1, Total 9
#include "export/ci/summary_writer.h"

#include "export/ci/verdict_accounting.h"
#include "export/xrd/test_objects.h"
#include "support/decimal.h"

#include <algorithm>
#include <cstring>
#include <vector>

const char* const kSeverityWords[] = {"error", "warning", "note"};

namespace {

const char kBold[] = "\x1b[1m";
const char kRed[] = "\x1b[1;31m";
const char kGreen[] = "\x1b[32m";
const char kYellow[] = "\x1b[33m";
const char kReset[] = "\x1b[0m";

std::string paint(const std::string& text, const char* colour, bool on) {
  return on ? colour + text + kReset : text;
}

const char kHiddenViolation[] = ": an observation state left by an illegal or a multiple exit";

}  // namespace

// Workflow command escaping of a text already made one line: data and,
// with properties, ":" and "," too.
std::string githubEscaped(const std::string& text, bool property) {
  std::string out;
  for (const char c : text) {
    if (c == '%') out += "%25";
    else if (property && c == ':') out += "%3A";
    else if (property && c == ',') out += "%2C";
    else out += c;
  }
  return out;
}

// Markdown table cell text: the characters that start emphasis, code,
// links, HTML, entities, math or a new column are escaped; bare URLs and
// @mentions get a zero width space, so that they link nothing and notify
// nobody.
std::string markdownEscaped(const std::string& text) {
  static const char kZeroWidthSpace[] = "\xE2\x80\x8B";
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\0' && strchr("\\`*_~[]<>|&$", c)) {
      out += {'\\', c};
    } else {
      out += c;
      if (c == '@' || (c == ':' && text.compare(i + 1, 2, "//") == 0) ||
          (c == '.' && i >= 3 && text.compare(i - 3, 3, "www") == 0))
        out += kZeroWidthSpace;
    }
  }
  return out;
}

namespace {

// GitHub's runner takes a line for a command ("::error") when it begins with
// "::" once white space is trimmed, non-ASCII white space too (U+00A0,
// U+2028, ...), and its comparison passes over ignorable characters
// (U+200B, ...): a name beginning with a space, or reaching ':' past spaces
// and non-ASCII characters only, could begin such a line.
bool beginsLikeCommand(const std::string& name) {
  const auto first = std::find_if(name.begin(), name.end(), [](char c) {
    return c != ' ' && static_cast<unsigned char>(c) < 0x80;
  });
  return !name.empty() && (name[0] == ' ' || (first != name.end() && *first == ':'));
}

}  // namespace

std::string placeText(const SourceLink& link) {
  std::string prefix = locationPrefix(link);
  if (!prefix.empty()) prefix.resize(prefix.size() - 2);  // without ": "
  // A plain line never begins with report text that a CI log reads as a
  // command: such a relative name gets "./".
  if (beginsLikeCommand(prefix)) prefix.insert(0, "./");
  return prefix;
}

std::vector<FailureLine> failureLines(const TestObject& object) {
  std::vector<FailureLine> lines;
  const std::string path = singleLine(joinedPath(object.path));
  auto add = [&](const SourceLink& location, const char* what, const std::string& detail) {
    lines.push_back({location, what, singleLine(detail), path});
  };
  if (object.kind == ObjectHiddenStateChart) {
    add(object.location, "state chart violation", object.title + kHiddenViolation);
    return lines;
  }
  if (object.checks.empty()) add(object.location, "failed", object.title);
  for (const FailedCheck& check : object.checks) {
    if (object.kind == ObjectStateChart)
      add(check.link, "state chart violation", check.expression + " " + checkCounts(check, object.kind));
    else
      add(check.link, "check failed", check.expression);
  }
  return lines;
}

void SummaryBuilder::add(FailureLine line, int64_t object, size_t index) {
  if (count_++ >= keep_) return;
  lines_.push_back(std::move(line));
  origins_.push_back({object, index});
}

void SummaryBuilder::possibleViolation(const TestObject& object) {
  if (possibleCount_++ < keep_)
    possible_.push_back({object.location, "state chart violation",
                         singleLine(object.title + kHiddenViolation),
                         singleLine(joinedPath(object.path)), SeverityError});
}

// Failed verdicts that the report counts but lists in no table: the
// classes that may hold one when their number matches, else lines of the
// suite "unlisted" (as the JUnit export writes them), each kept line one
// of at most the report's nodes and rows.
bool SummaryBuilder::account(ReportErrorInfo* error) {
  VerdictCounts objects;
  objects.failed = failedObjects_;
  // Stubs never called pass, other objects not executed are inconclusive:
  // only their sum is certain here.
  objects.passed = std::min(otherObjects_, std::max<int64_t>(totals_.passed, 0));
  objects.inconclusive = otherObjects_ - objects.passed;
  VerdictAccount result;
  if (!accountVerdicts(totals_, objects, capacity_, &result, error)) return false;
  const int64_t unlisted = result.unlisted.failed;
  if (unlisted > 0 && unlisted == possibleCount_) {
    for (FailureLine& line : possible_) add(std::move(line), -1, 0);
    count_ += possibleCount_ - static_cast<int64_t>(possible_.size());
    return true;
  }
  const int64_t shown = std::max<int64_t>(0, std::min(unlisted, keep_ - count_));
  for (int64_t i = 0; i < shown; ++i)
    add({SourceLink(), "failed", "a verdict that the report counts but lists in no table",
         "unlisted", SeverityError}, -1, 0);
  count_ += unlisted - shown;
  return true;
}

void SummaryBuilder::object(const TestObject& object) {
  if (object.state != StatusFailed) {
    ++otherObjects_;
    return;
  }
  const int64_t index = failedObjects_++;
  std::vector<FailureLine> lines = failureLines(object);
  for (size_t i = 0; i < lines.size(); ++i) add(std::move(lines[i]), index, i);
}

std::string totalsLine(const VerdictTotals& t, bool colour) {
  const std::string passed = "Passed " + std::to_string(t.passed);
  const std::string inconclusive = "Inconclusive " + std::to_string(t.inconclusive);
  const std::string failed = "Failed " + std::to_string(t.failed);
  return paint(passed, kGreen, colour && t.passed > 0) + ", " +
         paint(inconclusive, kYellow, colour && t.inconclusive > 0) + ", " +
         paint(failed, kRed, colour && t.failed > 0) + ", Total " + std::to_string(t.total) +
         "\n";
}

std::string plainLine(const FailureLine& line, bool colour) {
  const std::string place = placeText(line.location);
  const char* const colours[] = {kRed, kYellow, kBold};
  return runnerInert(
      (place.empty() ? "" : paint(place + ":", kBold, colour) + " ") +
      paint(std::string(kSeverityWords[line.severity]) + ":", colours[line.severity], colour) +
      " " + line.what + ": " + line.detail + " [" + line.path + "]\n");
}

std::string githubLine(const FailureLine& line) {
  static const char* const kCommands[] = {"::error ", "::warning ", "::notice "};
  std::string text = kCommands[line.severity];
  const std::string place = placeText(line.location);
  if (!place.empty())
    text += "file=" + githubEscaped(singleLine(line.location.file), true) +
            (line.location.line == 0 ? std::string() : ",line=" + std::to_string(line.location.line)) +
            ",";
  const std::string message =
      line.what == std::string("check failed") ? line.detail : line.what + ": " + line.detail;
  return runnerInert(text + "title=" + githubEscaped(line.path, true) + "::" +
                     githubEscaped(message, false) + "\n");
}

std::string SummaryBuilder::markdown() const {
  const ReportTotals& t = totals_;
  std::string md = "### " + markdownEscaped(singleLine(title_)) + "\n\n";
  md += "| Passed | Inconclusive | Failed | Total |\n|---:|---:|---:|---:|\n";
  md += "| " + std::to_string(t.passed) + " | " + std::to_string(t.inconclusive) + " | " +
        std::to_string(t.failed) + " | " + std::to_string(t.total) + " |\n";
  if (count_ > 0) {
    md += "\n| Failure | Location | Test |\n|---|---|---|\n";
    for (const FailureLine& line : lines_)
      md += "| " + markdownEscaped(line.what + ": " + line.detail) + " | " +
            markdownEscaped(placeText(line.location)) + " | " + markdownEscaped(line.path) + " |\n";
    const int64_t more = count_ - static_cast<int64_t>(lines_.size());
    if (more > 0) md += "\nand " + std::to_string(more) + " more\n";
  }
  return md + "\n";
}

bool SummaryBuilder::finish(const SummaryOptions& options, SummaryOutput* output,
                            ReportErrorInfo* error) {
  if (!account(error)) return false;
  // The gate's marks, now that the history judged the objects.
  const RunDiff* history = options.history;
  for (size_t k = 0; history && k < lines_.size(); ++k) {
    const int64_t object = origins_[k].first;
    if (object < 0 || static_cast<size_t>(object) >= history->failed.size()) continue;
    const std::string mark = failureMark(history->failed[object], origins_[k].second);
    if (!mark.empty()) lines_[k].what = mark + ": " + lines_[k].what;
  }
  if (!options.part.empty())
    for (FailureLine& line : lines_) line.path = options.part + " > " + line.path;
  const bool colour = options.colour && options.format == SummaryPlain;
  for (const FailureLine& line : lines_)
    output->text += options.format == SummaryGithub ? githubLine(line) : plainLine(line, colour);
  const int64_t more = count_ - static_cast<int64_t>(lines_.size());
  if (more > 0) output->text += "and " + std::to_string(more) + " more\n";
  output->text += (options.part.empty() ? "" : options.part + ": ") + totalsLine(totals_, colour) +
                  options.changes;
  if (options.format == SummaryGithub) output->markdown = markdown();
  output->failedVerdict = totals_.failed > 0 || count_ > 0;
  return true;
}

bool writeSummary(ReportReader& reader, const SummaryOptions& options, SummaryOutput* output,
                  ReportErrorInfo* error) {
  SummaryBuilder builder(options.maxFailures);
  if (!readTestObjects(reader, builder)) {
    *error = reader.error();
    return false;
  }
  return builder.finish(options, output, error);
}
