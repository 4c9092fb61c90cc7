// Copying a run history from one location to another (a file, a server):
// every project, every run with every attempt of every part, in the order
// of recording, into a history that holds none of them yet.
//
//   copyHistory("history.sqlite", "postgresql://ci@db:5432/veldora", &copied, &error)
#pragma once

#include <cstdint>
#include <string>

struct HistoryCopied {
  int64_t projects = 0;
  int64_t runs = 0;
};

// False, with the error line's text ("TO: holds runs of project group/app
// already"), when either history cannot be used; the target then holds
// nothing of the copy.
bool copyHistory(const std::string& from, const std::string& to, HistoryCopied* copied,
                 std::string* error);
