// Matching the report to veldora's model of the symbol files, item by item:
// the model's walk advances with the report, so the cost is one step per
// report item and nothing of the report is kept.
#include "export/ots/check_lines.h"

#include "export/xrd/failures.h"
#include "model/kinds.h"
#include "model/model_report.h"
#include "model/status.h"
#include "readers/readers.h"
#include "report/report.h"
#include "report/xml_writer.h"
#include "support/localisation.h"
#include "support/xml_escape.h"

#include <cerrno>
#include <clocale>
#include <cstring>

namespace {

const std::string kDiffer = "the symbol files do not match the report: ";

// True when the report's text is the one veldora writes for these bytes.
// Both sides are compared escaped, where they are the same bytes: the
// reader made "&#10;" a line feed, which the attribute form escapes again.
bool writtenAs(const std::string& reportText, const char* bytes) {
  std::string read;
  appendEscapedXml(&read, reportText, XmlAttribute);
  std::string written = escapedUtf8(QString::fromLocal8Bit(bytes).simplified(), ReportText);
  if (read == written) return true;
  // The reader decodes names that look encoded twice once more.
  return repairDoubleEncoding(&written) && written == read;
}

// A name of the model for a message.
std::string quoted(const char* bytes) {
  return '"' + QString::fromLocal8Bit(bytes).toStdString() + '"';
}

std::string quoted(const std::string& text) { return '"' + text + '"'; }

// The next test container of veldora's walk (as the report writer walks a
// section) and its depth in the report, or null at the section's end.
const TestNode* nextContainer(std::vector<const TestNode*>* pending, int* depth) {
  while (!pending->empty()) {
    const TestNode* child = pending->back();
    while (child && !isTestContainer(child->kind)) child = child->nextSibling;
    if (!child) {
      pending->pop_back();
      continue;
    }
    pending->back() = child->nextSibling;
    pending->push_back(child->firstChild);
    *depth = static_cast<int>(pending->size());
    return child;
  }
  return nullptr;
}

// The next child that the report gives a check row.
const TestNode* nextCheckRow(const TestNode* child) {
  while (child && (!isCheckKind(child->kind) || child->kind == KindPrint ||
                   child->kind == KindComment))
    child = child->nextSibling;
  return child;
}

}  // namespace

bool CheckLines::read(const std::vector<std::string>& files, std::string* error) {
  // Names become text with the codec that veldora used: the user's locale's.
  setlocale(LC_CTYPE, "");
  useLocaleCodec();
  for (size_t i = 0; i < files.size(); ++i) {
    errno = 0;
    if (readSymbolFile(model_, files[i].c_str(), static_cast<int32_t>(i)) != 0) {
      *error = files[i] + ": cannot read: " + (errno ? strerror(errno) : "not a readable file");
      return false;
    }
  }
  computeStatuses(model_);
  return true;
}

bool CheckLines::nodeStart(const ReportNodeInfo& node, std::string* message) {
  if (!finishChecks(message)) return false;
  container_ = nullptr;
  if (node.depth == 1) {
    if (!finishSection(message)) return false;
    inDriver_ = node.section == SectionDriver;
    if (!inDriver_) return true;
    const TestNode* root = nextDriver();
    if (!root) {
      *message = kDiffer + ("they hold no test driver for ") + quoted(node.name);
      return false;
    }
    if (!writtenAs(node.name, root->name)) {
      *message = kDiffer + ("test driver ") + quoted(node.name) + " is " +
                 quoted(root->name) + " in them";
      return false;
    }
    driverName_ = node.name;
    pending_.assign(1, root->firstChild);
    return true;
  }
  if (node.depth < 2 || !inDriver_) return true;
  int depth = 0;
  const TestNode* container = nextContainer(&pending_, &depth);
  if (!container) {
    *message = kDiffer + quoted(node.name) + " is not in them";
    return false;
  }
  const SourceLink& link = node.title.link;
  const bool sameLine = container->line <= 0 || !link.present || link.line == container->line;
  if (depth != node.depth || !sameLine || !writtenAs(node.name, container->name)) {
    *message = kDiffer + quoted(node.name) + " at line " + std::to_string(link.line) + " is " +
               quoted(container->name) + " at line " + std::to_string(container->line) +
               (depth != node.depth ? ", nested otherwise," : "") + " in them";
    return false;
  }
  container_ = container;
  nextCheck_ = hasCheckTable(container->kind) ? container->firstChild : nullptr;
  containerLink_ = link;
  return true;
}

bool CheckLines::row(ReportRowInfo* row, std::string* message) {
  // A check table without checks holds one row of the node's status alone,
  // without counts.
  if (!container_ || row->role != RowData || splitDataRow(*row).counts == 0) return true;
  const TestNode* check = nextCheckRow(nextCheck_);
  const std::string& text = row->cells[0].text;
  if (!check) {
    *message = kDiffer + "check " + quoted(text) + " is not in them";
    return false;
  }
  if (!writtenAs(text, check->name)) {
    *message = kDiffer + "check " + quoted(text) + " is " + quoted(check->name) + " in them";
    return false;
  }
  nextCheck_ = check->nextSibling;
  if (containerLink_.present && check->line > 0) {
    SourceLink& own = row->cells[0].link;
    own.present = true;
    own.file = containerLink_.file;
    own.line = check->line;
  }
  return true;
}

bool CheckLines::nodeEnd(int depth, std::string* message) {
  if (!finishChecks(message)) return false;
  container_ = nullptr;
  return depth != 1 || finishSection(message);
}

bool CheckLines::end(std::string* message) {
  if (!finishSection(message)) return false;
  const TestNode* root = nextDriver();
  if (!root) return true;
  *message = kDiffer + ("they hold test driver ") + quoted(root->name) +
             " that the report does not show";
  return false;
}

// The next tree that the report gives a driver section, or null.
const TestNode* CheckLines::nextDriver() {
  const int trees = fileTreeCount(model_);
  while (nextTree_ < trees && !hasDriverSection(fileTreeAt(model_, nextTree_))) ++nextTree_;
  return nextTree_ < trees ? fileTreeAt(model_, nextTree_++) : nullptr;
}

// Every check of the node's model must have had its row.
bool CheckLines::finishChecks(std::string* message) {
  if (!container_) return true;
  const TestNode* check = nextCheckRow(nextCheck_);
  if (!check) return true;
  *message = kDiffer + "they hold check " + quoted(check->name) + " of " +
             quoted(container_->name) + " that the report does not show";
  return false;
}

// Every container of the section's tree must have had its node.
bool CheckLines::finishSection(std::string* message) {
  if (!inDriver_) return true;
  inDriver_ = false;
  int depth = 0;
  const TestNode* container = nextContainer(&pending_, &depth);
  if (!container) return true;
  *message = kDiffer + "they hold " + quoted(container->name) + " in test driver " +
             quoted(driverName_) + " that the report does not show";
  return false;
}
