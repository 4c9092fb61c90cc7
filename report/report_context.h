// The state of one report while it is written: the model it shows, the
// stream, the next TAG number, the project information and the line buffer
// of the header text and project information files. Every section writer
// takes it; nothing of a report outlives its writeReport call.
#pragma once

#include "model/model.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

// The project values; an absent value is nullopt, an empty one "".
struct ProjectInfo {
  std::optional<std::string> projectName;
  std::optional<std::string> projectFile;
  std::optional<std::string> testNodeName;
  std::optional<std::string> workspaceName;
  std::optional<std::string> configurationName;
};

// One line of the header text or project information file: 2046 bytes of
// text and the terminating NUL.
struct HeaderLine {
  char text[2047];
};

struct ReportContext {
  ReportContext(const Model& model, FILE* file) : model(model), file(file) {}
  ReportContext(const ReportContext&) = delete;
  ReportContext& operator=(const ReportContext&) = delete;

  const Model& model;
  FILE* file;
  int32_t tagCounter = 1;   // every TAG number: take the value, then add 1
  bool hasProject = false;  // the project information file could be read
  ProjectInfo project;
  HeaderLine line;
};

inline int32_t nextTag(ReportContext& report) { return report.tagCounter++; }
