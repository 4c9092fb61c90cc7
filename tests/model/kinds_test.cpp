#include "model/kinds.h"

#include <QCoreApplication>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {

TEST(KindsTest, KeywordsGiveTheirKinds) {
  EXPECT_EQ(kindFromKeyword("CB"), KindPrologue);
  EXPECT_EQ(kindFromKeyword("TS"), KindTestSuite);
  EXPECT_EQ(kindFromKeyword("OF"), KindTestDriver);
  EXPECT_EQ(kindFromKeyword("VO"), KindCompilerVersion);  // no node kinds, yet kinds
  EXPECT_EQ(kindFromKeyword("DP"), KindCompilationTime);
}

TEST(KindsTest, OnlyTheWholeKeywordMatches) {
  const char* rejected[] = {"", "C", "O", "cb", "Tc", "tC", "CB ", " CB", "TCX", "OSS",
                            "AA", "ZZ", "C\n", "\xC3\x89T", "T\xC3\x89"};
  for (const char* text : rejected) EXPECT_EQ(kindFromKeyword(text), 0) << '"' << text << '"';
  EXPECT_EQ(kindFromKeyword(nullptr), 0);
}

// The columns of the kind table that other parts of the program combine
// must agree with each other, and values outside the table have none.
TEST(KindsTest, KindPropertiesAgree) {
  for (int32_t kind = -2; kind <= 40; ++kind) {
    SCOPED_TRACE(kind);
    if (hasCheckTable(kind)) {
      EXPECT_TRUE(isTestContainer(kind));
      EXPECT_TRUE(carriesSum(kind));
      EXPECT_EQ(kindIcon(kind), IconMethod);
    }
    if (isCheckKind(kind) || isClassKind(kind)) {
      EXPECT_TRUE(isTreeRecord(kind));
    }
    if (classPartStatusOf(kind)) {
      EXPECT_NE(classCounterOf(kind), nullptr);
    }
    if (driverCounterOf(kind)) {
      EXPECT_EQ(classCounterOf(kind), nullptr);
    }
    if (kindDisplayName(kind) == QStringLiteral("-?\?-")) {
      EXPECT_FALSE(isTreeRecord(kind) || isCheckKind(kind) || isTestContainer(kind) ||
                   needsExecution(kind) || carriesSum(kind));
      EXPECT_EQ(kindIcon(kind), IconNone);
    }
  }
  EXPECT_TRUE(isTestContainer(KindTestDriver));
  EXPECT_FALSE(isTreeRecord(KindTestDriver));  // roots come from the file, not a record
}

TEST(KindsTest, DisplayNamesAreTheSourceTextsWithoutTranslation) {
  EXPECT_EQ(kindDisplayName(KindNumber), QStringLiteral("# "));
  EXPECT_EQ(kindDisplayName(KindTestCase), QStringLiteral("Test Case"));
  EXPECT_EQ(kindDisplayName(KindObservationState), QStringLiteral("Observation State"));
  EXPECT_EQ(kindDisplayName(KindCompilationTime), QStringLiteral("Test Compilation Time"));
  for (int32_t kind : {0, 32, 33, 34, 37, -1, 1000})
    EXPECT_EQ(kindDisplayName(kind), QStringLiteral("-?\?-")) << kind;
}

// Answers every lookup with context and source text joined, so a test sees
// which context was asked.
class EchoTranslator : public QTranslator {
 public:
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* sourceText, const char*, int) const override {
    return QString::fromUtf8(context) + '|' + QString::fromUtf8(sourceText);
  }
};

TEST(KindsTest, DisplayNamesAreLookedUpInTheKindContext) {
  EchoTranslator translator;
  QCoreApplication::installTranslator(&translator);
  EXPECT_EQ(kindDisplayName(KindStub), QStringLiteral("VELDORA OtsType|Stub"));
  EXPECT_EQ(kindDisplayName(KindNumber), QStringLiteral("VELDORA OtsType|# "));
  EXPECT_EQ(kindDisplayName(33), QStringLiteral("-?\?-"));
  QCoreApplication::removeTranslator(&translator);
}

}  // namespace
