// Node kinds: the two-letter keywords of symbol file records, the kind
// predicates and the translated display names.
#pragma once

#include <QString>
#include <cstdint>

// The kind of a node, its value as stored in the model (0 = no kind).
enum OtsType : int32_t {
  KindNone = 0,
  KindPrologue = 1,            // "CB"
  KindEpilogue = 2,            // "CE"
  KindCheckExpression = 3,     // "CH"
  KindChecksum = 4,            // "CK"
  KindClass = 5,               // "CL"
  KindCheckMethod = 6,         // "CM"
  KindComment = 7,             // "CO"
  KindCall = 8,                // "CP"
  KindCheckStub = 9,           // "CS"
  KindCheckException = 10,     // "CX"
  KindCheckProperty = 11,      // "CY"
  KindPostCondition = 12,      // "EN"
  KindExpression = 13,         // "EX"
  KindNumber = 14,             // "NC"
  KindTestDriver = 15,         // "OF"
  KindInvariant = 16,          // "IV"
  KindProc = 17,               // "PC"
  KindPrint = 18,              // "PR"
  KindProperty = 19,           // "PY"
  KindRunComponent = 20,       // "RC"
  KindPreCondition = 21,       // "RQ"
  KindRun = 22,                // "RU"
  KindStub = 23,               // "SB"
  KindSingleClass = 24,        // "SL"
  KindState = 25,              // "ST"
  KindTestCase = 26,           // "TC"
  KindTestClass = 27,          // "TL"
  KindTransition = 28,         // "TR"
  KindTestSuite = 29,          // "TS"
  KindMethodContract = 30,     // "WR"
  KindObservationState = 31,   // "OS"
  KindCompilerVersion = 35,    // "VO"
  KindCompilationTime = 36,    // "DP"
};

// The kind whose keyword equals the whole text, byte for byte; 0 otherwise.
int32_t kindFromKeyword(const char* text);

bool isTreeRecord(int32_t kind);     // a symbol file record that creates a node
bool isCheckKind(int32_t kind);      // carries CheckCounts, takes outcomes
bool isTestContainer(int32_t kind);  // gets its own entry in a driver section
bool needsExecution(int32_t kind);   // a never-reached leaf ends NotExecuted

// The display name translated in the context "VELDORA OtsType"; "-??-" for
// values without a kind.
QString kindDisplayName(int32_t kind);
