#include "run_program.h"

#include "tests/xml_fault.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

ScratchFolder::ScratchFolder() {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/veldora-hostile-XXXXXX";
  if (!mkdtemp(pattern.data())) abort();
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

namespace {

// Spawns argv in its own process group, in folder, with ORBEKDIR set to an
// installation folder without translations, the test's environment and the
// additions; standard output and error go to files of the folder.
pid_t spawnInFolder(const ScratchFolder& folder, std::vector<std::string> args,
                    const std::vector<std::string>& environment) {
  // An installation folder whose locale folder holds no translation: every
  // text is the English source text.
  std::string install = folder.file("install");
  std::filesystem::create_directories(install + "/lib/locale");

  std::vector<std::string> variables{"ORBEKDIR=" + install, "LC_ALL=C.UTF-8"};
  for (char** e = environ; *e; ++e) {
    if (strncmp(*e, "ORBEKDIR=", 9) != 0 && strncmp(*e, "LC_ALL=", 7) != 0 &&
        strncmp(*e, "VOSK_STUDIO_HEADER_FILE=", 24) != 0)
      variables.push_back(*e);
  }
  variables.insert(variables.end(), environment.begin(), environment.end());
  std::vector<char*> envp;
  for (std::string& v : variables) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::string errorPath = folder.file("stderr.txt");
  std::string outputPath = folder.file("stdout.txt");
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Signals that the test runner may ignore end the program as they would
  // from a terminal.
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

  // The program resolves relative paths against its working folder.
  std::string previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  pid_t child;
  int spawned = posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), envp.data());
  std::filesystem::current_path(previous);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return spawned == 0 ? child : -1;
}

}  // namespace

pid_t startProgram(const ScratchFolder& folder, const std::vector<std::string>& arguments) {
  std::vector<std::string> args{VELDORA_PROGRAM};
  args.insert(args.end(), arguments.begin(), arguments.end());
  return spawnInFolder(folder, args, {});
}

ProgramRun runProgram(const ScratchFolder& folder, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment, int timeoutSeconds) {
  // GNU time measures the program as a child of its own, so the peak is the
  // program's: a child spawned straight from this process would inherit this
  // process's peak at exec.
  std::string timePath = folder.file("time.txt");
  std::vector<std::string> args{"/usr/bin/time", "-f", "%e %M", "-o", timePath, VELDORA_PROGRAM};
  args.insert(args.end(), arguments.begin(), arguments.end());
  pid_t child = spawnInFolder(folder, args, environment);
  std::string errorPath = folder.file("stderr.txt");
  std::string outputPath = folder.file("stdout.txt");

  ProgramRun run;
  if (child < 0) return run;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int wstatus = 0;
  for (;;) {
    pid_t done = waitpid(child, &wstatus, WNOHANG);
    if (done == child) break;
    if (done < 0 && errno != EINTR) return run;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-child, SIGKILL);  // time and the program
      waitpid(child, &wstatus, 0);
      run.errorOutput = readFile(errorPath);
      return run;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // time passes the program's exit status on; a signal ends both.
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  run.errorOutput = readFile(errorPath);
  run.wroteToOutput = !readFile(outputPath).empty();
  // The last line of time's output is the wall time and the peak; a line
  // before it may say that the program exited with a non-zero status.
  std::string measured = readFile(timePath);
  size_t lastLine = measured.find_last_of('\n', measured.size() >= 2 ? measured.size() - 2 : 0);
  const char* last = measured.c_str() + (lastLine == std::string::npos ? 0 : lastLine + 1);
  char* afterSeconds = nullptr;
  run.seconds = strtod(last, &afterSeconds);
  run.peakKiB = atol(afterSeconds);
  return run;
}

std::string reportFault(const std::string& path) {
  if (access(path.c_str(), F_OK) != 0) return "no report file";
  return xmlFault(readFile(path));
}

size_t countOf(const std::string& haystack, const std::string& needle) {
  size_t count = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + needle.size()))
    ++count;
  return count;
}
