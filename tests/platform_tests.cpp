#include <gtest/gtest.h>

#include "platform/bindings.h"
#include "platform/override.h"

namespace {

int fakeCalls = 0;

BOOL WINAPI CountingCloseHandle(HANDLE) {
  ++fakeCalls;
  return TRUE;
}

}  // namespace

TEST(Platform, OverrideSwapsOneEntryAndPutsTheRealOneBack) {
  auto real = kernel32.CloseHandle;
  ASSERT_NE(real, nullptr);
  {
    ScopedOverride fake(kernel32.CloseHandle, CountingCloseHandle);
    EXPECT_TRUE(kernel32.CloseHandle(nullptr));
    EXPECT_EQ(fakeCalls, 1);
    EXPECT_EQ(fake.real(), real);
  }
  EXPECT_EQ(kernel32.CloseHandle, real);
}
