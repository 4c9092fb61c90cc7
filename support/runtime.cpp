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

bool fileExists(const char* path) {
  struct stat info;
  return path && stat(path, &info) == 0;
}

char* fileNameOf(const char* path) {
  QByteArray name = QFileInfo(QString::fromLocal8Bit(path)).fileName().toLocal8Bit();
  char* copy = static_cast<char*>(checkedMalloc(name.size() + 1));
  memcpy(copy, name.constData(), name.size() + 1);
  return copy;
}
