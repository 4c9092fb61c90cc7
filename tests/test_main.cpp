// Test entry: the application object must exist before translators are
// installed, as in the program itself.
#include <QCoreApplication>
#include <gtest/gtest.h>

// Under AddressSanitizer a failed malloc must return null, as it does in a
// plain build, so that exhaustion reaches the out-of-memory diagnostic.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
