// The locale codec chosen at start-up, for locales that the C library has
// (setup.sh generates de_DE.ISO-8859-1) and for names it does not know.
#include "support/localisation.h"

#include <QTextCodec>
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

namespace {

struct Environment {
  const char* lcAll;
  const char* lcCtype;
  const char* lang;
};

void setOrUnset(const char* name, const char* value) {
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

// Applies the environment as the program meets it at start-up, calls
// useLocaleCodec(), runs the check with the codec it picked and restores the
// test's own locale.
template <typename Check>
auto withLocaleOf(const Environment& environment, Check check) {
  setOrUnset("LC_ALL", environment.lcAll);
  setOrUnset("LC_CTYPE", environment.lcCtype);
  setOrUnset("LANG", environment.lang);
  setlocale(LC_ALL, "C");  // where a process starts; a failing setlocale leaves it there
  setlocale(LC_ALL, "");
  QTextCodec::setCodecForLocale(nullptr);
  useLocaleCodec();
  auto result = check();

  setenv("LC_ALL", "C.UTF-8", 1);
  setlocale(LC_ALL, "");
  QTextCodec::setCodecForLocale(nullptr);
  return result;
}

QByteArray codecChosenFor(const Environment& environment) {
  return withLocaleOf(environment, [] { return QTextCodec::codecForLocale()->name(); });
}

TEST(LocaleCodec, GeneratedLocaleGivesTheCodesetOfTheCLibrary) {
  setenv("LC_ALL", "de_DE.ISO-8859-1", 1);
  ASSERT_NE(nullptr, setlocale(LC_ALL, "")) << "de_DE.ISO-8859-1 is not generated (setup.sh --tests)";
  EXPECT_EQ("ISO-8859-1", codecChosenFor({"de_DE.ISO-8859-1", nullptr, nullptr}));
  EXPECT_EQ("ISO-8859-1", codecChosenFor({nullptr, nullptr, "de_DE.iso88591"}));
  EXPECT_EQ("UTF-8", codecChosenFor({"C.UTF-8", nullptr, "de_DE.ISO-8859-1"}));
}

TEST(LocaleCodec, UnknownLocaleGivesTheCodesetOfItsName) {
  EXPECT_EQ("ISO-8859-15", codecChosenFor({"xx_XX.ISO-8859-15@euro", nullptr, nullptr}));
  // The C library's order for LC_CTYPE: LC_ALL, LC_CTYPE, LANG; empty is unset.
  EXPECT_EQ("ISO-8859-15", codecChosenFor({"", "xx_XX.ISO-8859-15", "xx_XX.KOI8-R"}));
  EXPECT_EQ("KOI8-R", codecChosenFor({nullptr, nullptr, "xx_XX.KOI8-R"}));
}

TEST(LocaleCodec, NoCodesetKeepsUtf8) {
  EXPECT_EQ("UTF-8", codecChosenFor({"C", nullptr, "de_DE.ISO-8859-1"}));
  EXPECT_EQ("UTF-8", codecChosenFor({nullptr, nullptr, nullptr}));
  EXPECT_EQ("UTF-8", codecChosenFor({"xx_XX", nullptr, nullptr}));
  EXPECT_EQ("UTF-8", codecChosenFor({"xx_XX.NO-SUCH-CODESET", nullptr, nullptr}));
}

// Qt's UTF-8 decoder takes EF BB BF at the start of a text for a byte-order
// mark; names and notes keep it as U+FEFF, with the named codec of a locale
// not generated here too. Everything else decodes and encodes as before.
TEST(LocaleCodec, Utf8LocalesKeepALeadingFeff) {
  for (const char* locale : {"C.UTF-8", "C", "xx_XX.UTF-8"}) {
    QString decoded = withLocaleOf({locale, nullptr, nullptr}, [] {
      return QString::fromLocal8Bit("\xEF\xBB\xBF\xEF\xBB\xBF" "a\xEF\xBB\xBF") + QLatin1Char('|') +
             QString::fromLocal8Bit("\xEF\xBB\xBF") + QLatin1Char('|') +
             QString::fromLocal8Bit("b\xC3");  // an unfinished sequence at the end
    });
    const QChar mark(0xFEFF);
    EXPECT_EQ(QString(2, mark) + 'a' + mark + '|' + mark + "|b" + QChar(0xFFFD), decoded) << locale;
    QByteArray encoded = withLocaleOf({locale, nullptr, nullptr}, [mark] {
      return (mark + QStringLiteral("x")).toLocal8Bit();
    });
    EXPECT_EQ(QByteArray("\xEF\xBB\xBFx"), encoded) << locale;
  }
}

}  // namespace
