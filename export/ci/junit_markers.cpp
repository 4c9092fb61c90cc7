// The copy of the scratch file with its markers expanded, block by block; a
// marker split across two blocks is completed by the next.
#include "export/ci/junit_markers.h"

#include <algorithm>
#include <cstring>
#include <vector>

const char kSkippedElement[] = "<skipped message=\"not executed\"/>\n";

bool copyTestCases(FILE* scratch, int64_t bytes, int stubKind, size_t blockSize, FILE* out,
                   int64_t* written) {
  static const char kClosed[] = ">\n<skipped message=\"not executed\"/>\n</testcase>";
  const auto put = [out, written](const char* text, size_t size) {
    fwrite(text, 1, size, out);
    *written += static_cast<int64_t>(size);
  };
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
        put(block.data() + run, i - run);
        marker = block[i];
        markerPending = true;
        run = i + 1;
        continue;
      }
      markerPending = false;
      run = i + 1;
      const bool stub = static_cast<unsigned char>(block[i]) == stubKind;
      if (marker == kMarkerEmpty) put(stub ? "/>" : kClosed, stub ? 2 : strlen(kClosed));
      else if (!stub) put(kSkippedElement, strlen(kSkippedElement));
    }
    put(block.data() + run, got - run);
  }
  return !markerPending;
}
