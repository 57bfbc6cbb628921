// Clock and process services for tumbra_frames. Time is virtual: it moves on
// by the length of every sleep the frame loop asks for, and by whatever the
// driver adds per paint message, never by the wall clock.
#include <unistd.h>

#include <cstdio>

#include "platform/platform.h"
#include "virtual_clock.h"

uint32_t VirtualNow = 1000000;

uint32_t PlatformTickCount() { return VirtualNow; }

void PlatformSleep(uint32_t milliseconds) { VirtualNow += milliseconds; }
void PlatformIdle(uint32_t milliseconds) { VirtualNow += milliseconds; }

void PlatformExit(int code) {
  std::fflush(nullptr);
  _exit(code);
}
