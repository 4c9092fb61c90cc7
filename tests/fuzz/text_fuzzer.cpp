// Note decoding and the report writer's escaping over any bytes. A NO
// record gives a note or none, and the note escapes to well-formed content;
// an escaped text is fit for element content and attribute values whatever
// it held (UTF-8, lone UTF-16 surrogates, control characters); and the
// ASCII fast path of writeEscapedLocal writes exactly what the QString path
// writes.
#include "fuzz_support.h"

#include "readers/readers.h"
#include "report/xml_writer.h"

#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

void checkEscaped(const QString& text) {
  const std::string escaped = escapedUtf8(text.simplified(), ReportText);
  const std::string document = "<a b=\"" + escaped + "\">" + escaped + "</a>";
  checkWellFormed(document, "escaped text");
}

// The note that the trace reader makes of a NO record with the text.
std::optional<std::string> noteOf(std::string text) {
  static const char kSymbols[] = "CK 1 2\nTC 2 \"case\" line=1 parent=1;\n";
  text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());  // one record
  Model model;
  ByteReader symbols(kSymbols, sizeof kSymbols - 1);
  readSymbols(model, symbols, "case.ots", 0);
  const std::string trace = "SF 1 1 2\nNO " + text + "\nOT 2\n";
  ByteReader in(trace.data(), trace.size());
  readTrace(model, in);
  const NoteText* note = findNode(model, 0, 2)->firstNote;
  if (!note) return std::nullopt;
  return std::string(note->text, note->length);
}

std::string writtenLocal(const char* bytes) {
  char* written = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&written, &size);
  writeEscapedLocal(out, bytes);
  fclose(out);
  std::string text(written, size);
  free(written);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  startApplication(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Texts reach both functions NUL-terminated, as the readers hold them.
  std::string text(reinterpret_cast<const char*>(data), size);
  const char* bytes = text.c_str();

  // The trace reader hands over only texts that begin with a double quote.
  std::string quoted = text[0] == '"' ? text : "\"" + text;
  if (std::optional<std::string> note = noteOf(quoted))
    checkEscaped(QString::fromLocal8Bit(note->data(), static_cast<int>(note->size())));

  checkEscaped(QString::fromUtf8(bytes));
  std::vector<char16_t> units(size / 2);
  if (!units.empty()) memcpy(units.data(), data, units.size() * 2);
  checkEscaped(QString(reinterpret_cast<const QChar*>(units.data()), static_cast<int>(units.size())));

  std::string local = writtenLocal(bytes);
  const std::string viaQString =
      escapedUtf8(QString::fromLocal8Bit(bytes).simplified(), ReportText);
  if (local != viaQString) {
    fprintf(stderr, "writeEscapedLocal wrote \"%s\", the QString path gives \"%s\"\n",
            local.c_str(), viaQString.c_str());
    abort();
  }
  return 0;
}
