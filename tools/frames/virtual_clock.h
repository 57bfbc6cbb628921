// The clock of tumbra_frames: virtual milliseconds that move only when the
// program says so, so every run renders the same frames.
#pragma once

#include <cstdint>

extern uint32_t VirtualNow;

// Called by PlatformExit before the process ends (the private settings
// folder is removed there); null for none.
extern void (*VirtualExitCleanup)();
