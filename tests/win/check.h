// The check macro of the Windows check programs: a failed condition is
// printed with its line and counted; main returns 1 when any failed.
#pragma once

#include <cstdio>

static int Failures = 0;

#define CHECK(condition)                                         \
  do {                                                           \
    if (!(condition)) {                                          \
      std::printf("FAILED line %d: %s\n", __LINE__, #condition); \
      ++Failures;                                                \
    }                                                            \
  } while (0)
