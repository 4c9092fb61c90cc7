// The whole run in one process over any bytes. Input parts (cut at
// "\n@@\n"): a symbol file, the trace file, the header text file, the
// project information file, the report file name and up to four more
// symbol files; missing parts are left out of the run. The report must be
// written and well-formed, by the small checker the hostile tests use and by
// libxml2 alike, and read back with its own symbol files it must match them
// item for item.
#include "fuzz_support.h"

#include "export/ots/check_lines.h"
#include "export/xrd/report_reader.h"
#include "model/model.h"
#include "model/status.h"
#include "readers/readers.h"
#include "report/report.h"

#include <libxml/parser.h>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

constexpr size_t kMaxSymbolFiles = 5;

// A file name in the scratch folder made of the part's bytes: no folder
// separators or NUL bytes, at most 200 bytes, apart from the input files.
std::string reportName(std::string_view part) {
  std::string name = "r-" + std::string(part.substr(0, 200));
  for (char& c : name)
    if (c == '/' || c == '\0') c = '_';
  return name;
}

bool libxmlAccepts(const std::string& document) {
  xmlParserCtxtPtr context = xmlNewParserCtxt();
  xmlDocPtr doc = xmlCtxtReadMemory(context, document.data(), static_cast<int>(document.size()),
                                    "report", nullptr,
                                    XML_PARSE_HUGE | XML_PARSE_NONET | XML_PARSE_NOERROR |
                                        XML_PARSE_NOWARNING);
  bool wellFormed = doc && context->wellFormed;
  xmlFreeDoc(doc);
  xmlFreeParserCtxt(context);
  return wellFormed;
}

// Every check row of the report gets its line from the symbol files it was
// written from: they never part.
void checkSymbolFilesMatch(const std::string& report, const std::vector<std::string>& symbols) {
  auto lines = std::make_unique<CheckLines>();
  std::string error;
  if (!lines->read(symbols, &error)) {
    fprintf(stderr, "symbol files not read again: %s\n", error.c_str());
    abort();
  }
  ReportReader reader;
  if (!reader.open(report.c_str())) abort();
  reader.setAnnotator(std::move(lines));
  ReportItemKind item;
  while ((item = reader.next()) != ReportEnd && item != ReportFailed) {}
  if (item == ReportFailed) {
    fprintf(stderr, "report and its symbol files part at %lld:%lld: %s\n",
            static_cast<long long>(reader.error().line),
            static_cast<long long>(reader.error().column), reader.error().message.c_str());
    abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  startApplication(argc, argv);
  xmlInitParser();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string trace = scratchPath("run.tdf");
  static const std::string header = scratchPath("header.txt");
  static const std::string project = scratchPath("project.txt");
  static const std::string folder = scratchPath("");
  static std::vector<std::string> symbols;
  std::vector<std::string_view> parts = splitParts(data, size);

  std::vector<std::string_view> symbolParts{parts[0]};
  for (size_t i = 5; i < parts.size() && symbolParts.size() < kMaxSymbolFiles; ++i)
    symbolParts.push_back(parts[i]);
  while (symbols.size() < symbolParts.size())
    symbols.push_back(scratchPath(("s" + std::to_string(symbols.size()) + ".ots").c_str()));
  for (size_t i = 0; i < symbolParts.size(); ++i) writeFile(symbols[i], symbolParts[i]);
  writeFile(trace, parts.size() > 1 ? parts[1] : std::string_view());
  if (parts.size() > 2) writeFile(header, parts[2]);
  if (parts.size() > 3) {
    writeFile(project, parts[3]);
    setenv("VOSK_STUDIO_HEADER_FILE", project.c_str(), 1);
  } else {
    unsetenv("VOSK_STUDIO_HEADER_FILE");
  }

  const std::string report = folder + reportName(parts.size() > 4 ? parts[4] : "");
  Model model;
  for (size_t i = 0; i < symbolParts.size(); ++i)
    if (readSymbolFile(model, symbols[i].c_str(), static_cast<int32_t>(i)) != 0) abort();
  if (readTraceFile(model, trace.c_str()) != 0) abort();
  checkModel(model, true);
  computeStatuses(model);
  checkModel(model, false);
  int failed = writeReport(model, report.c_str(), parts.size() > 2 ? header.c_str() : nullptr);
  if (failed < 0) abort();

  std::string document = readFile(report);
  checkSymbolFilesMatch(report, std::vector<std::string>(symbols.begin(),
                                                         symbols.begin() + symbolParts.size()));
  unlink(report.c_str());
  checkWellFormed(document, "report");
  if (!libxmlAccepts(document)) {
    fprintf(stderr, "libxml2 rejects a report that the checker accepts\n");
    abort();
  }
  return 0;
}
