// Schema 1 as the first version of the history wrote it, for the tests and
// the fuzzer that make such files: its tables, and members lists as
// ascending gaps, deflated (ids 5 6 7 -> 05 01 01).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

constexpr char kSchema1Tables[] =
    "CREATE TABLE runs(id INTEGER PRIMARY KEY, content BLOB NOT NULL UNIQUE,"
    " generated TEXT NOT NULL, label TEXT NOT NULL, passed INTEGER NOT NULL,"
    " inconclusive INTEGER NOT NULL, failed INTEGER NOT NULL, total INTEGER NOT NULL,"
    " members BLOB NOT NULL);"
    "CREATE TABLE objects(id INTEGER PRIMARY KEY, key BLOB NOT NULL UNIQUE, path TEXT NOT NULL);"
    "CREATE TABLE results(run INTEGER NOT NULL, object INTEGER NOT NULL,"
    " status INTEGER NOT NULL, checks TEXT NOT NULL, PRIMARY KEY(run, object)) WITHOUT ROWID;"
    "CREATE INDEX results_by_object ON results(object, run);"
    "PRAGMA application_id = 1986358372; PRAGMA user_version = 1;";

// Any ids: the gaps wrap as the unsigned numbers they are stored as.
inline std::string schema1Members(const std::vector<int64_t>& ids) {
  std::string gaps;
  uint64_t last = 0;
  for (const int64_t id : ids) {
    for (uint64_t gap = static_cast<uint64_t>(id) - last;; gap >>= 7) {
      gaps += static_cast<char>((gap & 0x7f) | (gap >= 0x80 ? 0x80 : 0));
      if (gap < 0x80) break;
    }
    last = static_cast<uint64_t>(id);
  }
  uLongf size = compressBound(gaps.size());
  std::string packed(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&packed[0]), &size,
            reinterpret_cast<const Bytef*>(gaps.data()), gaps.size(), Z_BEST_SPEED);
  packed.resize(size);
  return packed;
}
