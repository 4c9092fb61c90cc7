#include "export/host_name.h"

#include <unistd.h>

std::string hostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return std::string();
  return name;
}
