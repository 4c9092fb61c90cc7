#include "export/history/background_task.h"

BackgroundTask::BackgroundTask(std::function<void()> work) : work_(std::move(work)) {
  started_ = pthread_create(&thread_, nullptr, &BackgroundTask::run, this) == 0;
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
