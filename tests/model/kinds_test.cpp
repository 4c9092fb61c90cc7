#include "model/kinds.h"

#include <QCoreApplication>
#include <QTranslator>
#include <gtest/gtest.h>
#include <set>

namespace {

TEST(KindsTest, KeywordsGiveTheirKinds) {
  EXPECT_EQ(kindFromKeyword("CB"), KindPrologue);
  EXPECT_EQ(kindFromKeyword("TS"), KindTestSuite);
  EXPECT_EQ(kindFromKeyword("OF"), KindTestDriver);
  EXPECT_EQ(kindFromKeyword("WR"), 30);
  EXPECT_EQ(kindFromKeyword("OS"), 31);
  EXPECT_EQ(kindFromKeyword("VO"), 35);  // no node kinds, yet kinds
  EXPECT_EQ(kindFromKeyword("DP"), 36);
}

TEST(KindsTest, OnlyTheWholeKeywordMatches) {
  const char* rejected[] = {"", "C", "O", "cb", "Tc", "tC", "CB ", " CB", "TCX", "OSS",
                            "AA", "ZZ", "C\n", "\xC3\x89T", "T\xC3\x89"};
  for (const char* text : rejected) EXPECT_EQ(kindFromKeyword(text), 0) << '"' << text << '"';
  EXPECT_EQ(kindFromKeyword(nullptr), 0);
}

TEST(KindsTest, PredicatesHoldForExactlyTheirKinds) {
  const std::set<int32_t> tree = {1,  2,  3,  5,  6,  7,  9,  10, 11, 12, 13, 16, 17,
                                  18, 20, 21, 23, 24, 25, 26, 27, 28, 29, 30, 31};
  const std::set<int32_t> check = {3, 6, 7, 9, 10, 11, 12, 16, 18, 21, 25, 28, 31};
  const std::set<int32_t> container = {15, 17, 23, 26, 27, 29};
  const std::set<int32_t> execution = {9, 17, 23, 26};
  for (int32_t kind = -2; kind <= 40; ++kind) {
    EXPECT_EQ(isTreeRecord(kind), tree.count(kind) == 1) << kind;
    EXPECT_EQ(isCheckKind(kind), check.count(kind) == 1) << kind;
    EXPECT_EQ(isTestContainer(kind), container.count(kind) == 1) << kind;
    EXPECT_EQ(needsExecution(kind), execution.count(kind) == 1) << kind;
  }
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
