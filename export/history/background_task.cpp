#include "export/history/background_task.h"

#include <csignal>

// The task's thread starts with every signal blocked, so that a signal that
// ends the run is always taken by the main thread, where the output file
// watches its temporary file (a signal taken here could end the run between
// the file's creation and its watch, leaving it behind).
BackgroundTask::BackgroundTask(std::function<void()> work) : work_(std::move(work)) {
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &previous);
  started_ = pthread_create(&thread_, nullptr, &BackgroundTask::run, this) == 0;
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (!started_) work_();
}

void* BackgroundTask::run(void* self) {
  static_cast<BackgroundTask*>(self)->work_();
  return nullptr;
}

void BackgroundTask::join() {
  if (!started_) return;
  pthread_join(thread_, nullptr);
  started_ = false;
}
