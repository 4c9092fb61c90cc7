#include "fuzz_support.h"

#include "model/model_internal.h"
#include "tests/xml_fault.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

std::string scratchFolder;
std::vector<std::string> scratchFiles;

void removeScratch() {
  for (const std::string& file : scratchFiles) unlink(file.c_str());
  if (!scratchFolder.empty()) rmdir(scratchFolder.c_str());
}

[[noreturn]] void fail(const char* what, const std::string& detail) {
  fprintf(stderr, "%s: %s\n", what, detail.c_str());
  abort();
}

// Names are cut to 1985 bytes when read; relinking may prefix them later.
constexpr size_t kNameLimit = 1985;

void checkNode(TestNode* node, void*) {
  if (node->status < NotExecuted || node->status > Passed)
    fail("model", "status " + std::to_string(node->status));
  if (!node->name) fail("model", "node without a name");
  TestNode* last = nullptr;
  for (TestNode* child = node->firstChild; child; child = child->nextSibling) {
    if (child->parent != node) fail("model", "child whose parent link is elsewhere");
    last = child;
  }
  if (last != node->lastChild) fail("model", "lastChild is not the end of the chain");
}

void checkNameLength(TestNode* node, void*) {
  if (node->parent && strlen(node->name) > kNameLimit)
    fail("model", std::to_string(strlen(node->name)) + "-byte name");
}

}  // namespace

void startApplication(int* argc, char*** argv) {
  // Lives as long as the process, like the program's own.
  new QCoreApplication(*argc, *argv);
}

std::string scratchPath(const char* name) {
  if (scratchFolder.empty()) {
    // Memory-backed when the machine has it: a disk file system may flush a
    // truncated file on every close, which would bound the executions.
    const char* tmp = getenv("TMPDIR");
    if (!tmp || !*tmp) tmp = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(tmp) + "/veldora-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) fail("scratch", pattern);
    scratchFolder = pattern;
    atexit(removeScratch);
  }
  std::string path = scratchFolder + "/" + name;
  scratchFiles.push_back(path);
  return path;
}

std::vector<std::string_view> splitParts(const uint8_t* data, size_t size) {
  static const std::string_view separator("\n@@\n");
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> parts;
  for (;;) {
    size_t at = input.find(separator);
    parts.push_back(input.substr(0, at));
    if (at == std::string_view::npos) return parts;
    input.remove_prefix(at + separator.size());
  }
}

void checkModel(const Model& model, bool namesAsRead) {
  for (SymbolFileRecord* record = model.files.list; record; record = record->next) {
    if (!record->root) continue;
    if (record->root->parent) fail("model", "root with a parent");
    walkTree(record->root, checkNode, nullptr);
    if (namesAsRead) walkTree(record->root, checkNameLength, nullptr);
  }
}

void checkWellFormed(std::string_view document, const char* what) {
  std::string error = xmlFault(document);
  if (!error.empty()) fail(what, error);
}
