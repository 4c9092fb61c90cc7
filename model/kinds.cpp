// The one table of node kinds. A symbol file names the kind of each record
// by the two letters that open it:
//
//   TC 3 "case" line=3 parent=2; link=7;
//   ^^ Test Case
//
// The keyword lookup runs once per record, so it is an index by the two
// letters built from the table at compile time; the predicates and display
// names are an index by kind value.
#include "model/kinds.h"

#include <QCoreApplication>
#include <array>

namespace {

enum KindFlag : uint8_t {
  Tree = 1,   // isTreeRecord
  Check = 2,  // isCheckKind
  Cont = 4,   // isTestContainer
  Exec = 8,   // needsExecution
};

struct KindInfo {
  int32_t kind;
  char keyword[3];
  const char* displayName;  // source text in the context "VELDORA OtsType"
  uint8_t flags;
};

constexpr KindInfo kindTable[] = {
    {KindPrologue, "CB", QT_TRANSLATE_NOOP("VELDORA OtsType", "Prologue"), Tree},
    {KindEpilogue, "CE", QT_TRANSLATE_NOOP("VELDORA OtsType", "Epilogue"), Tree},
    {KindCheckExpression, "CH", QT_TRANSLATE_NOOP("VELDORA OtsType", "Check Expression"), Tree | Check},
    {KindChecksum, "CK", QT_TRANSLATE_NOOP("VELDORA OtsType", "Checksum"), 0},
    {KindClass, "CL", QT_TRANSLATE_NOOP("VELDORA OtsType", "Class"), Tree},
    {KindCheckMethod, "CM", QT_TRANSLATE_NOOP("VELDORA OtsType", "Check Method"), Tree | Check},
    {KindComment, "CO", QT_TRANSLATE_NOOP("VELDORA OtsType", "Comment"), Tree | Check},
    {KindCall, "CP", QT_TRANSLATE_NOOP("VELDORA OtsType", "Call"), 0},
    {KindCheckStub, "CS", QT_TRANSLATE_NOOP("VELDORA OtsType", "Check Stub"), Tree | Check | Exec},
    {KindCheckException, "CX", QT_TRANSLATE_NOOP("VELDORA OtsType", "Check Exception"), Tree | Check},
    {KindCheckProperty, "CY", QT_TRANSLATE_NOOP("VELDORA OtsType", "Check Property"), Tree | Check},
    {KindPostCondition, "EN", QT_TRANSLATE_NOOP("VELDORA OtsType", "Post Condition"), Tree | Check},
    {KindExpression, "EX", QT_TRANSLATE_NOOP("VELDORA OtsType", "Expression"), Tree},
    {KindNumber, "NC", QT_TRANSLATE_NOOP("VELDORA OtsType", "# "), 0},
    {KindTestDriver, "OF", QT_TRANSLATE_NOOP("VELDORA OtsType", "Test Driver"), Cont},
    {KindInvariant, "IV", QT_TRANSLATE_NOOP("VELDORA OtsType", "Invariant"), Tree | Check},
    {KindProc, "PC", QT_TRANSLATE_NOOP("VELDORA OtsType", "Proc"), Tree | Cont | Exec},
    {KindPrint, "PR", QT_TRANSLATE_NOOP("VELDORA OtsType", "Print"), Tree | Check},
    {KindProperty, "PY", QT_TRANSLATE_NOOP("VELDORA OtsType", "Property"), 0},
    {KindRunComponent, "RC", QT_TRANSLATE_NOOP("VELDORA OtsType", "Run Component"), Tree},
    {KindPreCondition, "RQ", QT_TRANSLATE_NOOP("VELDORA OtsType", "Pre Condition"), Tree | Check},
    {KindRun, "RU", QT_TRANSLATE_NOOP("VELDORA OtsType", "Run"), 0},
    {KindStub, "SB", QT_TRANSLATE_NOOP("VELDORA OtsType", "Stub"), Tree | Cont | Exec},
    {KindSingleClass, "SL", QT_TRANSLATE_NOOP("VELDORA OtsType", "Single Class"), Tree},
    {KindState, "ST", QT_TRANSLATE_NOOP("VELDORA OtsType", "State"), Tree | Check},
    {KindTestCase, "TC", QT_TRANSLATE_NOOP("VELDORA OtsType", "Test Case"), Tree | Cont | Exec},
    {KindTestClass, "TL", QT_TRANSLATE_NOOP("VELDORA OtsType", "Test Class"), Tree | Cont},
    {KindTransition, "TR", QT_TRANSLATE_NOOP("VELDORA OtsType", "Transition"), Tree | Check},
    {KindTestSuite, "TS", QT_TRANSLATE_NOOP("VELDORA OtsType", "Test Suite"), Tree | Cont},
    {KindMethodContract, "WR", QT_TRANSLATE_NOOP("VELDORA OtsType", "Method Contract"), Tree},
    {KindObservationState, "OS", QT_TRANSLATE_NOOP("VELDORA OtsType", "Observation State"), Tree | Check},
    {KindCompilerVersion, "VO", QT_TRANSLATE_NOOP("VELDORA OtsType", "Test Compiler Version"), 0},
    {KindCompilationTime, "DP", QT_TRANSLATE_NOOP("VELDORA OtsType", "Test Compilation Time"), 0},
};

constexpr int kindLimit = KindCompilationTime + 1;  // kind values are below this
constexpr int letterCount = 26;                     // keywords are two capitals

// Table position + 1 of each kind value; 0 for values without a kind.
constexpr std::array<uint8_t, kindLimit> makeKindIndex() {
  std::array<uint8_t, kindLimit> index{};
  for (size_t i = 0; i < std::size(kindTable); ++i)
    index[kindTable[i].kind] = static_cast<uint8_t>(i + 1);
  return index;
}

// The kind of each capital-letter pair, row = first letter; 0 = no keyword.
constexpr std::array<uint8_t, letterCount * letterCount> makeKeywordIndex() {
  std::array<uint8_t, letterCount * letterCount> index{};
  for (const KindInfo& info : kindTable)
    index[(info.keyword[0] - 'A') * letterCount + (info.keyword[1] - 'A')] =
        static_cast<uint8_t>(info.kind);
  return index;
}

constexpr std::array<uint8_t, kindLimit> kindIndex = makeKindIndex();
constexpr std::array<uint8_t, letterCount * letterCount> keywordIndex = makeKeywordIndex();

const KindInfo* infoOf(int32_t kind) {
  if (kind < 0 || kind >= kindLimit || kindIndex[kind] == 0) return nullptr;
  return &kindTable[kindIndex[kind] - 1];
}

bool hasFlag(int32_t kind, uint8_t flag) {
  const KindInfo* info = infoOf(kind);
  return info && (info->flags & flag);
}

}  // namespace

int32_t kindFromKeyword(const char* text) {
  if (!text) return KindNone;
  // Unsigned differences reject every byte outside 'A'..'Z', the NUL too, so
  // the second byte is read only after a capital and the third after two.
  unsigned first = static_cast<unsigned char>(text[0]) - 'A';
  if (first >= letterCount) return KindNone;
  unsigned second = static_cast<unsigned char>(text[1]) - 'A';
  if (second >= letterCount || text[2] != '\0') return KindNone;
  return keywordIndex[first * letterCount + second];
}

bool isTreeRecord(int32_t kind) { return hasFlag(kind, Tree); }
bool isCheckKind(int32_t kind) { return hasFlag(kind, Check); }
bool isTestContainer(int32_t kind) { return hasFlag(kind, Cont); }
bool needsExecution(int32_t kind) { return hasFlag(kind, Exec); }

QString kindDisplayName(int32_t kind) {
  const KindInfo* info = infoOf(kind);
  if (!info) return QStringLiteral("-?\?-");
  return QCoreApplication::translate("VELDORA OtsType", info->displayName);
}
