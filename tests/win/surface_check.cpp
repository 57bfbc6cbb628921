// Checks the Windows frame surface (run by wine in the tests): a surface asked
// for with a positive height is a bottom-up bitmap, walked from its top
// displayed row, and what the portable code writes at (x, y) is what GDI
// shows at (x, y).
#include <windows.h>

#include <cstdio>

#include "render/render.h"
#include "check.h"

int main() {
  FrameSurface* s = CreateFrameSurface(nullptr, 256, 64, 32);
  CHECK(s->stride == -1024);
  DIBSECTION section = {};
  CHECK(GetObjectA(static_cast<HBITMAP>(s->bitmap), sizeof section, &section) == sizeof section);
  CHECK(s->bits == static_cast<uint8_t*>(section.dsBm.bmBits) + 1024 * 63);
  *SurfacePixel(s, 3, 0) = 0x123456;   // the top row, near the left
  *SurfacePixel(s, 250, 63) = 0xABCDEF;  // the bottom row, near the right
  GdiFlush();
  CHECK(GetPixel(static_cast<HDC>(s->dc), 3, 0) == RGB(0x12, 0x34, 0x56));
  CHECK(GetPixel(static_cast<HDC>(s->dc), 250, 63) == RGB(0xAB, 0xCD, 0xEF));
  ReleaseFrameSurface(s);
  std::printf("%s\n", Failures == 0 ? "surface_check: all checks passed" : "surface_check: FAILED");
  return Failures == 0 ? 0 : 1;
}
