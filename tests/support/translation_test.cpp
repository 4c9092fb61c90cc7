// Runs with LC_ALL=fr_FR.UTF-8 and ORBEKDIR naming a tree whose lib/locale
// holds the test translations veldora_fr.qm and plinth_fr.qm.
#include "support/diagnostics.h"
#include "support/localisation.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class Translation : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("ORBEKDIR", TEST_ORBEKDIR, 1);
    installTranslators(*QCoreApplication::instance(),
                       QStringList{QStringLiteral("voskident_"), QStringLiteral("plinth_"),
                                   QStringLiteral("veldora_")});
  }
  static QString kem(const char* key) { return QCoreApplication::translate("KEM Error", key); }
};

TEST_F(Translation, TranslatedContextIsUsedByDiagnostics) {
  testing::internal::CaptureStderr();
  reportMessageS1(MsgNoSuchFile, NoLocation, 0, "run.tdf");
  EXPECT_EQ("veldora - erreur : run.tdf : fichier ou dossier inexistant.\n",
            testing::internal::GetCapturedStderr());
}

TEST_F(Translation, UntranslatedKeyFallsBackToItsSource) {
  EXPECT_EQ(QStringLiteral("warning:"), kem("warning:"));
  EXPECT_EQ(QStringLiteral("error:"), QCoreApplication::translate("VELDORA", "error:"));
}

TEST_F(Translation, LaterPrefixWinsAndEarlierStillServesItsOwnKeys) {
  EXPECT_EQ(QStringLiteral("fatale (veldora) :"), kem("fatal:"));
  EXPECT_EQ(QStringLiteral("info (plinth) :"), kem("info:"));
}

}  // namespace
