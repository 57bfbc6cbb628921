// The portable part of the configuration UI: the binding table and its walk,
// the value rules of the binding kinds, Randomize and Undo, and the About box's
// animation and credits. The dialog procedures live in the _win32 sources.
#define ConfigPortableOnly
#include "config/config.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "engine/engine.h"
#include "loop/loop.h"
#include "render/render.h"

// ---- Control bindings ------------------------------------------------------------

// param3 of a spin edit whose every step is a fresh generator number.
static const int32_t RandomSpinStep = 0;

// SettingOfControl takes the setting of value control k as word k - 101 of
// the record; the record is laid out for it.
#define EDITS(id, member)                                                                          \
  static_assert(offsetof(SaverSettings, member) == static_cast<size_t>(WordOffsetOfControl(id)), \
                "control " #id " does not edit " #member)
EDITS(IdInfoForeground, inf);
EDITS(IdPopulationForeground, pop);
EDITS(IdGenerationForeground, gen);
EDITS(IdFpsForeground, fps);
EDITS(IdInfoBackground, binf);
EDITS(IdPopulationBackground, bpop);
EDITS(IdGenerationBackground, bgen);
EDITS(IdFpsBackground, bfps);
EDITS(IdSeed, seed);
EDITS(IdDelay, delay);
EDITS(IdReset, reset);
EDITS(IdModeTabs, mode);
EDITS(IdAnimatedScale, ascale);
EDITS(IdFrameSkip, fskip);
EDITS(IdLifefaceList, face);
EDITS(IdClassicScale, cscale);
EDITS(IdNeighbourColour0, n);
EDITS(IdClearColour, n[9]);
EDITS(IdCycle, cycle);
#undef EDITS
static_assert(sizeof(SaverSettings::n) == static_cast<size_t>(IdClearColour - IdNeighbourColour0 + 1) * 4,
              "one colour list per element of n");

// A spin edit's range and a scale list's items are those its setting's row
// offers.
constexpr int32_t LowOf(int32_t id) { return SettingsTable[SettingRowOfControl(id)].low; }
constexpr int32_t HighOf(int32_t id) { return SettingsTable[SettingRowOfControl(id)].high; }

#define COLOUR(id) {id, ColourList, 0, 0, 0}
#define SPIN(id, step) {id, SpinEdit, LowOf(id), HighOf(id), step}
#define SCALE(id) {id, ScaleList, HighOf(id) - LowOf(id) + 1, 0, 0}
#define CHECK(id, first, second, state) {id, FlagCheck, first, second, state}
#define NONE(id) {id, NoKind, 0, 0, 0}

constexpr ControlBinding ControlBindings[BindingCount] = {
    COLOUR(IdInfoForeground), COLOUR(IdPopulationForeground), COLOUR(IdGenerationForeground),
    COLOUR(IdFpsForeground), COLOUR(IdInfoBackground), COLOUR(IdPopulationBackground),
    COLOUR(IdGenerationBackground), COLOUR(IdFpsBackground),
    SPIN(IdSeed, RandomSpinStep),
    SPIN(IdDelay, 10),
    SPIN(IdReset, 1000),
    {IdModeTabs, ModeTabs, 0, 0, 0},
    SCALE(IdAnimatedScale),
    {IdFrameSkip, InactiveList, 0, 0, 0},
    {IdLifefaceList, LifefaceList, 0, 0, 0},
    SCALE(IdClassicScale),
    COLOUR(IdNeighbourColour0), COLOUR(IdNeighbourColour1), COLOUR(IdNeighbourColour2), COLOUR(IdNeighbourColour3),
    COLOUR(IdNeighbourColour4), COLOUR(IdNeighbourColour5), COLOUR(IdNeighbourColour6), COLOUR(IdNeighbourColour7),
    COLOUR(IdNeighbourColour8), COLOUR(IdClearColour),
    SPIN(IdCycle, 1000),
    NONE(AnimatedPageId), NONE(ClassicPageId), NONE(AboutBoxId),
    // Check boxes: the controls they disable, and the check state at which.
    CHECK(IdPrintInfo, IdInfoForeground, IdInfoBackground, 0),
    CHECK(IdPrintPopulation, IdPopulationForeground, IdPopulationBackground, 0),
    CHECK(IdPrintGeneration, IdGenerationForeground, IdGenerationBackground, 0),
    CHECK(IdPrintFps, IdFpsForeground, IdFpsBackground, 0),
    CHECK(IdArbitrary, 0, 0, 0),
    CHECK(IdSpecific, IdSeed, 0, 0),
    CHECK(IdRandomLifeface, IdLifefaceList, 0, 1),
    CHECK(IdDigitalEffect, 0, 0, 0),
    CHECK(IdCycleAtReset, IdCycle, 0, 1),
    NONE(IdLifefaceGroup), NONE(IdBitmapLabel), NONE(IdAuthorLabel), NONE(IdCommentLabel),
};

#undef COLOUR
#undef SPIN
#undef SCALE
#undef CHECK
#undef NONE

// BindingOf finds a row by its place.
constexpr bool BindingsFollowTheirIds() {
  for (int k = 0; k < BindingCount; ++k)
    if (ControlBindings[k].id != FirstBindingId + k) return false;
  return true;
}
static_assert(BindingsFollowTheirIds(), "row k of the binding table binds control 101 + k");

static const int32_t MainIds[] = {
    IdInfoForeground,       IdPopulationForeground, IdGenerationForeground, IdFpsForeground,
    IdInfoBackground,       IdPopulationBackground, IdGenerationBackground, IdFpsBackground,
    IdSeed,                 IdDelay,                IdReset,                IdModeTabs,
    IdPrintInfo,            IdPrintPopulation,      IdPrintGeneration,      IdPrintFps,
    IdArbitrary,            IdSpecific};
static const int32_t AnimatedIds[] = {IdAnimatedScale, IdFrameSkip, IdLifefaceList, IdRandomLifeface};
static const int32_t ClassicIds[] = {
    IdClassicScale,     IdNeighbourColour0, IdNeighbourColour1, IdNeighbourColour2, IdNeighbourColour3,
    IdNeighbourColour4, IdNeighbourColour5, IdNeighbourColour6, IdNeighbourColour7, IdNeighbourColour8,
    IdClearColour,      IdCycle,            IdDigitalEffect,    IdCycleAtReset};

const WalkList MainBindings = {MainIds, static_cast<int>(std::size(MainIds))};
const WalkList AnimatedPageBindings = {AnimatedIds, static_cast<int>(std::size(AnimatedIds))};
const WalkList ClassicPageBindings = {ClassicIds, static_cast<int>(std::size(ClassicIds))};

const ControlBinding* BindingOf(int32_t id) {
  if (id < FirstBindingId || id > LastBindingId) return nullptr;
  return &ControlBindings[id - FirstBindingId];
}

int32_t* SettingOfControl(int32_t id) {
  if (id < FirstValueId || id > LastValueId) return nullptr;
  return &Settings.inf + (id - FirstValueId);
}

uint32_t FlagBitOfControl(int32_t id) {
  if (id < IdFirstFlag || id > IdCycleAtReset) return 0;
  return 1u << (id - IdFirstFlag);
}

void WalkBindings(WindowHandle parent, const WalkList& list, int32_t phase,
                  const BindingKindFunction (&kinds)[BindingKindCount]) {
  if (phase != Load && phase != Store) return;
  for (int k = 0; k < list.count; ++k) {
    const ControlBinding* row = BindingOf(list.ids[k]);
    if (row == nullptr || row->kind <= NoKind || row->kind >= BindingKindCount) continue;
    if (kinds[row->kind] != nullptr) kinds[row->kind](parent, *row, phase);
  }
}

// ---- Value rules -------------------------------------------------------------------

int32_t ListSelectionFor(int32_t setting, int32_t itemCount) {
  return setting >= 0 && setting < itemCount ? setting : -1;
}

int32_t StoredListIndex(int32_t selected, int32_t current, int32_t itemCount, int32_t fallback) {
  if (selected >= 0 && selected < itemCount) return selected;
  if (current >= 0 && current < itemCount) return current;
  return fallback;
}

int32_t DefaultOfControl(int32_t id) {
  if (id < FirstValueId || id > LastValueId) return 0;
  return (&DefaultSettings.inf)[id - FirstValueId];
}

int32_t TabOfMode(int32_t mode) { return mode == ModeAnimated ? 0 : 1; }

int32_t ModeOfTab(int32_t tab, int32_t current) { return tab == 0 || tab == 1 ? tab : current; }

static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int32_t SpinTextValue(const char* text) {
  int i = 0;
  while (i < SpinTextLimit && text[i] != '\0' && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < SpinTextLimit && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t value = 0;
  for (; i < SpinTextLimit && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10u + (text[i] - '0');
  return static_cast<int32_t>(negative ? 0u - value : value);
}

int32_t ScaleSpinDelta(int32_t delta, int32_t multiplier) {
  int64_t step = static_cast<int64_t>(delta) * multiplier;
  return static_cast<int32_t>(std::clamp<int64_t>(step, INT_MIN, INT_MAX));
}

int32_t SpinStepMultiplier(const ControlBinding& row) {
  return row.param3 == RandomSpinStep ? LcgNext() : row.param3;
}

int32_t StoredSeed(int32_t typed, uint32_t flags) {
  const bool arbitrary = (flags & FlagSeedArbitrary) != 0 && (flags & FlagSeedSpecific) == 0;
  return arbitrary ? 0 : typed;
}

int32_t StoredFace(int32_t selected, int32_t face, int32_t recordCount) {
  if (recordCount <= 0) return face;
  if (selected >= 0 && selected < recordCount) return selected;
  if (face >= 0 && face < recordCount) return face;
  return 0;
}

void StoreLifefaceChoice(WindowHandle page, int32_t selected) {
  // Nothing to choose from: face stays as loaded, and whatever reads it
  // checks it against the catalogue.
  if (LifefaceCatalogue.count <= 0) return;
  const int32_t choice = StoredFace(selected, Settings.face, LifefaceCatalogue.count);
  if (choice == Settings.face && LifefaceSurface != nullptr) return;
  Settings.face = choice;
  UseLifeface(page);
}

void FormatLifefaceInfo(const LifefaceRecord& record, LifefaceInfoTexts* texts) {
  std::snprintf(texts->group, sizeof texts->group, "%.79s Information", record.name);
  std::snprintf(texts->bitmap, sizeof texts->bitmap, "Bitmap image: %.79s", record.bmp);
  std::snprintf(texts->author, sizeof texts->author, "Author: %.79s", record.author);
  std::snprintf(texts->comment, sizeof texts->comment, "Comment: %.79s", record.comment);
}

// ---- Randomize and Undo --------------------------------------------------------------

int32_t UndoColours[NeighbourColourLists] = {};

void RandomizeColours(int32_t selected[NeighbourColourLists]) {
  std::memcpy(UndoColours, selected, sizeof UndoColours);
  int32_t w[NeighbourColourLists];
  std::memcpy(w, UndoColours, sizeof w);
  for (int i = 0; i < NeighbourColourLists; ++i) std::swap(w[i], w[LcgNext() % NeighbourColourLists]);
  std::memcpy(selected, w, sizeof w);
}

void UndoColourChoice(int32_t selected[NeighbourColourLists]) {
  std::memcpy(selected, UndoColours, sizeof UndoColours);
}

// ---- Keyboard ------------------------------------------------------------------------

KeyMove SettingsKeyMove(uint32_t key, bool shift, bool control, const FocusSpot& spot) {
  if (control) {
    if (key == KeyTab) return shift ? KeyPreviousPage : KeyNextPage;
    if (key == KeyPageDown) return KeyNextPage;
    if (key == KeyPageUp) return KeyPreviousPage;
    return KeyNative;
  }
  if (key != KeyTab) return KeyNative;
  if (!shift) {
    if (spot.onTabs && spot.pageHasStops) return KeyToPageFirst;
    if (spot.inPage && spot.pageLast) return KeyToAfterTabs;
  } else {
    if (spot.inPage && spot.pageFirst) return KeyToTabs;
    if (spot.afterTabs && spot.pageHasStops) return KeyToPageLast;
  }
  return KeyNative;
}

AboutKeysState AboutKeys = {};

void NoteKeysHeldAtOpen(const uint8_t keyState[256]) {
  std::memset(AboutKeys.held, 0, sizeof AboutKeys.held);
  for (uint32_t key = 0; key < 256; ++key)
    if (keyState[key] & 0x80) AboutKeys.held[key / 8] |= static_cast<uint8_t>(1u << (key % 8));
}

void NoteAboutKeyDown(uint32_t key) {
  if (key < 256) AboutKeys.held[key / 8] &= static_cast<uint8_t>(~(1u << (key % 8)));
}

bool AboutKeyReleaseCloses(uint32_t key) {
  if (key >= 256) return true;
  const uint8_t bit = static_cast<uint8_t>(1u << (key % 8));
  if ((AboutKeys.held[key / 8] & bit) == 0) return true;
  AboutKeys.held[key / 8] &= static_cast<uint8_t>(~bit);
  return false;
}

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
  RelayoutGrid();
  BuildPalette();
  Schedule.SuspendFlags &= ~SuspendTick;
}
