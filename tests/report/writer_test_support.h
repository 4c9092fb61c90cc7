// Helpers of the element writer and test node section tests: capturing
// what a writer puts on a stream, and a locale codec or translations set
// for one test.
#pragma once

#include "tests/report/report_test_support.h"

#include <QCoreApplication>
#include <QTextCodec>
#include <QTranslator>
#include <map>
#include <string>
#include <utility>

template <typename Write>
std::string written(Write write) {
  MemoryFile out;
  write(out.get());
  return out.text();
}

// Sets the locale's codec for one test and restores the system's after.
class LocaleCodec {
 public:
  explicit LocaleCodec(const char* name) {
    QTextCodec::setCodecForLocale(QTextCodec::codecForName(name));
  }
  ~LocaleCodec() { QTextCodec::setCodecForLocale(nullptr); }
};

// A translator answering from a fixed table of (context, source) pairs;
// installed while the object lives, so each test sees only its own words.
class ScopedTranslation : public QTranslator {
 public:
  using Table = std::map<std::pair<std::string, std::string>, QString>;
  explicit ScopedTranslation(Table table) : table_(std::move(table)) {
    QCoreApplication::installTranslator(this);
  }
  ~ScopedTranslation() override { QCoreApplication::removeTranslator(this); }

  QString translate(const char* context, const char* source, const char*, int) const override {
    const auto found = table_.find({context, source});
    return found == table_.end() ? QString() : found->second;
  }
  bool isEmpty() const override { return false; }

 private:
  Table table_;
};
