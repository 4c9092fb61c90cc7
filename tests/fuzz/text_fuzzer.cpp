// decodeNoteText and escapeText over any bytes. A note decodes to a text or
// to nothing, and escapes to well-formed content; an escaped text is fit for element content and attribute
// values whatever it held (UTF-8, lone UTF-16 surrogates, control
// characters); and the ASCII fast path of writeEscapedLocal writes exactly
// what the QString path writes.
#include "fuzz_support.h"

#include "readers/readers.h"
#include "report/xml_writer.h"

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void checkEscaped(const QString& text) {
  QByteArray escaped = escapeText(text).toUtf8();
  std::string document = "<a b=\"" + escaped.toStdString() + "\">" + escaped.toStdString() + "</a>";
  checkWellFormed(document, "escaped text");
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
  if (std::optional<std::string> note = decodeNoteText(quoted.c_str()))
    checkEscaped(QString::fromLocal8Bit(note->data(), static_cast<int>(note->size())));

  checkEscaped(QString::fromUtf8(bytes));
  std::vector<char16_t> units(size / 2);
  if (!units.empty()) memcpy(units.data(), data, units.size() * 2);
  checkEscaped(QString(reinterpret_cast<const QChar*>(units.data()), static_cast<int>(units.size())));

  std::string local = writtenLocal(bytes);
  QByteArray viaQString = escapeText(QString::fromLocal8Bit(bytes)).toUtf8();
  if (local != viaQString.toStdString()) {
    fprintf(stderr, "writeEscapedLocal wrote \"%s\", escapeText gives \"%s\"\n", local.c_str(),
            viaQString.constData());
    abort();
  }
  return 0;
}
