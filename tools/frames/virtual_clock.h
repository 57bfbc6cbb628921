// The clock of tumbra_frames: virtual milliseconds that move only when the
// program says so, so every run renders the same frames.
#pragma once

#include <cstdint>

extern uint32_t VirtualNow;
