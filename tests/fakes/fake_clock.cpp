#include <unistd.h>

#include <cstdio>

#include "fakes/fakes.h"

uint32_t FakeNow = 0;
std::vector<uint32_t> FakeSleeps;

void FakeClockReset(uint32_t now) {
  FakeNow = now;
  FakeSleeps.clear();
  FakeIdleCut = 0;
  FakeTickPerRead = 0;
}

uint32_t FakeTickPerRead = 0;

uint32_t PlatformTickCount() {
  const uint32_t now = FakeNow;
  FakeNow += FakeTickPerRead;
  return now;
}

// Sleeping moves the fake time on, so paced loops make progress.
void PlatformSleep(uint32_t milliseconds) {
  FakeSleeps.push_back(milliseconds);
  FakeNow += milliseconds;
}

uint32_t FakeIdleCut = 0;

// An idle wait is a sleep, unless a test has input come after FakeIdleCut ms.
void PlatformIdle(uint32_t milliseconds) {
  PlatformSleep(FakeIdleCut > 0 && FakeIdleCut < milliseconds ? FakeIdleCut : milliseconds);
}

void PlatformExit(int code) {
  std::fflush(nullptr);
  _exit(code);
}
