// Engine entry points the X11 front end starts and paces the engine with.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Seeds, picks the lifeface, makes the surface (client size raised to
// multiples of 256), the grid, the font and the palette, from the settings
// and catalogue already loaded.
void StartEngine(WindowHandle window, int32_t clientWidth, int32_t clientHeight);
// Milliseconds until the next frame is due; 0 when it is due.
uint32_t FrameDueIn(uint32_t now);
// Computes the due frame and schedules the next.
void DrawDueFrame(WindowHandle window, uint32_t now);
// A new surface and grid for a new client size, and a fresh field.
void ResizeView(WindowHandle window, int32_t clientWidth, int32_t clientHeight);
