// The message catalogue and its one output line:
//
//   veldora - error: run.tdf, no such file or directory.
//   veldora - error: command line: ...
//   veldora - warning: a.ots:7: ...
#include "support/diagnostics.h"

#include <QCoreApplication>
#include <QVector>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

struct CatalogueEntry {
  Severity severity;
  const char* text;  // also the translation key in "KEM Error"
};

// Indexed by MessageId.
const CatalogueEntry catalogue[] = {
    {SeverityFatal, QT_TRANSLATE_NOOP("KEM Error", "internal error: %1")},
    {SeverityFatal, QT_TRANSLATE_NOOP("KEM Error", "out of memory")},
    {SeverityError, QT_TRANSLATE_NOOP("KEM Error", "%1, no such file or directory.")},
    {SeverityError, QT_TRANSLATE_NOOP("KEM Error", "%1, file format not recognized.")},
    {SeverityError, QT_TRANSLATE_NOOP("KEM Error", "%1, permission denied;")},
    {SeverityFatal, QT_TRANSLATE_NOOP("KEM Error", "(unexpected error)")},
    {SeverityError, QT_TRANSLATE_NOOP("KEM Error", "%1, write error.")},
    {SeverityError, QT_TRANSLATE_NOOP("KEM Error", "%1, report file is also an input.")},
};

// Indexed by Severity; SeverityNone has no word.
const char* const severityWords[] = {
    QT_TRANSLATE_NOOP("KEM Error", "info:"),
    QT_TRANSLATE_NOOP("KEM Error", "warning:"),
    QT_TRANSLATE_NOOP("KEM Error", "error:"),
    QT_TRANSLATE_NOOP("KEM Error", "fatal:"),
    QT_TRANSLATE_NOOP("KEM Error", "lexical error:"),
    QT_TRANSLATE_NOOP("KEM Error", "syntax error:"),
    QT_TRANSLATE_NOOP("KEM Error", "semantic error:"),
    nullptr,
};

QString translated(const char* key) { return QCoreApplication::translate("KEM Error", key); }

// Fills the placeholders %1..%99 of text: the lowest-numbered one with the
// first argument, the next with the second, and so on. One pass, so a "%1"
// inside an argument stays as it is, and unlike QString::arg it never warns
// about missing placeholders or arguments.
QString fillPlaceholders(const QString& text, const QVector<const QString*>& args) {
  auto numberAt = [&text](int i, int* length) {
    if (i + 1 >= text.size() || text[i] != QLatin1Char('%') || !text[i + 1].isDigit())
      return 0;
    int number = text[i + 1].digitValue();
    *length = 2;
    if (i + 2 < text.size() && text[i + 2].isDigit()) {
      number = number * 10 + text[i + 2].digitValue();
      *length = 3;
    }
    return number;
  };
  QVector<int> numbers;
  int length = 0;
  for (int i = 0; i < text.size(); ++i)
    if (int n = numberAt(i, &length); n > 0 && !numbers.contains(n))
      numbers.append(n);
  std::sort(numbers.begin(), numbers.end());

  QString result;
  for (int i = 0; i < text.size(); ++i) {
    int n = numberAt(i, &length);
    int slot = n > 0 ? numbers.indexOf(n) : -1;
    if (slot >= 0 && slot < args.size()) {
      result += *args[slot];
      i += length - 1;
    } else {
      result += text[i];
    }
  }
  return result;
}

QString argument(const char* bytes) {
  return bytes ? QString::fromLocal8Bit(bytes) : QString();
}

}  // namespace

void writeToStandardError(const QString& text) {
  QByteArray bytes = text.toLocal8Bit();
  fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

void reportMessage(MessageId id, const char* location, int line, const QString& a1,
                   const QString& a2, const QString& a3, const QString& a4, const QString& a5) {
  const CatalogueEntry& entry = catalogue[id];

  writeToStandardError(QStringLiteral("%1 - ").arg(QLatin1String("veldora")));

  if (const char* word = severityWords[entry.severity])
    writeToStandardError(translated(word) + QLatin1Char(' '));

  if (location == CommandLineLocation) {
    writeToStandardError(QCoreApplication::translate("KEM Error", "command line:") + QLatin1Char(' '));
  } else if (location != NoLocation) {
    QString place = QStringLiteral("%1:").arg(QString::fromLocal8Bit(location));
    place += line != 0 ? QStringLiteral("%1: ").arg(line) : QStringLiteral(" ");
    writeToStandardError(place);
  }

  QVector<const QString*> present;
  for (const QString* a : {&a1, &a2, &a3, &a4, &a5})
    if (!a->isNull())
      present.append(a);
  QString text = fillPlaceholders(translated(entry.text), present);
  writeToStandardError(text + QLatin1Char('\n'));

  if (entry.severity == SeverityFatal)
    exit(1);
}

void reportMessageS1(MessageId id, const char* location, int line, const char* a1) {
  reportMessage(id, location, line, argument(a1));
}

void reportMessageS0(MessageId id, const char* location, int line) {
  reportMessage(id, location, line);
}
