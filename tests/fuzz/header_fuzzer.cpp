// The header text file and the project information file over any bytes.
// Input parts (cut at "\n@@\n"): the header text file, the project
// information file, then optionally the compiler version and the compilation
// time texts of the global information rows. The rows written for both
// sources must form well-formed XML inside the information table, and the
// header text file must end with exactly its old bytes and one summary.
#include "fuzz_support.h"

#include "model/model_build.h"
#include "report/report_header.h"
#include "report/xml_writer.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  startApplication(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string header = scratchPath("header.txt");
  static const std::string project = scratchPath("project.txt");
  std::vector<std::string_view> parts = splitParts(data, size);
  writeFile(header, parts[0]);
  if (parts.size() > 1) {
    writeFile(project, parts[1]);
    setenv("VOSK_STUDIO_HEADER_FILE", project.c_str(), 1);
  } else {
    unsetenv("VOSK_STUDIO_HEADER_FILE");
  }
  Model model;
  if (parts.size() > 2) setCompilerVersion(model, std::string(parts[2]).c_str());
  if (parts.size() > 3) setCompilationTime(model, std::string(parts[3]).c_str());

  char* rows = nullptr;
  size_t rowsSize = 0;
  FILE* out = open_memstream(&rows, &rowsSize);
  fputs("<R><TABLE BORDER=\"1\">\n", out);
  ReportContext report(model, out);
  loadProjectInfo(report);
  HeaderSummary summary = writeReportInformation(report, header.c_str(), "out.xrd");
  if (!appendTestSummary(header.c_str(), summary, 1, 2, 3)) abort();
  if (writeReportInformation(report, nullptr, "out.xrd").due) abort();
  releaseProjectInfo(report);
  fputs("</TABLE></R>\n", out);
  fclose(out);
  checkWellFormed(std::string_view(rows, rowsSize), "information table");
  free(rows);

  std::string expected(parts[0]);
  if (!expected.empty() && expected.back() != '\n') expected += '\n';
  expected += "-Test summary\nPassed=1\nInconclusive=3\nFailed=2\nTotal=6\n";
  if (readFile(header) != expected) {
    fprintf(stderr, "header text file: the summary was not appended as expected\n");
    abort();
  }
  return 0;
}
