// The output file of an export: written into a temporary file beside its
// final name and renamed over it only once everything was written, so a
// failed export leaves no file behind and never half of one. "-" names
// standard output.
//
//   OutputFile out;
//   if (!out.open("report.html", &error)) ...
//   fputs("<!DOCTYPE html>", out.stream());
//   if (!out.commit(&error)) ...   // report.html appears only here
#pragma once

#include <cstdio>
#include <string>

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // removes the temporary file unless commit() succeeded
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // False, with the system's reason in *error, when the temporary file
  // cannot be created.
  bool open(const std::string& path, std::string* error);
  FILE* stream() const { return stream_; }
  // Flushes and checks every write, then renames the temporary file to the
  // final name. False, with the reason in *error, when anything failed; the
  // temporary file is removed then.
  bool commit(std::string* error);

 private:
  void discard();

  std::string path_;
  std::string temporary_;
  FILE* stream_ = nullptr;
  bool toStandardOutput_ = false;
};

// The report's name with its extension (the part of the last path component
// from its last dot, unless that dot begins the component) replaced by the
// given one: "run/report.xrd" and ".html" give "run/report.html".
std::string replaceExtension(const std::string& path, const char* extension);

// True when both names exist and are the same file.
bool sameFile(const std::string& a, const std::string& b);
