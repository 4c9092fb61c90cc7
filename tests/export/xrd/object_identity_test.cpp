// The identity of objects across runs: keys that neither reordering nor an
// unrelated new object moves, classes told apart by their file, no
// translated word in a key, JUnit names unique in their suite, and costs
// that stay linear for deep nesting and crafted names.
#include "export/xrd/object_identity.h"

#include "tests/export/xrd/report_test_reports.h"

#include <gtest/gtest.h>
#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace {

std::string linkTitle(const std::string& text, const std::string& file, int line) {
  return "<TITLE LEVEL=\"1\" TAG=\"nodex9\" STYLE=\"Title2\">\n<LINK TARGET=\"" + file + " line " +
         std::to_string(line) + "\">\n<TEXT>" + text + "</TEXT>\n</LINK>\n</TITLE>\n";
}

std::string testCase(const std::string& name, const std::string& file = "src/t.cpp",
                     const std::string& inner = "") {
  return "<XROD:NODE name=\"" + name +
         "\" type=\"Test Case\" state=\"ok\" sum=\"1\" icone=\"method.xpm\">" +
         linkTitle("Test Case " + name, file, 10) + inner + "</XROD:NODE>\n";
}

std::string container(const std::string& name, const std::string& inner) {
  return "<XROD:NODE name=\"" + name + "\" type=\"Test Suite\" state=\"ok\" icone=\"class.xpm\">" +
         linkTitle("Test Suite " + name, "src/t.cpp", 5) + inner + "</XROD:NODE>\n";
}

std::string driver(const std::string& name, const std::string& inner) {
  return "<XROD:NODE name=\"" + name +
         "\" type=\"Test Driver\" state=\"ok\" icone=\"testscript.xpm\"><SECTION TAG=\"rootx6\">\n"
         "<TITLE LEVEL=\"0\" TAG=\"nodex7\" STYLE=\"Title1\">\n<TEXT>Test Driver " +
         name + "</TEXT>\n</TITLE>\n" + inner + "</SECTION>\n</XROD:NODE>\n";
}

// A class block with a table of the given number of columns.
std::string block(const std::string& name, int columns) {
  std::string header = "<ROW>\n";
  for (int i = 0; i < columns; ++i)
    header += "<CELL_TEXT STYLE=\"Array Title\">c" + std::to_string(i) + "</CELL_TEXT>\n";
  return "<XROD:NODE name=\"" + name + "\" type=\"" + name +
         "\" state=\"ok\" sum=\"1\" icone=\"method.xpm\"><TITLE LEVEL=\"2\" TAG=\"nodex20\" "
         "STYLE=\"Title3\">\n<TEXT>" +
         name + "</TEXT>\n</TITLE>\n<TABLE BORDER=\"1\">\n" + header + "</ROW>\n</TABLE>\n</XROD:NODE>\n";
}

std::string classNode(const std::string& name, const std::string& file, const std::string& blocks) {
  return "<XROD:NODE name=\"" + name + "\" type=\"Class\" state=\"ok\" icone=\"class.xpm\">" +
         linkTitle("Class " + name, file, 3) + blocks + "</XROD:NODE>\n";
}

std::string contracts(const std::string& name, const std::string& classes) {
  return "<XROD:NODE name=\"" + name +
         "\" type=\"Contracts\" state=\"ok\" icone=\"testscript.xpm\"><SECTION TAG=\"classx15\">\n"
         "<TITLE LEVEL=\"0\" TAG=\"nodex16\" STYLE=\"Title1\">\n<TEXT>Tested Contracts</TEXT>\n"
         "</TITLE>\n" +
         classes + "</SECTION>\n</XROD:NODE>\n";
}

struct Identified {
  std::string path;  // "/stack/Stack/push"
  ObjectIdentity identity;
};

struct Collector : TestObjectVisitor {
  void suiteStart(const TestSuiteInfo& suite) override { identities.suiteStart(suite); }
  void object(const TestObject& object) override {
    std::string path;  // only for the shallow objects that tests compare
    for (size_t i = 0; i < object.path.size() && object.path.size() < 10; ++i)
      path += "/" + object.path[i];
    all.push_back({path, identities.identify(object)});
  }
  ObjectIdentities identities;
  std::vector<Identified> all;
};

std::vector<Identified> identify(const std::string& body) {
  ReportReader reader;
  reader.openBytes(reportAround(body));
  Collector collector;
  EXPECT_TRUE(readTestObjects(reader, collector)) << reader.error().message;
  return collector.all;
}

// Path (with its ordinal among equal paths) to key.
std::map<std::string, std::string> keysByPath(const std::vector<Identified>& objects) {
  std::map<std::string, std::string> keys;
  for (const Identified& o : objects) {
    std::string path = o.path;
    while (keys.count(path)) path += "+";
    keys[path] = o.identity.key;
  }
  return keys;
}

TEST(ObjectIdentity, ReorderedDriversAndAnAddedCaseMoveNoOtherKey) {
  const std::string before =
      driver("alpha", container("Stack", testCase("push") + testCase("pop"))) +
      driver("beta", container("Stack", testCase("push")) + testCase("push"));
  const std::string after =
      driver("beta", container("Stack", testCase("push")) + testCase("push")) +
      driver("alpha", container("Stack", testCase("push") + testCase("new") + testCase("pop")));
  std::map<std::string, std::string> was = keysByPath(identify(before));
  std::map<std::string, std::string> now = keysByPath(identify(after));
  ASSERT_EQ(was.size(), 4u);
  for (const auto& entry : was) EXPECT_EQ(now[entry.first], entry.second) << entry.first;
  // Every key differs from every other.
  std::map<std::string, int> seen;
  for (const auto& entry : now) EXPECT_EQ(++seen[entry.second], 1) << entry.first;
}

TEST(ObjectIdentity, SameNamedClassesOfTwoFilesGetTheirFileNotAPosition) {
  const std::string one = classNode("Queue", "src/a.h", block("Invariant", 5));
  const std::string two = classNode("Queue", "lib/b.h", block("Invariant", 5));
  const std::vector<Identified> first = identify(contracts("Contracts", one + two));
  const std::vector<Identified> swapped = identify(contracts("Contracts", two + one));
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0].identity.classname, "Contracts.src/a_h.Queue");
  EXPECT_EQ(first[1].identity.classname, "Contracts.lib/b_h.Queue");
  EXPECT_EQ(first[0].identity.name, "Invariant");
  EXPECT_EQ(first[1].identity.name, "Invariant");
  EXPECT_NE(first[0].identity.key, first[1].identity.key);
  EXPECT_NE(first[0].identity.parentKey, first[1].identity.parentKey);
  EXPECT_EQ(swapped[1].identity.key, first[0].identity.key);
  EXPECT_EQ(swapped[0].identity.key, first[1].identity.key);
}

TEST(ObjectIdentity, TranslatedWordsAreNotPartOfTheKey) {
  // The contracts node and the blocks are named in the report's language.
  const std::string english = contracts(
      "Contracts", classNode("Door", "src/door.h",
                             block("Method Contract", 6) + block("Invariant", 5) +
                                 block("State", 3) + block("Transition", 3)));
  const std::string german = contracts(
      "Verträge", classNode("Door", "src/door.h",
                            block("Methodenvertrag", 6) + block("Invariante", 5) +
                                block("Zustand", 3) + block("Übergang", 3)));
  const std::vector<Identified> en = identify(english);
  const std::vector<Identified> de = identify(german);
  ASSERT_EQ(en.size(), 4u);
  ASSERT_EQ(de.size(), 4u);
  for (size_t i = 0; i < en.size(); ++i) {
    EXPECT_EQ(en[i].identity.key, de[i].identity.key) << en[i].path;
    for (size_t j = 0; j < i; ++j) EXPECT_NE(en[i].identity.key, en[j].identity.key);
  }
  EXPECT_EQ(de[3].identity.classname, "Verträge.src/door_h.Door");
  EXPECT_EQ(de[3].identity.name, "Übergang");
}

TEST(ObjectIdentity, OnlyEqualObjectsGetOrdinalsAndSuffixes) {
  const std::vector<Identified> objects = identify(driver(
      "d", testCase("x") + testCase("x (2)") + testCase("x") + testCase("x", "src/other.cpp") +
               testCase("a.b")));
  ASSERT_EQ(objects.size(), 5u);
  // JUnit names: unique in the suite, also beside a name that looks like a suffix.
  EXPECT_EQ(objects[0].identity.name, "x");
  EXPECT_EQ(objects[1].identity.name, "x (2)");
  EXPECT_EQ(objects[2].identity.name, "x (3)");
  EXPECT_EQ(objects[3].identity.name, "x (4)");
  EXPECT_EQ(objects[4].identity.name, "a.b");
  EXPECT_EQ(objects[4].identity.classname, "d");
  // Keys: the third equals the first in all but its ordinal; the fourth has its own file.
  const std::string& first = objects[0].identity.key;
  const std::string& third = objects[2].identity.key;
  const std::string parent = objects[0].identity.parentKey;
  EXPECT_EQ(parent.size(), 32u);
  EXPECT_EQ(first, parent + "t.1:1:x:src/t.cpp");
  EXPECT_EQ(third, parent + "t.2:1:x:src/t.cpp");
  EXPECT_EQ(objects[3].identity.key, parent + "t.1:1:x:src/other.cpp");
}

TEST(ObjectIdentity, NameAndFileAreNeverTakenForEachOther) {
  const std::string longName(100, 'a');
  const std::vector<Identified> objects = identify(
      driver("d", testCase("a", "rb") + testCase("ar", "b") + testCase(longName, "f") +
                      testCase(longName, "f")));
  ASSERT_EQ(objects.size(), 4u);
  const std::string& parent = objects[0].identity.parentKey;
  EXPECT_EQ(objects[0].identity.key, parent + "t.1:1:a:rb");
  EXPECT_EQ(objects[1].identity.key, parent + "t.1:2:ar:b");
  EXPECT_EQ(objects[3].identity.key, parent + "t.2:100:" + longName + ":f");
  EXPECT_EQ(objects[3].identity.name, longName + " (2)");
}

TEST(ObjectIdentity, SameNamedSiblingContainersShareTheirKeyAndCountTheirObjects) {
  const std::vector<Identified> objects =
      identify(driver("d", container("S", testCase("a")) + container("S", testCase("a"))));
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(objects[0].identity.parentKey, objects[1].identity.parentKey);
  EXPECT_NE(objects[0].identity.key, objects[1].identity.key);
  EXPECT_EQ(objects[1].identity.name, "a (2)");
}

// depth test cases, each inside the one before.
std::string nested(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) {
    const std::string name = "n" + std::to_string(i % 10);
    text += "<XROD:NODE name=\"" + name + "\" type=\"Test Case\" state=\"ok\" sum=\"1\" " +
            "icone=\"method.xpm\">" + linkTitle(name, "src/t.cpp", 10);
  }
  for (int i = 0; i < depth; ++i) text += "</XROD:NODE>\n";
  return driver("deep", text);
}

size_t identityBytes(const std::vector<Identified>& objects) {
  size_t bytes = 0;
  for (const Identified& o : objects)
    bytes += o.identity.key.size() + o.identity.classname.size() + o.identity.name.size();
  return bytes;
}

TEST(ObjectIdentity, DeepNestingGivesKeysAndClassnamesLinearInTheDepth) {
  const std::vector<Identified> objects = identify(nested(3000));
  ASSERT_EQ(objects.size(), 3000u);
  EXPECT_LT(identityBytes(identify(nested(6000))), 2.1 * identityBytes(objects));
  const std::string& last = objects.back().identity.classname;
  EXPECT_LE(last.size(), kClassNameBudget);
  EXPECT_EQ(last.substr(0, 9), "deep.\xE2\x80\xA6.");  // the driver, "…", the innermost
  EXPECT_EQ(last.substr(last.size() - 6), ".n7.n8");
  EXPECT_EQ(objects[2].identity.classname, "deep.n0.n1");
}

double secondsFor(const std::string& body) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(identify(body).empty());
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(ObjectIdentity, RepeatedAndSuffixLikeNamesCostLikeDistinctOnes) {
  const int count = 20000;
  std::string distinct;
  std::string crafted;
  for (int i = 0; i < count; ++i) {
    distinct += testCase("case " + std::to_string(i));
    // Names that look like the suffixes of the equal names that follow.
    crafted += testCase(i < count / 2 ? "x (" + std::to_string(i + 2) + ")" : std::string("x"));
  }
  const double plain = secondsFor(driver("d", distinct));
  const double hostile = secondsFor(driver("d", crafted));
  EXPECT_LE(hostile, 3 * plain + 0.1) << plain;
}

TEST(ObjectIdentity, TablesAreKeyedWithSeedsOfTheirOwn) {
  // A fixed hash lets crafted names share one bucket; two seeds differ.
  const SeededHash one;
  const SeededHash two;
  EXPECT_NE(one("Stack\npush"), two("Stack\npush"));
  EXPECT_NE(one("Stack\npush"), one("Stack\npusH"));
}

TEST(ObjectIdentity, AnOverlongNameIsCutInTheClassname) {
  const std::string huge(5000, 'x');
  const std::vector<Identified> objects =
      identify(driver("d", container(huge, testCase("a") + testCase(huge))));
  ASSERT_EQ(objects.size(), 2u);
  const std::string& classname = objects[0].identity.classname;
  EXPECT_LE(classname.size(), kClassNameBudget);
  EXPECT_EQ(classname.substr(0, 7), "d.\xE2\x80\xA6.x");
  EXPECT_EQ(classname.substr(classname.size() - 4), "x\xE2\x80\xA6");
  EXPECT_EQ(objects[1].identity.name, huge);  // the object's own name stays whole
}

}  // namespace
