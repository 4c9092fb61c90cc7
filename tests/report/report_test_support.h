// Helpers shared by the report header, contracts and document tests.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <string>

// A stream that writes into memory; text() closes it and returns the bytes.
class MemoryFile {
 public:
  MemoryFile() : file_(open_memstream(&data_, &size_)) {}
  ~MemoryFile() {
    if (file_) fclose(file_);
    free(data_);
  }
  FILE* get() const { return file_; }
  std::string text() {
    if (file_) fclose(file_);
    file_ = nullptr;
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  FILE* file_;
};

inline void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  file.open(QIODevice::WriteOnly | QIODevice::Truncate);
  file.write(bytes);
}

inline std::string readBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll().toStdString();
}
