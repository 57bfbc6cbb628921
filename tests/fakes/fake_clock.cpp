#include <unistd.h>

#include <cstdio>

#include "fakes/fakes.h"

uint32_t FakeNow = 0;
std::vector<uint32_t> FakeSleeps;

void FakeClockReset(uint32_t now) {
  FakeNow = now;
  FakeSleeps.clear();
}

uint32_t PlatformTickCount() { return FakeNow; }

// Sleeping moves the fake time on, so paced loops make progress.
void PlatformSleep(uint32_t milliseconds) {
  FakeSleeps.push_back(milliseconds);
  FakeNow += milliseconds;
}

void PlatformExit(int code) {
  std::fflush(nullptr);
  _exit(code);
}
