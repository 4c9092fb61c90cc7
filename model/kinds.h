// Node kinds: the two-letter keywords of symbol file records, and what a
// kind means to the model and the report (its predicates, counters, icon and
// translated display name), all read from one table.
#pragma once

#include "model/model.h"
#include "support/report_format.h"

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
bool isClassKind(int32_t kind);      // Class or Single Class: carries ClassCounts
bool hasCheckTable(int32_t kind);    // its report entry holds a table of its checks
bool carriesSum(int32_t kind);       // its report node has sum="1"
NodeIcon kindIcon(int32_t kind);     // the icone of its report node

// The DriverCounts field that a node of this kind adds to, or null.
int32_t DriverCounts::*driverCounterOf(int32_t kind);
// The ClassCounts field that a node of this kind adds to, or null.
int32_t ClassCounts::*classCounterOf(int32_t kind);
// The ClassCounts status that a settled node of this kind folds into, or
// null. States have their own rule (state chart violations).
int32_t ClassCounts::*classPartStatusOf(int32_t kind);

// The display name translated in the context "VELDORA OtsType"; "-??-" for
// values without a kind.
QString kindDisplayName(int32_t kind);
