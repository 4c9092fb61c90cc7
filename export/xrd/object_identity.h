// The identity of every counted object of a report: the names JUnit shows
// and a key that stays the same from run to run of the same test suite, so
// that CI test histories and veldora-export's own run history follow an
// object across runs.
//
//   object {stack_test, Stack, overflow} at src/stack_test.cpp:30
//     classname "stack_test.Stack", name "overflow"
//     parentKey "4be0c5...e1"  (32 hex digits: driver stack_test, container Stack)
//     key       "4be0c5...e1t.1:8:overflow:src/stack_test.cpp"
//   object {Contracts, Zulu, Transition} of the class at src/zulu.h:20
//     classname "Contracts.src/zulu_h.Zulu", name "Transition"
//     key       "<digest of class Zulu of src/zulu.h>b3.2:0::src/zulu.h"
//
// The key is made of what the test suite fixes, never of the report's
// translated words and never of positions:
//   parentKey  a digest chained from the suite down through the containers:
//              a driver by its name, the tested contracts by a fixed mark
//              (their node's name is translated), a class by its name and
//              source file, any other container by its name. Equal sibling
//              containers share it.
//   kind       t a test case, procedure or stub; v a class's state chart
//              violations (shown in a table or not); b and the number of
//              columns of its table for any other class block (3 for states
//              and for transitions, which follow them), as block names are
//              translated.
//   ordinal    1, or n for the n-th object equal in all of the rest in its
//              suite, in report order.
//   name       the object's own name (none for class blocks), by its length.
//   file       its source file, as the reader gives it (relative to the
//              source root when one is set).
// Layout: parentKey, kind, ordinal ":" name length ":" name ":" file. It is
// opaque to its users: compare it, store it, never take it apart.
//
// Costs: each container's digest is made once, when its first object comes;
// a key holds one object's own name and file, so all keys together are
// linear in the report. The tables are per suite (equal objects are always in
// one suite), keyed on the full text (a long name by its digest, so that it
// is held once) with a seeded hash.
#pragma once

#include "export/xrd/test_objects.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct ObjectIdentity {
  // JUnit: the suite and the containers joined with "." (a dot inside a name
  // becomes "_"; a class of the tested contracts is preceded by its source
  // file); shortened in the middle beyond kClassNameBudget bytes.
  std::string classname;
  // JUnit: the object's name, with " (2)", " (3)" for the second and later
  // objects of equal classname and name in its suite.
  std::string name;
  std::string key;        // see above
  std::string parentKey;  // 32 hex digits: the suite and the containers
};

// Longer classnames keep the suite and their innermost containers, so that
// N nested test cases cost output linear in N.
constexpr size_t kClassNameBudget = 256;

// A seeded hash for tables keyed by report text, so that crafted names
// cannot pile up in one bucket.
struct SeededHash {
  SeededHash();
  size_t operator()(const std::string& text) const;
  uint64_t seed;
};

// What identify() makes: the key alone (for the run history), or also the
// names JUnit shows.
enum IdentityParts { KeyAndNames, KeyOnly };

class ObjectIdentities {
 public:
  void suiteStart(const TestSuiteInfo& suite);
  // The identity of the next object of the current suite, in report order;
  // with KeyOnly its classname and name are not made (and left as they
  // were). Valid until the next call.
  const ObjectIdentity& identify(const TestObject& object, IdentityParts parts = KeyAndNames);

 private:
  struct Container {
    int node;           // the walk's node number
    std::string digest;  // 16 bytes
  };
  void openContainers(const TestObject& object);
  std::string digestOf(const std::string& parent, char kind, const std::string& name,
                       const std::string& file) const;
  void makeClassName(const TestObject& object);
  void makeUniqueName(const std::string& name);

  bool contracts_ = false;
  std::vector<Container> containers_;  // the suite and the open containers
  std::unordered_map<std::string, uint32_t, SeededHash> ordinals_;
  // Taken classnames and names, to the next suffix number to try.
  std::unordered_map<std::string, uint64_t, SeededHash> names_;
  ObjectIdentity identity_;
};
