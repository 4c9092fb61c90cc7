// The one table of node kinds. A symbol file names the kind of each record
// by the two letters that open it:
//
//   TC 3 "case" line=3 parent=2; link=7;
//   ^^ Test Case
//
// Everything else that depends on a kind (how the model counts and settles
// it, how the report shows it) is a column of this table. The keyword lookup
// runs once per record, so it is an index by the two letters built from the
// table at compile time; the other queries are an index by kind value.
#include "model/kinds.h"

#include <QCoreApplication>
#include <array>

namespace {

enum KindFlag : uint8_t {
  Tree = 1,     // isTreeRecord
  Check = 2,    // isCheckKind
  Cont = 4,     // isTestContainer
  Exec = 8,     // needsExecution
  Table = 16,   // hasCheckTable
  Sum = 32,     // carriesSum
  Class = 64,   // isClassKind
};

struct KindInfo {
  int32_t kind;
  char keyword[3];
  const char* displayName;  // source text in the context "VELDORA OtsType"
  uint8_t flags;
  NodeIcon icon;
  int32_t DriverCounts::*driverCounter;
  int32_t ClassCounts::*classCounter;
  int32_t ClassCounts::*classPartStatus;
};

constexpr KindInfo kindTable[] = {
    // kind, keyword, display name,
    // flags, icon, driver counter, class counter, class part status
    {KindPrologue, "CB", QT_TRANSLATE_NOOP("VELDORA OtsType", "Prologue"),
     Tree, IconNone, &DriverCounts::prologues, nullptr, nullptr},
    {KindEpilogue, "CE", QT_TRANSLATE_NOOP("VELDORA OtsType", "Epilogue"),
     Tree, IconNone, &DriverCounts::epilogues, nullptr, nullptr},
    {KindCheckExpression, "CH", QT_TRANSLATE_NOOP("VELDORA OtsType", "Check Expression"),
     Tree | Check, IconNone, nullptr, nullptr, nullptr},
    {KindChecksum, "CK", QT_TRANSLATE_NOOP("VELDORA OtsType", "Checksum"),
     0, IconNone, nullptr, nullptr, nullptr},
    {KindClass, "CL", QT_TRANSLATE_NOOP("VELDORA OtsType", "Class"),
     Tree | Class, IconClass, &DriverCounts::classes, nullptr, nullptr},
    {KindCheckMethod, "CM", QT_TRANSLATE_NOOP("VELDORA OtsType", "Check Method"),
     Tree | Check, IconNone, nullptr, nullptr, nullptr},
    {KindComment, "CO", QT_TRANSLATE_NOOP("VELDORA OtsType", "Comment"),
     Tree | Check, IconNone, nullptr, nullptr, nullptr},
    {KindCall, "CP", QT_TRANSLATE_NOOP("VELDORA OtsType", "Call"),
     0, IconNone, nullptr, nullptr, nullptr},
    {KindCheckStub, "CS", QT_TRANSLATE_NOOP("VELDORA OtsType", "Check Stub"),
     Tree | Check | Exec, IconNone, nullptr, nullptr, nullptr},
    {KindCheckException, "CX", QT_TRANSLATE_NOOP("VELDORA OtsType", "Check Exception"),
     Tree | Check, IconNone, nullptr, nullptr, nullptr},
    {KindCheckProperty, "CY", QT_TRANSLATE_NOOP("VELDORA OtsType", "Check Property"),
     Tree | Check, IconNone, nullptr, nullptr, nullptr},
    {KindPostCondition, "EN", QT_TRANSLATE_NOOP("VELDORA OtsType", "Post Condition"),
     Tree | Check, IconNone, nullptr, nullptr, nullptr},
    {KindExpression, "EX", QT_TRANSLATE_NOOP("VELDORA OtsType", "Expression"),
     Tree, IconNone, nullptr, nullptr, nullptr},
    {KindNumber, "NC", QT_TRANSLATE_NOOP("VELDORA OtsType", "# "),
     0, IconNone, nullptr, nullptr, nullptr},
    {KindTestDriver, "OF", QT_TRANSLATE_NOOP("VELDORA OtsType", "Test Driver"),
     Cont, IconTestScript, nullptr, nullptr, nullptr},
    {KindInvariant, "IV", QT_TRANSLATE_NOOP("VELDORA OtsType", "Invariant"),
     Tree | Check | Sum, IconMethod, nullptr, &ClassCounts::invariants, &ClassCounts::invariantStatus},
    {KindProc, "PC", QT_TRANSLATE_NOOP("VELDORA OtsType", "Proc"),
     Tree | Cont | Exec | Table | Sum, IconMethod, &DriverCounts::procedures, nullptr, nullptr},
    {KindPrint, "PR", QT_TRANSLATE_NOOP("VELDORA OtsType", "Print"),
     Tree | Check, IconNone, nullptr, nullptr, nullptr},
    {KindProperty, "PY", QT_TRANSLATE_NOOP("VELDORA OtsType", "Property"),
     0, IconNone, nullptr, nullptr, nullptr},
    {KindRunComponent, "RC", QT_TRANSLATE_NOOP("VELDORA OtsType", "Run Component"),
     Tree, IconNone, nullptr, nullptr, nullptr},
    {KindPreCondition, "RQ", QT_TRANSLATE_NOOP("VELDORA OtsType", "Pre Condition"),
     Tree | Check, IconNone, nullptr, nullptr, nullptr},
    {KindRun, "RU", QT_TRANSLATE_NOOP("VELDORA OtsType", "Run"),
     0, IconNone, nullptr, nullptr, nullptr},
    {KindStub, "SB", QT_TRANSLATE_NOOP("VELDORA OtsType", "Stub"),
     Tree | Cont | Exec | Table | Sum, IconMethod, &DriverCounts::stubs, nullptr, nullptr},
    {KindSingleClass, "SL", QT_TRANSLATE_NOOP("VELDORA OtsType", "Single Class"),
     Tree | Class, IconClass, &DriverCounts::classes, nullptr, nullptr},
    {KindState, "ST", QT_TRANSLATE_NOOP("VELDORA OtsType", "State"),
     Tree | Check | Sum, IconMethod, nullptr, &ClassCounts::states, nullptr},
    {KindTestCase, "TC", QT_TRANSLATE_NOOP("VELDORA OtsType", "Test Case"),
     Tree | Cont | Exec | Table | Sum, IconMethod, &DriverCounts::testCases, nullptr, nullptr},
    {KindTestClass, "TL", QT_TRANSLATE_NOOP("VELDORA OtsType", "Test Class"),
     Tree | Cont, IconClass, &DriverCounts::testClasses, nullptr, nullptr},
    {KindTransition, "TR", QT_TRANSLATE_NOOP("VELDORA OtsType", "Transition"),
     Tree | Check | Sum, IconMethod, nullptr, &ClassCounts::transitions, &ClassCounts::transitionStatus},
    {KindTestSuite, "TS", QT_TRANSLATE_NOOP("VELDORA OtsType", "Test Suite"),
     Tree | Cont, IconClass, &DriverCounts::testSuites, nullptr, nullptr},
    {KindMethodContract, "WR", QT_TRANSLATE_NOOP("VELDORA OtsType", "Method Contract"),
     Tree | Sum, IconMethod, nullptr, &ClassCounts::contracts, &ClassCounts::contractStatus},
    {KindObservationState, "OS", QT_TRANSLATE_NOOP("VELDORA OtsType", "Observation State"),
     Tree | Check, IconNone, nullptr, nullptr, nullptr},
    {KindCompilerVersion, "VO", QT_TRANSLATE_NOOP("VELDORA OtsType", "Test Compiler Version"),
     0, IconNone, nullptr, nullptr, nullptr},
    {KindCompilationTime, "DP", QT_TRANSLATE_NOOP("VELDORA OtsType", "Test Compilation Time"),
     0, IconNone, nullptr, nullptr, nullptr},
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

// The row of a kind; values without a kind get an empty row.
const KindInfo& infoOf(int32_t kind) {
  static constexpr KindInfo noKind = {KindNone, "", nullptr, 0, IconNone, nullptr, nullptr, nullptr};
  if (kind < 0 || kind >= kindLimit || kindIndex[kind] == 0) return noKind;
  return kindTable[kindIndex[kind] - 1];
}

bool hasFlag(int32_t kind, uint8_t flag) { return infoOf(kind).flags & flag; }

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
bool isClassKind(int32_t kind) { return hasFlag(kind, Class); }
bool hasCheckTable(int32_t kind) { return hasFlag(kind, Table); }
bool carriesSum(int32_t kind) { return hasFlag(kind, Sum); }
NodeIcon kindIcon(int32_t kind) { return infoOf(kind).icon; }

int32_t DriverCounts::*driverCounterOf(int32_t kind) { return infoOf(kind).driverCounter; }
int32_t ClassCounts::*classCounterOf(int32_t kind) { return infoOf(kind).classCounter; }
int32_t ClassCounts::*classPartStatusOf(int32_t kind) { return infoOf(kind).classPartStatus; }

QString kindDisplayName(int32_t kind) {
  const KindInfo& info = infoOf(kind);
  if (!info.displayName) return QStringLiteral("-?\?-");
  return QCoreApplication::translate("VELDORA OtsType", info.displayName);
}
