// The locale's text codec, and the translation files <prefix><locale>.qm
// from $ORBEKDIR/lib/locale.
#include "support/localisation.h"

#include "support/diagnostics.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTextCodec>
#include <QTranslator>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>

namespace {

// The codeset part of a locale name: "de_DE.ISO-8859-1@euro" gives
// "ISO-8859-1"; a name without one gives an empty text.
QByteArray codesetOfName(const char* name) {
  const char* dot = strchr(name, '.');
  if (!dot) return QByteArray();
  const char* end = strchr(dot + 1, '@');
  return end ? QByteArray(dot + 1, int(end - dot - 1)) : QByteArray(dot + 1);
}

// The locale name that the C library takes for LC_CTYPE.
const char* ctypeLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = getenv(variable);
    if (value && *value) return value;
  }
  return "";
}

// The locale's UTF-8 codec with one difference: Qt's UTF-8 decoder drops
// the bytes EF BB BF at the start of a text as a byte-order mark, but every
// name and note is a text of its own, and U+FEFF a character of it. Texts
// that begin with the mark decode as the mark(s) followed by the rest; all
// else, encoding included, is Qt's codec.
class Utf8KeepingMarks : public QTextCodec {
 public:
  explicit Utf8KeepingMarks(QTextCodec* utf8) : utf8_(utf8) {}
  QByteArray name() const override { return utf8_->name(); }
  QList<QByteArray> aliases() const override { return utf8_->aliases(); }
  int mibEnum() const override { return utf8_->mibEnum(); }

 protected:
  QString convertToUnicode(const char* in, int length, ConverterState* state) const override {
    if (state) return utf8_->toUnicode(in, length, state);  // a stream: Qt's own handling
    int marks = 0;
    while (length - 3 * marks >= 3 && memcmp(in + 3 * marks, "\xEF\xBB\xBF", 3) == 0) ++marks;
    if (marks == 0) return utf8_->toUnicode(in, length);
    return QString(marks, QChar(0xFEFF)) + utf8_->toUnicode(in + 3 * marks, length - 3 * marks);
  }
  QByteArray convertFromUnicode(const QChar* in, int length, ConverterState* state) const override {
    return utf8_->fromUnicode(in, length, state);
  }

 private:
  QTextCodec* utf8_;
};

// Qt owns every codec made, and deletes them at exit.
QTextCodec* keepingMarks(QTextCodec* codec) {
  if (codec->mibEnum() != 106 || dynamic_cast<Utf8KeepingMarks*>(codec)) return codec;
  return new Utf8KeepingMarks(codec);
}

// Set-up failures are plain text, untranslated, before any other output.
[[noreturn]] void fail(const QString& message) {
  writeToStandardError(message);
  exit(-1);
}

}  // namespace

void useLocaleCodec() {
  // QCoreApplication has called setlocale(LC_ALL, ""). A locale that is not
  // generated on this machine leaves LC_CTYPE at "C"; the codeset that its
  // name carries is then the best guess of what the user's terminal shows.
  const char* ctype = setlocale(LC_CTYPE, nullptr);
  const bool named = ctype && strcmp(ctype, "C") != 0 && strcmp(ctype, "POSIX") != 0;
  const QByteArray codeset = named ? QByteArray(nl_langinfo(CODESET))
                                   : codesetOfName(ctypeLocaleName());
  // The C locale keeps UTF-8, a superset of ASCII.
  QTextCodec* codec = codeset.isEmpty() ? nullptr : QTextCodec::codecForName(codeset);
  if (!codec) codec = QTextCodec::codecForLocale();
  QTextCodec::setCodecForLocale(keepingMarks(codec));
}

namespace {

// $ORBEKDIR/lib/locale; the separator is always inserted, also after a
// trailing one.
QString localeDirOf(const char* installDir) {
  return QString::fromLocal8Bit(installDir) + QDir::separator() + QStringLiteral("lib") +
         QDir::separator() + QStringLiteral("locale");
}

}  // namespace

bool loadTranslation(QTranslator& translator, const QString& prefix) {
  const char* installDir = getenv("ORBEKDIR");
  if (!installDir || !*installDir) return false;
  const QString localeDir = localeDirOf(installDir);
  return QFileInfo(localeDir).isDir() &&
         translator.load(prefix + QLocale::system().name(), localeDir);
}

void installTranslators(QCoreApplication& app, const QStringList& prefixes) {
  const char* installDir = getenv("ORBEKDIR");
  if (!installDir || !*installDir)
    fail(QStringLiteral("Fatal Error: please setup ORBEKDIR environment variable.\n"));

  QString localeDir = localeDirOf(installDir);
  QFileInfo localeInfo(localeDir);
  if (!localeInfo.isDir())
    fail(QStringLiteral("Fatal Error: directory doesn't exist '") + localeInfo.filePath() +
         QStringLiteral("'\n"));

  // load() also tries the ".qm" suffix and the name cut at its last "_" or
  // ".", so veldora_de_DE finds veldora_de.qm. The latest installed
  // translator is asked first: a later prefix wins.
  const QString localeName = QLocale::system().name();
  for (const QString& prefix : prefixes) {
    QTranslator* translator = new QTranslator(&app);  // lives as long as the app
    if (translator->load(prefix + localeName, localeDir))
      app.installTranslator(translator);
    else
      delete translator;
  }
}
