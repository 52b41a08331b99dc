#include <gtest/gtest.h>

#include "platform/bindings.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const char* missing = nullptr;
  if (!LoadPlatform(&missing)) {
    fprintf(stderr, "cannot bind %s\n", missing);
    return 2;
  }
  return RUN_ALL_TESTS();
}
