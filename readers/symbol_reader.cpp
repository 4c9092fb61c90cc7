// Reads one symbol file into the tree of its test driver. Every record opens
// with a two-letter keyword and a space:
//
//   CK 1f2e3d 4c5b6a
//   OF "/home/tests/" "drive.cpp" 2a
//   VO 4.2.1
//   DP Mon Mar  3 10:12:44 2008
//   TS 2 "Suite \"one\"" line=12 parent=1;
//   TC 3 "first" line=14 parent=2;
//   SB 9 "stub" line=40 parent=2; link=7;
//   CP 11 ...                        (calls, numbers, properties, runs: read over)
//
// Node records name their parent by identifier; the root of the file has
// identifier 1. Identifiers and checksums are hexadecimal.
#include "readers/readers.h"

#include "model/kinds.h"
#include "model/model_build.h"
#include "readers/numbers.h"

namespace {

// The name of a node record ends at this sequence.
constexpr char kTerminator[] = "\" line=";
constexpr size_t kTerminatorLength = sizeof kTerminator - 1;
// Bytes of the name field kept, terminator included; the name itself keeps
// at most 1985 of them.
constexpr size_t kNameStorage = 1998 - kTerminatorLength + 1;

struct NameText {
  char text[kNameStorage + 1];
};

// Reads the name field up to the terminator. A backslash stands for the byte
// after it, which still takes part in the terminator match, so an escaped
// quote followed by " line=" ends the name as well. On a mismatch the match
// restarts only when the byte is the first byte of the terminator.
// Returns false when the file ends before the terminator.
bool readName(ByteReader& in, NameText& name) {
  size_t length = 0;
  size_t matched = 0;
  while (matched < kTerminatorLength) {
    int c = in.get();
    if (c == '\\') c = in.get();
    if (c < 0) return false;
    if (c != '\n' && length < kNameStorage) name.text[length++] = static_cast<char>(c);
    if (c == kTerminator[matched]) ++matched;
    else matched = c == kTerminator[0] ? 1 : 0;
  }
  // The terminator bytes are stored unless the storage is full; either way
  // the last seven stored bytes are not part of the name.
  name.text[length - kTerminatorLength] = '\0';
  return true;
}

struct SymbolTokens {
  Token keyword;
  Token field;
  Token second;
  NameText name;
};

//   TC 3 "first" line=14 parent=2;
//   SB 9 "stub" line=40 parent=2; link=7;
// The parent identifier ends at ";" or a space; a line feed right after it
// ends the record, any other byte opens the link part.
void readNodeRecord(Model& model, ByteReader& in, int32_t fileIndex, int32_t kind,
                    SymbolTokens& t) {
  uint64_t objectId = hexField(readUntil(in, t.field, ' '));
  skipByte(in);  // opening quote
  if (!readName(in, t.name)) return;
  int32_t line = decimalField(readUntil(in, t.field, ' '));
  readUntil(in, t.field, '=');  // parent key
  uint64_t parentId = hexField(readUntilEither(in, t.field, ';', ' '));
  uint64_t linkId = 0;
  if (in.get() != '\n') {
    readUntil(in, t.field, '=');  // link key
    linkId = hexField(readUntil(in, t.field, ';'));
  }
  addChildNode(model, fileIndex, kind, objectId, t.name.text, parentId, line, linkId);
}

//   CK 1f2e3d 4c5b6a
void readChecksum(Model& model, ByteReader& in, int32_t fileIndex, SymbolTokens& t) {
  uint64_t first = hexField(readUntil(in, t.field, ' '));
  uint64_t second = hexField(readRestOfLine(in, t.field));
  setFileChecksum(model, fileIndex, first, second);
}

//   OF "/home/tests/" "drive.cpp" 2a
// The two texts have no escapes.
void readDriver(Model& model, ByteReader& in, int32_t fileIndex, SymbolTokens& t) {
  skipByte(in);
  const char* directory = readUntil(in, t.field, '"');
  skipByte(in);
  skipByte(in);
  const char* fileName = readUntil(in, t.second, '"');
  skipByte(in);
  uint64_t value = hexField(readRestOfLine(in, t.keyword));
  setDriverInfo(model, fileIndex, directory, fileName, value);
}

}  // namespace

int readSymbolFile(Model& model, const char* path, int32_t fileIndex) {
  ByteReader in(path);
  if (!in.isOpen()) return -1;
  readSymbols(model, in, path, fileIndex);
  return 0;
}

void readSymbols(Model& model, ByteReader& in, const char* path, int32_t fileIndex) {
  addSymbolFile(model, fileIndex, path);

  SymbolTokens t;
  // The end of the file is tested only before a keyword: a final line feed
  // makes one last round with an empty keyword, which reads nothing.
  while (!in.atEnd()) {
    int32_t kind = kindFromKeyword(readUntil(in, t.keyword, ' '));
    if (isTreeRecord(kind)) {
      readNodeRecord(model, in, fileIndex, kind, t);
      continue;
    }
    switch (kind) {
      case KindChecksum:
        readChecksum(model, in, fileIndex, t);
        break;
      case KindTestDriver:
        readDriver(model, in, fileIndex, t);
        break;
      case KindCompilerVersion:
        setCompilerVersion(model, readRestOfLine(in, t.field));
        break;
      case KindCompilationTime:
        setCompilationTime(model, readRestOfLine(in, t.field));
        break;
      default:  // skipped and unrecognised records
        readRestOfLine(in, t.field);
        break;
    }
  }
}
