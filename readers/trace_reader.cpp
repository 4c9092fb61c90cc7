// Reads the trace file of one test run and marks the model. One record a
// line, each opened by a two-letter keyword and a space:
//
//   SF 1 1f2e3d 4c5b6a      trace number 1 is the symbol file with that checksum pair
//   CS 2                    outcomes and notes now go to the file of trace number 2
//   NO "text"               a note, kept for the next OT record without verdict
//   NO "ISO-8859-1" "text"  the same, encoded in the named codec
//   OT 2a                   object 2a was reached
//   OT 2b 1                 a verdict on 2b: 0 failed, 1 passed, 2 illegal exit,
//                           3 multiple exit; other values are ignored
//
// Numbers are hexadecimal; "h" in front of them means least significant
// digit first, "h" after them is a suffix.
#include "readers/readers.h"

#include "model/model_build.h"
#include "model/status.h"
#include "readers/numbers.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QTextCodec>
#include <cstring>
#include <optional>
#include <string>

namespace {

// The codec of each name met so far, null for names without one. Qt scans
// its whole codec list for a name it does not know, and a trace may name a
// new one on every line.
class CodecCache {
 public:
  QTextCodec* codecNamed(const QByteArray& name) {
    auto known = codecs_.constFind(name);
    if (known != codecs_.constEnd()) return *known;
    QTextCodec* codec = QTextCodec::codecForName(name);
    codecs_.insert(name, codec);
    return codec;
  }

 private:
  QHash<QByteArray, QTextCodec*> codecs_;
};

struct TraceState {
  explicit TraceState(Model& model) : model(model) {}
  Model& model;
  int32_t fileIndex = -1;
  bool hasNote = false;
  std::string note;  // joined NO texts waiting for an OT record
  CodecCache codecs;
};

void dropNote(TraceState& state) {
  state.hasNote = false;
  state.note.clear();
}

//   OT 2a
//   OT 2b 1
// Field 1 runs up to the first space; field 2, the verdict, from there up to
// the next space, and counts as absent when nothing follows the first space.
// Two spaces in a row therefore give an empty verdict, which converts to 0.
// The first space of a field of a few bytes; a plain loop beats strchr's
// set-up there, and OT records are most of a trace.
char* findSpace(char* p) {
  while (*p && *p != ' ') ++p;
  return *p ? p : nullptr;
}

void readOutcome(char* line, TraceState& state) {
  char* verdict = findSpace(line);
  if (verdict) {
    *verdict++ = '\0';
    if (char* end = findSpace(verdict)) *end = '\0';
    else if (*verdict == '\0') verdict = nullptr;
  }
  uint64_t objectId = parseTraceNumber(line);

  if (verdict) {
    static const Outcome byVerdict[] = {VerdictFailed, VerdictPassed, IllegalExit, MultipleExit};
    int32_t value = decimalField(verdict);
    if (value >= 0 && value <= 3)
      recordOutcome(state.model, state.fileIndex, objectId, byVerdict[value]);
    return;  // a pending note waits for an OT record without verdict
  }
  recordOutcome(state.model, state.fileIndex, objectId, Reached);
  if (state.hasNote) {
    appendNote(state.model, state.fileIndex, objectId, state.note);
    dropNote(state);
  }
}

std::optional<std::string> decodeNote(const char* text, CodecCache& codecs) {
  // Unescaped double quotes; exactly four make the codec form
  //   "codec name" "encoded note"
  size_t length = strlen(text);
  size_t quotes[4];
  int quoteCount = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '\\') {
      ++i;
    } else if (text[i] == '"') {
      if (quoteCount < 4) quotes[quoteCount] = i;
      ++quoteCount;
    }
  }

  QString unicode;
  if (quoteCount == 4) {
    QByteArray codecName(text + quotes[0] + 1, static_cast<int>(quotes[1] - quotes[0] - 1));
    QTextCodec* codec = codecs.codecNamed(codecName);
    if (!codec) codec = QTextCodec::codecForLocale();
    // From the opening quote of the note up to its closing quote, excluded.
    unicode = codec->toUnicode(text + quotes[2], static_cast<int>(quotes[3] - quotes[2]));
  } else {
    unicode = QString::fromUtf8(text, static_cast<int>(length));
  }
  QByteArray local = unicode.toLocal8Bit();
  if (local.isEmpty()) return std::nullopt;

  // Outer quotes off. Escapes are resolved over the whole converted text, so
  // an escape just before a dropped closing quote still finds its bytes in
  // it; the note itself ends before that quote.
  const char* p = local.constData();
  const char* all = p + local.size();
  const char* end = all;
  if (*p == '"') ++p;
  if (end > p && end[-1] == '"') --end;

  // An escaped byte 0 is text like any other: the note keeps its length.
  std::string note;
  note.reserve(static_cast<size_t>(end - p));  // escapes only shrink the text
  for (; p < end; ++p) {
    if (*p != '\\' || p + 1 == all) {  // a backslash closing the text stays
      note += *p;
      continue;
    }
    char c = *++p;
    switch (c) {
      case 'n': note += '\n'; break;
      case 'f': note += '\f'; break;
      case 'r': note += '\r'; break;
      case 't': note += '\t'; break;
      default:
        if (c >= '0' && c <= '7' && all - p >= 3) {
          // Three octal digits, the second and third taken as they come.
          int value = (c - '0') * 64 + (p[1] - '0') * 8 + (p[2] - '0');
          p += 2;
          note += static_cast<char>(static_cast<unsigned char>(value));
        } else {
          note += c;
        }
        break;
    }
  }
  return note;
}

}  // namespace

int readTraceFile(Model& model, const char* path) {
  ByteReader in(path);
  if (!in.isOpen()) return -1;
  readTrace(model, in);
  return 0;
}

void readTrace(Model& model, ByteReader& in) {
  TraceState state(model);
  Token keyword;
  Token field;
  while (!in.atEnd()) {
    const char* key = readUntil(in, keyword, ' ');
    if (strcmp(key, "SF") == 0) {
      int32_t traceIndex = static_cast<int32_t>(parseTraceNumber(readUntil(in, field, ' ')));
      uint64_t checksum1 = parseTraceNumber(readUntil(in, field, ' '));
      uint64_t checksum2 = parseTraceNumber(readRestOfLine(in, field));
      bindTraceIndex(model, traceIndex, checksum1, checksum2);
      state.fileIndex = fileIndexOfTrace(model, traceIndex);
      dropNote(state);
    } else if (strcmp(key, "CS") == 0) {
      int32_t traceIndex = static_cast<int32_t>(parseTraceNumber(readRestOfLine(in, field)));
      state.fileIndex = fileIndexOfTrace(model, traceIndex);
      dropNote(state);
    } else if (strcmp(key, "OT") == 0) {
      readOutcome(readRestOfLine(in, field), state);
    } else if (strcmp(key, "NO") == 0) {
      const char* text = readRestOfLine(in, field);
      if (text[0] != '"') continue;
      if (std::optional<std::string> note = decodeNote(text, state.codecs)) {
        state.note += *note;
        state.hasNote = true;
      }
    } else {
      readRestOfLine(in, field);
    }
  }
}
