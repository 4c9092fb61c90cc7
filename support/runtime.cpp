// Checked allocation, the existence test and the last component of a path.
#include "support/runtime.h"

#include "support/diagnostics.h"

#include <QFileInfo>
#include <QString>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

void* checkedMalloc(size_t size) {
  void* block = malloc(size);
  if (!block && size != 0)
    reportMessageS0(MsgOutOfMemory, NoLocation, 0);  // fatal: does not return
  return block;
}

bool fileExists(const char* path, FileIdentity* identity) {
  struct stat info;
  if (!path || stat(path, &info) != 0) return false;
  if (identity) *identity = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
  return true;
}

char* fileNameOf(const char* path) {
  QByteArray name = QFileInfo(QString::fromLocal8Bit(path)).fileName().toLocal8Bit();
  char* copy = static_cast<char*>(checkedMalloc(name.size() + 1));
  memcpy(copy, name.constData(), name.size() + 1);
  return copy;
}
