// Installation of the translation files found under $ORBEKDIR/lib/locale.
#pragma once

#include <QStringList>

class QCoreApplication;

// Loads <prefix><locale name>.qm (with the toolkit's shorter fallbacks) for
// each prefix in order and installs every file found. Ends the process with
// status -1 when ORBEKDIR is unset or empty, or its locale directory is
// missing; returns otherwise.
void installTranslators(QCoreApplication& app, const QStringList& prefixes);
