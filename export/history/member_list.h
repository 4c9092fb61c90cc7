// The objects of one attempt as the history keeps them: their ids in the
// order of the report, each as the zigzag varint of its difference to the
// id before (the first to 0), deflated. Objects get their ids in the order
// of the report that brought them first, so a list is mostly "+1 +1 +1"
// and a run of a million objects takes a few kilobytes:
//
//   ids 5 6 7 3  ->  differences +5 +1 +1 -4  ->  varints 0a 02 02 07  ->  deflate
//
// Schema 1 kept the ids ascending, as unsigned gaps (5 6 7 -> 05 01 01);
// its lists are read only to convert them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

// ids: each above 0 and none twice.
std::string encodeMembers(const std::vector<int64_t>& ids);

enum MemberFormat { MemberDifferences, MemberSchema1Gaps };

// Reads a list back one id at a time, never more than limit ids and never
// more inflated bytes than those can take, so that a damaged list costs no
// more than a sound one of limit ids. An id repeated right after itself
// (a difference or gap of 0) is damage too; other repeats are the caller's
// to find where they matter.
class MemberReader {
 public:
  MemberReader(std::string packed, int64_t limit, MemberFormat format = MemberDifferences);
  ~MemberReader();
  MemberReader(const MemberReader&) = delete;
  MemberReader& operator=(const MemberReader&) = delete;

  // The next id; false at the end of the list or at damage (fault()).
  bool next(int64_t* id);
  // Null while the list is sound; else what is wrong with it, worded to
  // follow "the objects of run 3 ": "hold more ids than its report had objects".
  const char* fault() const { return fault_; }
  int64_t count() const { return count_; }

 private:
  bool fill();  // more inflated bytes into block_; false at the end or a fault
  bool stop(const char* fault) {
    if (!fault_) fault_ = fault;
    return false;
  }

  std::string packed_;
  z_stream z_{};
  bool started_ = false;
  bool ended_ = false;
  MemberFormat format_;
  int64_t limit_;
  int64_t count_ = 0;
  int64_t last_ = 0;
  const char* fault_ = nullptr;
  unsigned char block_[16384];
  const unsigned char* at_ = block_;
  const unsigned char* end_ = block_;
};
