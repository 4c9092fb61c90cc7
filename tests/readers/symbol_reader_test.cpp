#include "reader_test_support.h"

#include "tests/file_bytes.h"

#include <climits>
#include <sstream>

namespace {

class SymbolReaderTest : public ModelTest {
 protected:
  void load(const char* name, int32_t fileIndex = 0) {
    ASSERT_EQ(readSymbolFile(model, fixture(name).c_str(), fileIndex), 0);
  }
  std::string nameOf(uint64_t id) {
    TestNode* node = findNode(model, 0, id);
    return node ? node->name : "(no node)";
  }
};

TEST_F(SymbolReaderTest, NamesTakeEscapedBytesAndDropLineFeeds) {
  load("names.ots");
  EXPECT_EQ(nameOf(3), "say \"hi\"");
  EXPECT_EQ(nameOf(4), "back\\slash");
  EXPECT_EQ(nameOf(5), "brokenname");
  EXPECT_EQ(findNode(model, 0, 5)->line, 6);
  // An escaped quote followed by " line=" ends the name as well; the rest of
  // the record is then read field by field from there.
  TestNode* cut = findNode(model, 0, 6);
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(std::string(cut->name), "cut");
  EXPECT_EQ(cut->line, 9);
  EXPECT_EQ(cut->linkId, 8u);
  EXPECT_EQ(nameOf(7), "after");
}

TEST_F(SymbolReaderTest, ParentAndLinkFields) {
  load("links.ots");
  struct Expected { uint64_t id; uint64_t linkId; };
  for (Expected e : {Expected{3, 7}, {4, 7}, {5, 0}, {6, 0x1f}, {0xab, 0}, {9, 0}}) {
    SCOPED_TRACE(e.id);
    TestNode* node = findNode(model, 0, e.id);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->linkId, e.linkId);
    EXPECT_EQ(node->parent->objectId, 2u);
  }
  EXPECT_EQ(nameOf(0xab), "upper");
  EXPECT_EQ(findNode(model, 0, 8), nullptr);  // its parent comes later in the file
  TestNode* negative = findNode(model, 0, 0xc);
  ASSERT_NE(negative, nullptr);
  EXPECT_EQ(negative->line, -4);
  EXPECT_EQ(negative->linkId, UINT64_MAX);
}

TEST_F(SymbolReaderTest, FileRecordsAndSkippedLines) {
  load("file_records.ots", 0);
  load("second.ots", 1);
  SymbolFileRecord* first = model.files.list->next;
  ASSERT_EQ(first->fileIndex, 0);
  EXPECT_EQ(first->checksum1, 0xabcu);
  EXPECT_EQ(first->checksum2, 0x123u);
  EXPECT_STREQ(first->driverDirectory, "/home/tests/");
  EXPECT_STREQ(first->driverFileName, "drive.cpp");
  EXPECT_EQ(first->driverValue, 0x2au);
  // The first VO and DP of the run win.
  EXPECT_STREQ(model.compilerVersion, "4.2.1 beta");
  EXPECT_STREQ(model.compilationTime, "Mon Mar  3 10:12:44 2008");

  // Skipped and unknown records add nothing, empty lines are harmless, and a
  // line without a space swallows the record after it.
  TestNode* root = fileTreeAt(model, 1);
  EXPECT_STREQ(root->name, "file_records");
  ASSERT_NE(root->firstChild, nullptr);
  EXPECT_EQ(root->firstChild, root->lastChild);
  EXPECT_EQ(nameOf(2), "after empty lines");
  EXPECT_EQ(findNode(model, 0, 3), nullptr);
  EXPECT_EQ(nameOf(4), "kept");
}

TEST_F(SymbolReaderTest, LongFieldsAreCut) {
  std::string text = "OF \"" + std::string(1500, 'd') + "\" \"drive.cpp\" 2a\n";
  const size_t lengths[] = {1985, 1986, 3000};
  for (size_t i = 0; i < 3; ++i)
    text += "TC " + std::to_string(i + 2) + " \"" + std::string(lengths[i], 'n') + "\" line=5 parent=1;\n";
  text += "TC 9 \"next\" line=6 parent=1;\n";
  readSymbolText(model, text, 0);

  EXPECT_EQ(std::string(model.files.list->driverDirectory), std::string(1023, 'd'));
  EXPECT_STREQ(model.files.list->driverFileName, "drive.cpp");
  EXPECT_EQ(model.files.list->driverValue, 0x2au);
  for (uint64_t id : {2, 3, 4}) {
    EXPECT_EQ(nameOf(id), std::string(1985, 'n'));
    EXPECT_EQ(findNode(model, 0, id)->line, 5);
  }
  EXPECT_EQ(nameOf(9), "next");
}

// The file is read through a buffer of 64 KiB: records cross its refills.
TEST_F(SymbolReaderTest, ManyRecordsAcrossBufferRefills) {
  std::ostringstream text;
  for (int id = 2; id < 6000; ++id)
    text << "PR " << std::hex << id << std::dec << " \"print " << id << "\" line=" << id
         << " parent=1;\n";
  const std::string path = ::testing::TempDir() + "veldora_many_records.ots";
  writeFile(path, text.str());
  ASSERT_EQ(readSymbolFile(model, path.c_str(), 0), 0);
  remove(path.c_str());
  for (int id = 2; id < 6000; ++id) {
    TestNode* node = findNode(model, 0, id);
    ASSERT_NE(node, nullptr) << id;
    ASSERT_EQ(std::string(node->name), "print " + std::to_string(id));
    ASSERT_EQ(node->line, id);
  }
}

TEST_F(SymbolReaderTest, UnfinishedAndUnreadableFiles) {
  const char nulAndBackslash[] = "TC 2 \"nul\0byte\" line=1 parent=1;\nTC 4 \"x\\";
  readSymbolText(model, "TS 2 \"Suite\" line=3 parent=1;\nTC 3 \"never ends", 0);
  readSymbolText(model, std::string(nulAndBackslash, sizeof nulAndBackslash - 1), 1);
  EXPECT_EQ(nameOf(2), "Suite");
  EXPECT_EQ(findNode(model, 0, 3), nullptr);
  EXPECT_STREQ(findNode(model, 1, 2)->name, "nul");  // a NUL byte ends the text
  EXPECT_EQ(findNode(model, 1, 4), nullptr);

  // A directory opens but cannot be read: a tree with only its root.
  EXPECT_EQ(readSymbolFile(model, VELDORA_TEST_DATA, 2), 0);
  EXPECT_EQ(fileTreeCount(model), 3);
  EXPECT_EQ(fileTreeAt(model, 0)->firstChild, nullptr);

  EXPECT_EQ(readSymbolFile(model, VELDORA_TEST_DATA "/no-such.ots", 3), -1);
  EXPECT_EQ(fileTreeCount(model), 3);
}

// The link part reaches the model: the children of the linked test case
// move under the stub when statuses are computed.
TEST_F(SymbolReaderTest, StatusesAfterComputation) {
  load("stubs.ots");
  computeStatuses(model);
  TestNode* stub = findNode(model, 0, 7);
  ASSERT_NE(stub->firstChild, nullptr);
  EXPECT_STREQ(stub->firstChild->name, "Suite / check");
  EXPECT_EQ(findNode(model, 0, 3)->firstChild, nullptr);

  EXPECT_EQ(findNode(model, 0, 3)->status, NotExecuted);
  EXPECT_EQ(findNode(model, 0, 6)->status, NotExecuted);
  EXPECT_EQ(findNode(model, 0, 8)->status, Passed);
  EXPECT_EQ(fileTreeAt(model, 0)->status, NotExecuted);
  int32_t passed = 0, failed = 0, notExecuted = 0;
  countVerdicts(fileTreeAt(model, 0), &passed, &failed, &notExecuted);
  EXPECT_EQ(passed, 1);  // the stub
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(notExecuted, 3);
}

}  // namespace
