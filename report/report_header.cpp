// The report information table, from the header text file or the project
// information file, and the test summary appended to the header text file.
//
// A header text file:
//
//   Stack component tests              free text: a one-cell title row
//   Tester=J. Doe                      key=value: a two-cell row
//   #Environment                       a new titled table
//   $PREPROCESS                        compiler version and time rows here
//   -Test summary                      content ends at the first "-" line
//   Passed=3                           (summaries of earlier runs)
//
// A project information file (VOSK_STUDIO_HEADER_FILE):
//
//   $PROJECT_NAME=Demo
//   $PROJECT_PATH=/work/proj/          project file /work/proj/Demo.vkp
//   $NAME='Stack node'                 names the document
//   $CONFIGURATION=Debug ; comment
//   $WORKSPACE_NAME=Main
#include "report/report_header.h"

#include "report/xml_writer.h"
#include "support/runtime.h"

#include <QCoreApplication>
#include <QString>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

namespace format = report_format;

namespace {

struct FileCloser {
  void operator()(FILE* file) const { fclose(file); }
};
typedef std::unique_ptr<FILE, FileCloser> FileHandle;

const char* valueOf(const std::optional<std::string>& value) {
  return value ? value->c_str() : nullptr;
}

std::optional<std::string> takeKeyValue(const char* line, const char* key) {
  char* value = extractKeyValue(line, key);
  if (!value) return std::nullopt;
  std::string text(value);
  free(value);
  return text;
}

// "<path>/<name>.vkp" with every run of "/" and "\" reduced to its first
// character. An empty path gives "<name>.vkp" rather than a rooted "/<name>".
std::string composeProjectFile(const std::string& path, const std::string& name) {
  std::string joined = path;
  if (!joined.empty() && joined.back() != '/') joined += '/';
  joined += name;
  joined += ".vkp";
  std::string collapsed;
  collapsed.reserve(joined.size());
  for (char c : joined) {
    bool separator = c == '/' || c == '\\';
    bool afterSeparator = !collapsed.empty() && (collapsed.back() == '/' || collapsed.back() == '\\');
    if (separator && afterSeparator) continue;
    collapsed += c;
  }
  return collapsed;
}

// A label or key cell and a value cell; a null value gives an empty cell.
void writeInformationRow(FILE* file, const QString& label, const char* value) {
  writeTag(file, format::kRow, false);
  writeTextCell(file, label, StylePlain);
  writeTextCell(file, value, StylePlain);
  writeTag(file, format::kRow, true);
}

// The 24-character layout of asctime ("Sun Dec  6 18:05:11 2026") with
// English names whatever the locale.
QByteArray generationTime() {
  static const char weekdays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char months[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  time_t now = time(nullptr);
  struct tm local;
  if (!localtime_r(&now, &local)) return QByteArray();
  return QString::asprintf("%s %s%3d %02d:%02d:%02d %d", weekdays[local.tm_wday],
                           months[local.tm_mon], local.tm_mday, local.tm_hour,
                           local.tm_min, local.tm_sec, local.tm_year + 1900)
      .toLatin1();
}

void writeHeaderLines(ReportContext& report, FILE* header) {
  FILE* file = report.file;
  while (const char* line = readHeaderLine(header, report.line)) {
    if (line[0] == '-') break;
    if (const char* equals = strchr(line, '=')) {
      writeInformationRow(file, QString::fromLocal8Bit(line, int(equals - line)), equals + 1);
    } else if (line[0] == '#') {
      writeTag(file, format::kTable, true);
      writeTitle(file, QString::fromLocal8Bit(line + 1), 2, StylePlain, nextTag(report));
      writeTag(file, "TABLE BORDER=\"1\"", false);
    } else if (line[0] == '$') {
      if (strcmp(line, "$PREPROCESS") == 0) writeGlobalInformation(report);
    } else {
      writeTitleRow(file, line);
    }
  }
}

// A last line without a line feed would swallow the summary's "-" marker, and
// the next run would show the old summary as rows; end that line first.
bool endsWithLineFeed(FILE* header) {
  if (fseek(header, -1, SEEK_END) != 0) return true;  // empty file
  return getc(header) == '\n';
}

}  // namespace

// A file that cannot be opened for appending (a folder, a file without write
// permission) gets no summary, as one that cannot be read gets no rows.
bool appendTestSummary(const char* headerPath, const HeaderSummary& summary, int32_t passed,
                       int32_t failed, int32_t notExecuted) {
  if (!summary.due) return true;
  FILE* header = fopen(headerPath, "a");
  if (!header) return true;
  const int32_t values[] = {passed, notExecuted, failed, passed + failed + notExecuted};
  bool written =
      fprintf(header, "%s%s\n", summary.needsLineFeed ? "\n" : "", format::kTestSummary) > 0;
  for (int i = 0; i < 4; ++i)
    written = written && fprintf(header, "%s%d\n", format::kTestSummaryKeys[i], values[i]) > 0;
  written = written && fflush(header) == 0 && !ferror(header);
  return fclose(header) == 0 && written;
}

bool loadProjectInfo(ReportContext& report) {
  ProjectInfo& project = report.project;
  project = ProjectInfo();
  report.hasProject = false;
  const char* path = getenv("VOSK_STUDIO_HEADER_FILE");
  if (!path) return false;
  FileHandle file(fopen(path, "r"));
  if (!file) return false;
  report.hasProject = true;

  // The first line holding a key decides that key for good, even when it
  // gives no value.
  bool seenName = false, seenPath = false, seenNode = false, seenConfig = false,
       seenWorkspace = false;
  while (!(seenName && seenPath && seenNode && seenConfig && seenWorkspace)) {
    const char* line = readHeaderLine(file.get(), report.line);
    if (!line) break;
    if (strstr(line, "$PROJECT_NAME")) {
      if (!seenName) project.projectName = takeKeyValue(line, "$PROJECT_NAME");
      seenName = true;
    } else if (strstr(line, "$PROJECT_PATH")) {
      if (!seenPath) {
        std::optional<std::string> path = takeKeyValue(line, "$PROJECT_PATH");
        if (path && project.projectName)
          project.projectFile = composeProjectFile(*path, *project.projectName);
      }
      seenPath = true;
    } else if (strstr(line, "$NAME")) {
      if (!seenNode) project.testNodeName = takeKeyValue(line, "$NAME");
      seenNode = true;
    } else if (strstr(line, "$CONFIGURATION")) {
      if (!seenConfig) project.configurationName = takeKeyValue(line, "$CONFIGURATION");
      seenConfig = true;
    } else if (strstr(line, "$WORKSPACE_NAME")) {
      if (!seenWorkspace) project.workspaceName = takeKeyValue(line, "$WORKSPACE_NAME");
      seenWorkspace = true;
    }
  }
  return true;
}

void releaseProjectInfo(ReportContext& report) {
  report.project = ProjectInfo();
  report.hasProject = false;
}

const char* readHeaderLine(FILE* file, HeaderLine& line) {
  if (!fgets(line.text, sizeof line.text, file)) return nullptr;
  // strrchr stops at the first NUL, so a NUL byte only shortens the line.
  for (char cut : {'\n', '\t', '\r'}) {
    if (char* at = strrchr(line.text, cut)) *at = '\0';
  }
  return line.text;
}

char* extractKeyValue(const char* line, const char* key) {
  if (!strstr(line, key)) return nullptr;
  const char* equals = strchr(line, '=');
  if (!equals || equals[1] == '\0') return nullptr;
  std::string value(equals + 1, strcspn(equals + 1, "\n\t;"));
  if (!value.empty() && value.front() == '\'') {
    value.erase(0, 1);
    if (!value.empty() && value.back() == '\'') value.pop_back();
  }
  size_t first = value.find_first_not_of(' ');
  value.erase(0, first == std::string::npos ? value.size() : first);
  size_t last = value.find_last_not_of(' ');
  value.resize(last == std::string::npos ? 0 : last + 1);

  char* result = static_cast<char*>(checkedMalloc(value.size() + 1));
  memcpy(result, value.c_str(), value.size() + 1);
  return result;
}

void writeTitleRow(FILE* file, const char* text) {
  writeCellStart(file, format::kRow, StyleTitle);
  fputs("<CELL_TEXT COLSPAN=\"1\" ROWSPAN=\"0\">", file);
  writeEscapedLocal(file, text);
  fputs("</CELL_TEXT></ROW>", file);
}

void writeGlobalInformation(const ReportContext& report) {
  FILE* file = report.file;
  if (const char* version = report.model.compilerVersion)
    writeInformationRow(
        file, QCoreApplication::translate("VELDORA global information", "Test compiler version"),
        version);
  if (const char* compiled = report.model.compilationTime) {
    writeInformationRow(
        file, QCoreApplication::translate("VELDORA global information", "Test compilation time"),
        compiled);
  } else {
    writeInformationRow(
        file, QCoreApplication::translate("VELDORA global information", "Report Generation Time"),
        generationTime().constData());
  }
}

HeaderSummary writeReportInformation(ReportContext& report, const char* headerPath,
                                     const char* reportPath) {
  FILE* file = report.file;
  if (headerPath) {
    // A header text file that cannot be read gives no rows and no summary.
    FileHandle header(fopen(headerPath, "r"));
    if (!header) return HeaderSummary();
    writeHeaderLines(report, header.get());
    HeaderSummary summary;
    summary.due = true;
    summary.needsLineFeed = !endsWithLineFeed(header.get());
    return summary;
  }
  if (!report.hasProject) return HeaderSummary();
  const ProjectInfo& project = report.project;
  writeInformationRow(file, QCoreApplication::translate("VELDORA global information", "Project"),
                      valueOf(project.projectName));
  writeInformationRow(
      file, QCoreApplication::translate("VELDORA global information", "Project File"),
      valueOf(project.projectFile));
  writeInformationRow(
      file, QCoreApplication::translate("VELDORA global information", "Project Configuration"),
      valueOf(project.configurationName));
  writeInformationRow(
      file, QCoreApplication::translate("VELDORA global information", "Workspace"),
      valueOf(project.workspaceName));
  writeInformationRow(
      file, QCoreApplication::translate("VELDORA global information", "Test Node"),
      valueOf(project.testNodeName));
  writeInformationRow(
      file, QCoreApplication::translate("VELDORA global information", "Report File"), reportPath);
  writeGlobalInformation(report);
  return HeaderSummary();
}
