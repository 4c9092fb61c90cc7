// The locale's text codec, and the installation of the translation files
// found under $ORBEKDIR/lib/locale.
#pragma once

#include <QStringList>

class QCoreApplication;
class QTranslator;

// Makes the codec of the process locale the one that QString::fromLocal8Bit,
// toLocal8Bit and QTextCodec::codecForLocale use: the codeset the C library
// reports for LC_CTYPE, or, when the locale named in the environment is not
// generated, the codeset in its name (de_DE.ISO-8859-1 gives Latin-1). Qt 5
// built with ICU would otherwise answer UTF-8 in every locale. Call once,
// after the application object exists and before any text is converted.
void useLocaleCodec();

// Loads <prefix><locale name>.qm (with the toolkit's shorter fallbacks) for
// each prefix in order and installs every file found. Ends the process with
// status -1 when ORBEKDIR is unset or empty, or its locale directory is
// missing; returns otherwise.
void installTranslators(QCoreApplication& app, const QStringList& prefixes);

// Loads <prefix><locale name>.qm, found as installTranslators finds it, into
// translator, for a program whose texts have English defaults: false, with
// nothing loaded, when ORBEKDIR is unset, its locale directory is missing
// or it holds no translation for the locale.
bool loadTranslation(QTranslator& translator, const QString& prefix);
