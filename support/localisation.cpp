// Installs the translation files <prefix><locale>.qm from $ORBEKDIR/lib/locale.
#include "support/localisation.h"

#include "support/diagnostics.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdlib>

namespace {

// Set-up failures are plain text, untranslated, before any other output.
[[noreturn]] void fail(const QString& message) {
  writeToStandardError(message);
  exit(-1);
}

}  // namespace

void installTranslators(QCoreApplication& app, const QStringList& prefixes) {
  const char* installDir = getenv("ORBEKDIR");
  if (!installDir || !*installDir)
    fail(QStringLiteral("Fatal Error: please setup ORBEKDIR environment variable.\n"));

  // The separator is always inserted, also after a trailing one.
  QString localeDir = QString::fromLocal8Bit(installDir) + QDir::separator() +
                      QStringLiteral("lib") + QDir::separator() + QStringLiteral("locale");
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
