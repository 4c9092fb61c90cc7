// The copy of the scratch file with its markers expanded, block by block; a
// marker split across two blocks is completed by the next.
#include "export/ci/junit_markers.h"

#include <algorithm>
#include <cstring>
#include <vector>

const char kSkippedElement[] = "<skipped message=\"not executed\"/>\n";

bool copyTestCases(FILE* scratch, int64_t bytes, int stubKind, size_t blockSize, FILE* out) {
  static const char kClosed[] = ">\n<skipped message=\"not executed\"/>\n</testcase>";
  std::vector<char> block(blockSize);
  bool markerPending = false;  // a marker byte ended the last block
  char marker = 0;
  while (bytes > 0) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(bytes, blockSize));
    const size_t got = fread(block.data(), 1, want, scratch);
    if (got != want) return false;
    bytes -= static_cast<int64_t>(got);
    size_t run = 0;
    for (size_t i = 0; i < got; ++i) {
      if (!markerPending) {
        if (block[i] != kMarkerEmpty && block[i] != kMarkerInner) continue;
        fwrite(block.data() + run, 1, i - run, out);
        marker = block[i];
        markerPending = true;
        run = i + 1;
        continue;
      }
      markerPending = false;
      run = i + 1;
      const bool stub = static_cast<unsigned char>(block[i]) == stubKind;
      if (marker == kMarkerEmpty) fputs(stub ? "/>" : kClosed, out);
      else if (!stub) fputs(kSkippedElement, out);
    }
    fwrite(block.data() + run, 1, got - run, out);
  }
  return !markerPending;
}
