// The About box: the credits interpreter, and the Life animation behind it
// with the colour blend it fades the palette by.
#include <algorithm>

#include "config/config.h"
#include "engine/engine.h"
#include "loop/loop.h"
#include "render/render.h"

// ---- Colours -------------------------------------------------------------------------

uint32_t BlendColour(uint32_t a, uint32_t b, int32_t t) {
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int32_t ca = static_cast<int32_t>((a >> shift) & 0xFFu);
    const int32_t cb = static_cast<int32_t>((b >> shift) & 0xFFu);
    const int32_t d = (ca - cb) * t;
    // Floor division, also for a negative difference.
    const int32_t step = d >= 0 ? d / 256 : -((-d + 255) / 256);
    result |= static_cast<uint32_t>(cb + step) << shift;
  }
  return result;
}

// ---- Credits -------------------------------------------------------------------------

#define ESC "\x1b"
#define BLACK "\x00\x00\x00"
#define YELLOW "\xff\xff\x00"
#define DARK_BLUE "\x00\x00\x99"
#define DARK_RED "\x99\x00\x00"

const uint8_t CreditsText[] =
    ESC "F" BLACK "tumbra - one more take on the classic Game of Life" "\n"
    "\n"
    ESC "F" YELLOW ESC "B" DARK_BLUE " ... G A M E  OF  L I F E ... " "\n"
    ESC "T" "\n"
    ESC "F" DARK_BLUE "Version 2.0" "\n"
    "\n"
    ESC "F" BLACK "Copyright (C) 2026 The tumbra developers" "\n"
    ESC "F" BLACK "https://tumbra.example" "\n"
    "\n"
    ESC "F" DARK_RED "[PRESS A BUTTON]" "\n";

#undef ESC
#undef BLACK
#undef YELLOW
#undef DARK_BLUE
#undef DARK_RED

// The literal's own terminator is the closing 0.
const size_t CreditsLength = sizeof CreditsText;

void DrawCredits(ContextHandle dc, const uint8_t* text, size_t length, int32_t a, int32_t h, int32_t y) {
  size_t runStart = 0;
  size_t i = 0;
  while (i < length && text[i] != 0x00) {
    const uint8_t c = text[i];
    if (c == '\n') {
      const int32_t n = static_cast<int32_t>(i - runStart);
      if (n > 0)
        PlatformTextOut(dc, (CreditsColumns * a) / 2 - (n * a) / 2, y, reinterpret_cast<const char*>(text + runStart),
                        n);
      y += h;
      runStart = ++i;
    } else if (c == 0x1B) {
      // The bytes of an escape are data, 0 included; one cut short by the end
      // of the text ends it.
      if (i + 1 >= length) break;
      const uint8_t code = text[i + 1];
      if (code == 'F' || code == 'B') {
        if (i + 5 > length) break;
        const uint32_t colour = TextColourOf(text[i + 2], text[i + 3], text[i + 4]);
        if (code == 'F') {
          PlatformSetTextColour(dc, colour);
        } else {
          PlatformSetBackgroundOpaque(dc, true);
          PlatformSetBackgroundColour(dc, colour);
        }
        i += 5;
      } else if (code == 'T') {
        PlatformSetBackgroundOpaque(dc, false);
        i += 2;
      } else {
        i += 1;
      }
      runStart = i;
    } else {
      ++i;
    }
  }
}

// ---- About box -------------------------------------------------------------------------

AboutBoxState AboutBox = {nullptr, 0, 0, 0, 0, 0};

static int32_t RoundUpTo8(int32_t x) { return (x + 7) & ~7; }

int32_t AboutBoxWidth(const TextMetrics& metrics) { return RoundUpTo8(CreditsColumns * metrics.aveCharWidth); }

int32_t AboutBoxHeight(const TextMetrics& metrics) { return RoundUpTo8(CreditsRows * metrics.height); }

void OpenAboutBox(FontHandle font, uint32_t faceColour) {
  AboutBox.font = font;
  AboutBox.face = faceColour;
  TextMetrics metrics = {};
  if (View.Surface != nullptr) {
    PlatformSelectFont(View.Surface->dc, font);
    PlatformGetTextMetrics(View.Surface->dc, &metrics);
  }
  AboutBox.width = AboutBoxWidth(metrics);
  AboutBox.height = AboutBoxHeight(metrics);
  // The cells lie on the frame surface: a box larger than the surface (a
  // large system font on a small screen) animates only the part the surface
  // holds, and the grid never outgrows the cell buffer.
  const int32_t surfaceWidth = View.Surface != nullptr ? View.Surface->width : 0;
  const int32_t surfaceHeight = View.Surface != nullptr ? View.Surface->height : 0;
  AboutBox.columns = CellCount(std::min(AboutBox.width, surfaceWidth), AboutCellSize);
  AboutBox.rows = CellCount(std::min(AboutBox.height, surfaceHeight), AboutCellSize);
  if (AboutBox.columns > 0 && static_cast<uint64_t>(AboutBox.columns) * AboutBox.rows > Grid.capacity)
    AboutBox.rows = static_cast<int32_t>(Grid.capacity / static_cast<uint64_t>(AboutBox.columns));
  Camera.allowed = false;  // the credits' cells are a torus of their own
  ResetField(AboutBox.columns, AboutBox.rows);

  for (int i = 0; i < DeadColour; ++i) View.Palette[i] = BlendColour(faceColour, View.Palette[i], AboutFadeWeight);
  View.Palette[DeadColour] = faceColour;
  FillSurface(faceColour);
  Schedule.SuspendFlags |= SuspendTick;
  Settings.flags |= FlagDigitalEffect | FlagCycleAtReset;
  // The first generation is due at once; the schedule is compared as a
  // signed difference, so it survives the tick count wrapping.
  Schedule.NextFrameTime = PlatformTickCount();
}

bool AboutBoxTick() {
  const uint32_t now = PlatformTickCount();
  if (FrameDueIn(now) > 0) return false;
  Schedule.NextFrameTime = now + AboutGenerationTime;
  ForgetSurfacePaint();  // the credits lie over the cells: every cell is painted
  ClassicTick(AboutBox.columns, AboutBox.rows, AboutCellSize);
  if (View.Surface == nullptr) return true;
  ContextHandle dc = View.Surface->dc;
  PlatformSelectFont(dc, AboutBox.font);
  PlatformSetTextColour(dc, 0xFFFFFF);
  PlatformSetBackgroundOpaque(dc, false);
  TextMetrics metrics = {};
  PlatformGetTextMetrics(dc, &metrics);
  DrawCredits(dc, CreditsText, CreditsLength, metrics.aveCharWidth, metrics.height, CreditsFirstRow * metrics.height);
  return true;
}

void RelayoutGrid() {
  // The cells the saver's next frame will draw, in whichever mode it runs.
  const FrameLayout layout = CurrentLayout();
  ResetField(layout.columns, layout.rows);
}

void CloseAboutBox() {
  Camera.allowed = true;
  RelayoutGrid();
  BuildPalette();
  Schedule.SuspendFlags &= ~SuspendTick;
}
