// Where veldora-export writes its output (-o): through a symbolic link to
// its target, into a FIFO, a device or standard output in place, with an
// existing file's mode kept, and never a temporary file left behind, also
// when a signal ends the run or the name uses all of NAME_MAX.
#include "tests/file_bytes.h"

#include <gtest/gtest.h>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// A folder of its own, removed with everything in it.
struct Folder {
  Folder() {
    std::string pattern = "/tmp/veldora-export-out-XXXXXX";
    if (!mkdtemp(pattern.data())) abort();
    path = pattern;
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string file(const std::string& name) const { return path + "/" + name; }
  std::vector<std::string> names() const {
    std::vector<std::string> all;
    for (const auto& entry : std::filesystem::directory_iterator(path))
      all.push_back(entry.path().filename().string());
    std::sort(all.begin(), all.end());
    return all;
  }
  std::string path;
};

const char kReport[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<XROD>\n<APIDOC>\n"
    "<DOCUMENT TITLE=\"r.xrd\" TAG=\"Testx1\">\n"
    "<XROD:NODE name=\"Global Report\" type=\"Global Report\" state=\"ok\" "
    "icone=\"testscript.xpm\"><SECTION TAG=\"filex2\">\n"
    "<TABLE BORDER=\"1\">\n<ROW>\n<CELL_TEXT STYLE=\"Array\">Passed</CELL_TEXT>\n"
    "<CELL_TEXT STYLE=\"Array\">0</CELL_TEXT>\n</ROW>\n<ROW>\n"
    "<CELL_TEXT STYLE=\"Array\">Inconclusive</CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\">0</CELL_TEXT>\n"
    "</ROW>\n<ROW>\n<CELL_TEXT STYLE=\"Array\">Failed</CELL_TEXT>\n"
    "<CELL_TEXT STYLE=\"Array\">0</CELL_TEXT>\n</ROW>\n<ROW>\n"
    "<CELL_TEXT STYLE=\"Array\">Total</CELL_TEXT>\n<CELL_TEXT STYLE=\"Array\">0</CELL_TEXT>\n"
    "</ROW>\n</TABLE>\n</SECTION>\n</XROD:NODE>\n</DOCUMENT>\n</APIDOC>\n</XROD>\n";

struct ExportRun {
  int status = -1;  // exit status, or 128 + the signal
  std::string out;
  std::string err;
};

pid_t start(const Folder& folder, const std::vector<std::string>& arguments) {
  std::vector<std::string> args{VELDORA_EXPORT_PROGRAM};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string out = folder.path + ".stdout", err = folder.path + ".stderr";
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, folder.path.c_str());
  pid_t child = -1;
  if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) child = -1;
  posix_spawn_file_actions_destroy(&actions);
  return child;
}

ExportRun finish(const Folder& folder, pid_t child) {
  ExportRun run;
  int status = 0;
  waitpid(child, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = readFile(folder.path + ".stdout");
  run.err = readFile(folder.path + ".stderr");
  unlink((folder.path + ".stdout").c_str());
  unlink((folder.path + ".stderr").c_str());
  return run;
}

ExportRun runExport(const Folder& folder, const std::vector<std::string>& arguments) {
  return finish(folder, start(folder, arguments));
}

mode_t modeOf(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

TEST(ExportOutputTest, SymbolicLinkWritesItsTargetAndStays) {
  Folder folder;
  writeFile(folder.file("r.xrd"), kReport);
  writeFile(folder.file("target.html"), "old page");
  ASSERT_EQ(symlink("target.html", folder.file("page.html").c_str()), 0);
  ExportRun run = runExport(folder, {"html", "r.xrd", "-o", "page.html"});
  EXPECT_EQ(run.status, 0) << run.err;
  struct stat info;
  ASSERT_EQ(lstat(folder.file("page.html").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(readFile(folder.file("target.html")).rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"page.html", "r.xrd", "target.html"}));
}

TEST(ExportOutputTest, ExistingFileKeepsItsMode) {
  Folder folder;
  writeFile(folder.file("r.xrd"), kReport);
  writeFile(folder.file("r.junit.xml"), "old");
  chmod(folder.file("r.junit.xml").c_str(), 0600);
  ExportRun run = runExport(folder, {"junit", "r.xrd"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(modeOf(folder.file("r.junit.xml")) & 07777, 0600u);
  EXPECT_EQ(readFile(folder.file("r.junit.xml")).rfind("<?xml", 0), 0u);
}

TEST(ExportOutputTest, FifoIsWrittenInPlace) {
  Folder folder;
  writeFile(folder.file("r.xrd"), kReport);
  ASSERT_EQ(mkfifo(folder.file("pipe").c_str(), 0644), 0);
  std::string received;
  std::thread reader([&] { received = readFile(folder.file("pipe")); });
  ExportRun run = runExport(folder, {"junit", "r.xrd", "-o", "pipe"});
  reader.join();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(received.rfind("<?xml", 0), 0u);
  EXPECT_TRUE(S_ISFIFO(modeOf(folder.file("pipe"))));
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"pipe", "r.xrd"}));
}

TEST(ExportOutputTest, StandardOutputDeviceIsWrittenInPlace) {
  Folder folder;
  writeFile(folder.file("r.xrd"), kReport);
  ExportRun run = runExport(folder, {"junit", "r.xrd", "-o", "/dev/stdout"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("<?xml", 0), 0u);
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"r.xrd"}));
}

// The device node stays a device: the write fails at the flush.
TEST(ExportOutputTest, FullDeviceFailsAndStaysADevice) {
  struct stat before;
  if (stat("/dev/full", &before) != 0 || !S_ISCHR(before.st_mode)) GTEST_SKIP() << "no /dev/full";
  Folder folder;
  writeFile(folder.file("r.xrd"), kReport);
  ExportRun run = runExport(folder, {"html", "r.xrd", "-o", "/dev/full"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "veldora-export: /dev/full: cannot write: No space left on device\n");
  struct stat after;
  ASSERT_EQ(stat("/dev/full", &after), 0);
  EXPECT_TRUE(S_ISCHR(after.st_mode));
  EXPECT_EQ(after.st_rdev, before.st_rdev);
}

// The temporary file's name fits a folder entry whatever the output's.
TEST(ExportOutputTest, NamesUpToNameMaxAreWritten) {
  for (size_t length : {249u, 255u}) {
    SCOPED_TRACE(length);
    Folder folder;
    writeFile(folder.file("r.xrd"), kReport);
    const std::string name(length, 'n');
    ExportRun run = runExport(folder, {"junit", "r.xrd", "-o", name});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(folder.names(), (std::vector<std::string>{name, "r.xrd"}));
  }
}

// A report large enough to be caught while its page is written.
std::string largeReport() {
  std::string report(kReport);
  std::string nodes;
  for (int i = 0; i < 200000; ++i)
    nodes += "<XROD:NODE name=\"case " + std::to_string(i) +
             "\" type=\"Test Case\" state=\"NE\"><TABLE BORDER=\"1\">\n<ROW>\n"
             "<CELL_TEXT STYLE=\"Array\">check</CELL_TEXT>\n</ROW>\n</TABLE>\n</XROD:NODE>\n";
  report.insert(report.find("</XROD:NODE>\n</DOCUMENT>"), nodes);
  return report;
}

TEST(ExportOutputTest, SignalLeavesTheEarlierOutputAndNoTemporaryFile) {
  Folder folder;
  writeFile(folder.file("r.xrd"), largeReport());
  writeFile(folder.file("r.html"), "old page");
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signalNumber);
    pid_t child = start(folder, {"html", "r.xrd"});
    ASSERT_GT(child, 0);
    bool seen = false;
    for (int i = 0; i < 5000 && !seen; ++i) {
      seen = folder.names().size() > 2;
      if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(child, signalNumber);
    ExportRun run = finish(folder, child);
    if (!seen) GTEST_SKIP() << "the run ended before its temporary file was seen";
    EXPECT_EQ(run.status, 128 + signalNumber);
    EXPECT_EQ(readFile(folder.file("r.html")), "old page");
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"r.html", "r.xrd"}));
  }
}

}  // namespace
