// Clock and process natively: the monotonic clock in milliseconds, sleeps
// and the process exit.
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "platform/platform.h"

uint32_t PlatformTickCount() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

void PlatformSleep(uint32_t milliseconds) {
  timespec span = {static_cast<time_t>(milliseconds / 1000u), static_cast<long>(milliseconds % 1000u) * 1000000L};
  while (nanosleep(&span, &span) != 0) {
  }
}

// Native front ends wait on their own event sources; here there are none.
void PlatformIdle(uint32_t milliseconds) { PlatformSleep(milliseconds); }

void PlatformExit(int code) {
  std::fflush(nullptr);
  _exit(code);
}
