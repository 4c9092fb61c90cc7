// Work that runs on a thread of its own while the caller goes on, as the
// digest of a report's bytes while the report is parsed, or the history's
// part of the page while the page's part is read. join() waits for it (the
// destructor too). Where no thread can be started, the work runs at once in
// the caller: the same result, only later.
//
//   BackgroundTask digest([&] { ok = reportDigest(path, &content, &error); });
//   ... parse the report ...
//   digest.join();
#pragma once

#include <functional>
#include <pthread.h>

class BackgroundTask {
 public:
  explicit BackgroundTask(std::function<void()> work);
  ~BackgroundTask() { join(); }
  BackgroundTask(const BackgroundTask&) = delete;
  BackgroundTask& operator=(const BackgroundTask&) = delete;

  void join();

 private:
  static void* run(void* self);

  std::function<void()> work_;
  pthread_t thread_{};
  bool started_ = false;
};
